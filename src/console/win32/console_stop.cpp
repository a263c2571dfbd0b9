#include "console/win32/console_stop.h"

namespace win32 {
namespace {

// The system ends the program about five seconds after a close, log-off or shutdown event
// whatever the handler does; waiting longer would only keep the session waiting.
constexpr DWORD kLongestStopMs = 4500;

std::atomic<ConsoleStop*> current = nullptr;

} // namespace

ConsoleStop::ConsoleStop() {
    current = this;
    // Should the system refuse the handler, Ctrl+C ends the program at once, as by default.
    SetConsoleCtrlHandler(handle, TRUE);
}

ConsoleStop::~ConsoleStop() {
    SetConsoleCtrlHandler(handle, FALSE);
    current = nullptr;
    finished_.set();
}

BOOL WINAPI ConsoleStop::handle(DWORD event) {
    ConsoleStop* stop = current;
    if (!stop) {
        return FALSE;
    }
    // Only flags here: the run sees them at its next item boundary, on its own thread.
    stop->requested_ = true;
    stop->call_off_.set();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE;
    }
    // Close, log-off, shutdown: the system ends the program once this returns, so it returns
    // when the run has stopped and its log is closed.
    WaitForSingleObject(stop->finished_.handle(), kLongestStopMs);
    return TRUE;
}

} // namespace win32
