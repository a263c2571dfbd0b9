// How the window carries out a confirmed run and what it shows of it meanwhile. The model hands
// the run to an executor: the inline one works it on the calling thread (the model's tests), the
// Win32 view's on a worker thread while the window keeps answering. Either way the report, the
// progress and the run's boxes reach the model on the window's thread.
#pragma once

#include "engine/run_tracking.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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

using ProgressShower = std::function<void(const RunProgress&)>;

class RunExecutor {
public:
    virtual ~RunExecutor() = default;
    // Carries out the run (one the engine allowed) and returns the report. Called on the
    // window's thread; show is called there whenever the progress has moved, and the context's
    // observer hears the run's trapped failures there too.
    virtual RunReport execute(Context& context, const AllowedRun& run,
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
    RunReport execute(Context& context, const AllowedRun& run, const ProgressShower& show) override;
    void request_stop() override { tracker_.request_stop(); }

private:
    RunTracker tracker_;
};
