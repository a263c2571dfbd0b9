// How the window carries out a confirmed run and what it shows of it meanwhile. The model hands
// the run to an executor: the inline one works it on the calling thread (the model's tests), the
// Win32 view's on a worker thread while the window keeps answering. Either way the report, the
// progress and the run's boxes reach the model on the window's thread.
#pragma once

#include "engine/cleaning_run.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// How far a run has come: the items handled so far (deleted, refused or found gone) and, once
// they have been counted, how many the run handles in all.
struct RunProgress {
    std::size_t items_done = 0;
    std::optional<std::size_t> total;

    bool operator==(const RunProgress&) const = default;
};

// The caption of the panel whose run is under way: its stored caption until the first item is
// handled, then with the count, "Cleaning Options (1234 of 30000 items)", or without a total
// "Cleaning Options (1234 items)".
std::string progress_caption(std::string_view stored, const RunProgress& progress);

// Where the taskbar button's progress stands: a marquee while the total is unknown, otherwise a
// bar at done of total.
struct BarPosition {
    bool marquee = true;
    std::uint64_t done = 0;
    std::uint64_t total = 0;

    bool operator==(const BarPosition&) const = default;
};
BarPosition bar_position(const RunProgress& progress);

// What a run and the window share: the progress and the user's request to stop. Safe to read
// and set from the run's thread and the window's at once.
class RunTracker {
public:
    // A new run: nothing done, no total, no stop asked for.
    void reset();
    void count_item() { items_done_.fetch_add(1, std::memory_order_relaxed); }
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

// Cleans with the options as run_cleaning does, counting every item into the tracker and ending
// at the next item boundary once it asks to stop. The context's observer hears every event;
// after_item, when given, is called once each item is counted.
RunReport tracked_cleaning(Context& context, const CleaningOptions& options, RunTracker& tracker,
                           const std::function<void()>& after_item = {});

using ProgressShower = std::function<void(const RunProgress&)>;

class RunExecutor {
public:
    virtual ~RunExecutor() = default;
    // Cleans with the options and returns the report. Called on the window's thread; show is
    // called there whenever the progress has moved, and the context's observer hears the run's
    // trapped failures there too.
    virtual RunReport execute(Context& context, const CleaningOptions& options,
                              const ProgressShower& show) = 0;
    // Asks the run under way to stop at its next item boundary. Called on the window's thread
    // while execute has not returned (from show, from a box, or from a message handled
    // meanwhile).
    virtual void request_stop() = 0;
};

// Works the run on the calling thread and shows the progress after every item. It counts
// nothing first, so the total stays unknown and the run's calls are exactly the cleaning's.
class InlineExecutor final : public RunExecutor {
public:
    RunReport execute(Context& context, const CleaningOptions& options,
                      const ProgressShower& show) override;
    void request_stop() override { tracker_.request_stop(); }

private:
    RunTracker tracker_;
};
