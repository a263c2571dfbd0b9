#include "engine/run_tracking.h"

namespace {

// Hears a count: nobody is told of its items or of the failures it meets (the cleaning will
// meet them again and tell them then); only a stop reaches it.
class CountObserver final : public RunObserver {
public:
    explicit CountObserver(const RunTracker& tracker) : tracker_(tracker) {}
    bool stop_requested() override {
        return tracker_.stop_requested() || tracker_.count_abandoned();
    }

private:
    const RunTracker& tracker_;
};

class TrackingObserver final : public RunObserver {
public:
    TrackingObserver(RunObserver& next, RunTracker& tracker,
                     const std::function<void()>& after_item)
        : next_(next), tracker_(tracker), after_item_(after_item) {}

    void operation_started(std::string_view procedure) override {
        next_.operation_started(procedure);
    }
    void item_handled(const ItemEvent& item) override { next_.item_handled(item); }
    // The run tells how far it has come after every item: the tracker takes its word for it.
    void progress(const Progress& progress) override {
        next_.progress(progress);
        tracker_.set_items_done(progress.items_done);
        if (after_item_) {
            after_item_();
        }
    }
    void failure_trapped(const TrappedFailure& failure) override { next_.failure_trapped(failure); }
    void line_written(std::string_view line) override { next_.line_written(line); }
    bool stop_requested() override { return tracker_.stop_requested(); }

private:
    RunObserver& next_;
    RunTracker& tracker_;
    const std::function<void()>& after_item_;
};

} // namespace

void RunTracker::reset() {
    stop_ = false;
    count_abandoned_ = false;
    counted_ = false;
    total_ = 0;
    items_done_ = 0;
}

void RunTracker::set_total(std::size_t total) {
    total_ = total;
    counted_ = true;
}

RunProgress RunTracker::progress() const {
    RunProgress progress;
    progress.items_done = items_done_.load(std::memory_order_relaxed);
    if (counted_) {
        progress.total = total_.load();
    }
    return progress;
}

void count_items(const SharedState& state, const platform::Platform& os,
                 const CleaningOptions& options, RunTracker& tracker) {
    CountObserver observer(tracker);
    // A plan is a run's own: the count, beside the run, neither fills one nor marks one met.
    SharedState unplanned = state;
    unplanned.plan_made = nullptr;
    unplanned.plan_applied = nullptr;
    const RunReport preview = preview_cleaning(unplanned, os, observer, options);
    if (!preview.stopped && !preview.uncovered) {
        tracker.set_total(preview.previewed + preview.refused + preview.missing);
    }
}

RunReport tracked_run(Context& context, const AllowedRun& run, RunTracker& tracker,
                      const std::function<void()>& after_item) {
    TrackingObserver observer(context.observer, tracker, after_item);
    Context tracked{context.state, context.os, context.log, context.action, observer};
    return carry_out(tracked, run);
}
