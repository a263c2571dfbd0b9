// Works the window's runs on a worker thread while the window's thread keeps answering: it goes
// on dispatching the window's messages, shows the run's progress, and carries out on the
// window's thread what the run asks of the window (the box of a trapped failure). A second
// thread counts the run's items meanwhile, for the taskbar's bar.
#pragma once

#include "platform/win32/cross_thread.h"
#include "window/run_executor.h"

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <windows.h>

namespace win32 {

class TaskbarProgress;

class RunWorker final : public RunExecutor {
public:
    RunWorker();
    RunWorker(const RunWorker&) = delete;
    RunWorker& operator=(const RunWorker&) = delete;

    // Set from the moment a stop is asked for until the next run starts: the platform's wait
    // for a tool (win32::Processes) is called off by it.
    HANDLE stop_event() const { return stop_event_.handle(); }

    // The window whose taskbar button shows the progress and whose messages are dispatched
    // while a run works: translate takes those the window handles itself before dispatching, as
    // its message loop does; refresh brings the window in line with the model once the
    // progress has moved. Detached when the window goes.
    void attach(HWND window, std::function<bool(MSG&)> translate, std::function<void()> refresh);
    void detach();

    // Of the context's observer only failure_trapped is called, on the window's thread: the
    // window learns the items from the progress and the report. However it is left (the run's
    // end, a stop, an exception), the run and the count have been told to stop and have ended,
    // and the window's messages were dispatched all the while.
    RunReport execute(Context& context, const AllowedRun& run, const ProgressShower& show) override;
    void request_stop() override;

    // Dispatches the window's messages until the run under way has ended: at log-off the system
    // may end the program as soon as the window has answered. Returns at once when no run works
    // or when the run waits for a box the window shows: it is then between two items.
    void wait_for_end();

private:
    class WindowThreadObserver;

    void work(Context& context, const AllowedRun& run, RunReport& report,
              std::exception_ptr& error);
    void count(const SharedState& state, const platform::Platform& os,
               const CleaningOptions& options);
    void stop_all();
    void dispatch_waiting_messages();
    void show_progress(const ProgressShower& show, TaskbarProgress& taskbar, RunProgress& shown);

    RunTracker tracker_;
    Event stop_event_;
    CrossThreadCall calls_;
    // The threads of the run under way and the number of the one that cleans; none between runs.
    std::optional<WorkerThreads> threads_;
    std::size_t cleaner_ = 0;
    std::optional<WPARAM> quit_code_;
    HWND window_ = nullptr;
    std::function<bool(MSG&)> translate_;
    std::function<void()> refresh_;
};

} // namespace win32
