#include "console/win32/console_stop.h"

#include "platform/win32/handler_slot.h"

namespace win32 {
namespace {

// The system ends the program about five seconds after a close, log-off or shutdown event
// whatever the handler does; waiting longer would only keep the session waiting.
constexpr DWORD kLongestStopMs = 4500;

constinit HandlerSlot<ConsoleStop> g_current;

} // namespace

ConsoleStop::ConsoleStop() {
    g_current.put(*this);
    // Should the system refuse the handler, Ctrl+C ends the program at once, as by default.
    SetConsoleCtrlHandler(handle, TRUE);
}

ConsoleStop::~ConsoleStop() {
    SetConsoleCtrlHandler(handle, FALSE);
    // First the handler that waits is let go, then it is waited for: it uses this object until
    // it returns.
    finished_.set();
    g_current.take_out();
}

BOOL WINAPI ConsoleStop::handle(DWORD event) {
    const bool handled = g_current.use([&](ConsoleStop& stop) {
        // Only flags here: the run sees them at its next item boundary, on its own thread.
        stop.requested_ = true;
        stop.call_off_.set();
        if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
            return;
        }
        // Close, log-off, shutdown: the system ends the program once this returns, so it returns
        // when the run has stopped and its log is closed.
        WaitForSingleObject(stop.finished_.handle(), kLongestStopMs);
    });
    return handled ? TRUE : FALSE;
}

} // namespace win32
