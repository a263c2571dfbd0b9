// How a run tells its caller what happens, without deciding how a person sees it: the window
// shows a trapped failure in a box, the console program prints it.
#pragma once

#include "operations/profile.h"
#include "operations/targets.h"

#include <cstddef>
#include <string>
#include <string_view>

struct ItemEvent {
    Target target;
    ItemOutcome outcome;
    std::string_view key_root = kCurrentUserRoot; // the run's, for shown_path
};

// A failure that an operation caught, reported and got over: the run goes on.
struct TrappedFailure {
    std::string log_text; // the log line: "Error in MM_DeleteFiles: ..."
    std::string box_text; // what the user is shown: "Error in MM_DeleteTempFiles: ..."
};

struct Progress {
    std::size_t items_done = 0;
    std::string_view operation; // the procedure under way
};

// Every method is called on the thread that runs the cleaning, and must return quickly: the
// run waits for it between items.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void operation_started(std::string_view /*procedure*/) {}
    // A run over every profile: the items from here on are this profile's, until the next.
    virtual void profile_started(const Profile& /*profile*/) {}
    // A run over every profile leaves this one out; the log, when there is one, says so too.
    virtual void profile_left_out(const LeftOutProfile& /*left_out*/) {}
    virtual void item_handled(const ItemEvent& /*item*/) {}
    virtual void progress(const Progress& /*progress*/) {}
    virtual void failure_trapped(const TrappedFailure& /*failure*/) {}
    virtual void line_written(std::string_view /*line*/) {}
    // Asked at every item boundary (after an item, before an operation): true ends the run
    // there, so that no item is ever left half-done. The window asks for it when the user closes
    // it during a run; another thread may set what it answers.
    virtual bool stop_requested() { return false; }
};

// Thrown by a run at the item boundary where it saw a stop asked for, and caught where the run
// ends. Deliberately no std::exception: an operation that traps its failures must not take a
// stop for one and go on.
struct RunStopped {};
