// The console's control events as the user's stop: Ctrl+C, Ctrl+Break, closing the console,
// log-off and shutdown end the run under way as closing the window does, at its next item
// boundary, with every item it handled logged and the log closed.
#pragma once

#include "platform/win32/cross_thread.h"

#include <atomic>
#include <windows.h>

namespace win32 {

// Handles the events while it lives; one at a time, since the system's handler has no context.
class ConsoleStop {
public:
    ConsoleStop();  // throws platform::Failure when its events cannot be made
    ~ConsoleStop(); // the program has finished: a waiting handler lets the system end it
    ConsoleStop(const ConsoleStop&) = delete;
    ConsoleStop& operator=(const ConsoleStop&) = delete;

    // Set once a stop is asked for; the run asks for it at every item boundary.
    const std::atomic<bool>& requested() const { return requested_; }
    // Set with it: calls off the wait for a tool (win32::Processes).
    HANDLE call_off() const { return call_off_.handle(); }

private:
    // Runs on a thread the system starts for the event.
    static BOOL WINAPI handle(DWORD event);

    std::atomic<bool> requested_ = false;
    Event call_off_;
    Event finished_;
};

} // namespace win32
