// How far a run has come, shared between the run's thread and whoever shows it: the engine counts
// the items as its run reports them and, beside it, counts what the run will handle in all.
#pragma once

#include "engine/run_request.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>

// How far a run has come: the items handled so far (deleted, refused or found gone) and, once
// they have been counted, how many the run handles in all.
struct RunProgress {
    std::size_t items_done = 0;
    std::optional<std::size_t> total;

    bool operator==(const RunProgress&) const = default;
};

// What a run and the window share: the progress and the user's request to stop. Safe to read
// and set from the run's thread and the window's at once.
class RunTracker {
public:
    // A new run: nothing done, no total, no stop asked for.
    void reset();
    void set_items_done(std::size_t items) { items_done_.store(items, std::memory_order_relaxed); }
    void set_total(std::size_t total);
    RunProgress progress() const;
    void request_stop() { stop_.store(true); }
    bool stop_requested() const { return stop_.load(); }
    // The count is no longer wanted: it ends at its next item.
    void abandon_count() { count_abandoned_.store(true); }
    bool count_abandoned() const { return count_abandoned_.load(); }

private:
    std::atomic<std::size_t> items_done_{0};
    std::atomic<std::size_t> total_{0};
    std::atomic<bool> counted_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> count_abandoned_{false};
};

// Counts the items the options' cleaning would handle into the tracker's total: a preview, so
// nothing changes and no failure reaches anybody. It may work beside the cleaning, on a copy of
// the shared state taken before the cleaning began: it lists far faster than the cleaning
// deletes, so it finds what the cleaning will handle. A count that was stopped, abandoned or
// that failed leaves the total unknown.
void count_items(const SharedState& state, const platform::Platform& os,
                 const CleaningOptions& options, RunTracker& tracker);

// Carries out the run, counting every item into the tracker and ending at the next item boundary
// once it asks to stop. The context's observer hears every event; after_item, when given, is
// called once each item is counted.
RunReport tracked_run(Context& context, const AllowedRun& run, RunTracker& tracker,
                      const std::function<void()>& after_item = {});
