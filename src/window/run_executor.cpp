#include "window/run_executor.h"

#include <algorithm>

namespace {

std::string items(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " item" : " items");
}

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
    void item_handled(const ItemEvent& item) override {
        next_.item_handled(item);
        tracker_.count_item();
        if (after_item_) {
            after_item_();
        }
    }
    void progress(const Progress& progress) override { next_.progress(progress); }
    void failure_trapped(const TrappedFailure& failure) override { next_.failure_trapped(failure); }
    void line_written(std::string_view line) override { next_.line_written(line); }
    bool stop_requested() override { return tracker_.stop_requested(); }

private:
    RunObserver& next_;
    RunTracker& tracker_;
    const std::function<void()>& after_item_;
};

} // namespace

std::string progress_caption(std::string_view stored, const RunProgress& progress) {
    std::string caption(stored);
    if (progress.items_done == 0) {
        return caption;
    }
    caption += " (";
    if (progress.total && progress.items_done <= *progress.total) {
        caption += std::to_string(progress.items_done) + " of " + items(*progress.total);
    } else {
        // More than were counted: the folders gained items since. The count stays true.
        caption += items(progress.items_done);
    }
    return caption + ")";
}

BarPosition bar_position(const RunProgress& progress) {
    if (!progress.total || *progress.total == 0) {
        return {};
    }
    const std::size_t total = *progress.total;
    return {false, std::min(progress.items_done, total), total};
}

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
    // The preview takes its own copy of the state, keeps no log and changes nothing.
    SharedState counted_state = state;
    CleaningLog no_log;
    PreviewAction preview_action;
    CountObserver observer(tracker);
    Context counting{counted_state, os, no_log, preview_action, observer};
    const RunReport preview = preview_cleaning(counting, options);
    if (!preview.stopped && !preview.uncovered) {
        tracker.set_total(preview.previewed + preview.refused + preview.missing);
    }
}

RunReport tracked_cleaning(Context& context, const CleaningOptions& options, RunTracker& tracker,
                           const std::function<void()>& after_item) {
    TrackingObserver observer(context.observer, tracker, after_item);
    Context tracked{context.state, context.os, context.log, context.action, observer};
    return run_cleaning(tracked, options);
}

RunReport InlineExecutor::execute(Context& context, const CleaningOptions& options,
                                  const ProgressShower& show) {
    tracker_.reset();
    return tracked_cleaning(context, options, tracker_, [&] { show(tracker_.progress()); });
}
