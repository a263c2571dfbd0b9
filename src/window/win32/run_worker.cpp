#include "window/win32/run_worker.h"

#include "platform/win32/com_scope.h"
#include "platform/win32/text.h"
#include "window/win32/taskbar_progress.h"

#include <thread>
#include <utility>

namespace win32 {
namespace {

// Often enough that the count looks alive, seldom enough that redrawing costs the run nothing.
constexpr DWORD kProgressIntervalMs = 100;

UniqueHandle new_event(bool manual_reset) {
    UniqueHandle event(CreateEventW(nullptr, manual_reset ? TRUE : FALSE, FALSE, nullptr));
    if (!event) {
        throw platform::Failure(error_text(GetLastError()));
    }
    return event;
}

} // namespace

// The window's observer as the worker's run reaches it: a trapped failure on the window's
// thread, where its box is modal over the window. Nothing else: the window's observer is the
// window's, and the run's thread leaves it alone.
class RunWorker::WindowThreadObserver final : public RunObserver {
public:
    WindowThreadObserver(RunObserver& window, RunWorker& worker)
        : window_(window), worker_(worker) {}
    void failure_trapped(const TrappedFailure& failure) override {
        worker_.call_on_window_thread([&] { window_.failure_trapped(failure); });
    }

private:
    RunObserver& window_;
    RunWorker& worker_;
};

RunWorker::RunWorker()
    : stop_event_(new_event(true)), done_event_(new_event(true)), call_ready_(new_event(false)),
      call_done_(new_event(false)) {}

void RunWorker::attach(HWND window, std::function<bool(MSG&)> translate,
                       std::function<void()> refresh) {
    window_ = window;
    translate_ = std::move(translate);
    refresh_ = std::move(refresh);
}

void RunWorker::detach() {
    attach(nullptr, {}, {});
}

RunReport RunWorker::execute(Context& context, const CleaningOptions& options,
                             const ProgressShower& show) {
    tracker_.reset();
    ResetEvent(stop_event_.get());
    ResetEvent(done_event_.get());
    RunReport report;
    std::exception_ptr error;
    running_ = true;
    // Counting first would cost the run a second listing of every folder: the count works beside
    // the cleaning instead, on the state as it was before the run, and nothing waits for it.
    const SharedState state_to_count = context.state;
    {
        TaskbarProgress taskbar(window_);
        const std::jthread counter([&] { count(state_to_count, context.os, options); });
        const std::jthread worker([&] {
            work(context, options, report, error);
            SetEvent(done_event_.get());
        });
        pump_until_done(&show, &taskbar);
        tracker_.abandon_count();
    }
    running_ = false;
    if (quit_code_) {
        PostQuitMessage(static_cast<int>(*std::exchange(quit_code_, std::nullopt)));
    }
    if (error) {
        std::rethrow_exception(error);
    }
    return report;
}

void RunWorker::work(Context& context, const CleaningOptions& options, RunReport& report,
                     std::exception_ptr& error) {
    try {
        // The shell's delete of a project folder wants COM on the thread that calls it.
        const ComScope com;
        WindowThreadObserver observer(context.observer, *this);
        Context working{context.state, context.os, context.log, context.action, observer};
        report = tracked_cleaning(working, options, tracker_);
    } catch (...) {
        // Rethrown on the window's thread, where the model reports it as ever.
        error = std::current_exception();
    }
}

void RunWorker::count(const SharedState& state, const platform::Platform& os,
                      const CleaningOptions& options) {
    // Behind the window and the cleaning when the machine is busy: it only feeds the bar.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    try {
        const ComScope com;
        count_items(state, os, options, tracker_);
    } catch (...) {
        // Without a count the bar stays a marquee; the cleaning is what matters.
    }
}

void RunWorker::request_stop() {
    tracker_.request_stop();
    SetEvent(stop_event_.get());
}

void RunWorker::wait_for_end() {
    if (running_ && !serving_call_) {
        pump_until_done(nullptr, nullptr);
    }
}

void RunWorker::call_on_window_thread(const std::function<void()>& call) {
    call_ = &call;
    SetEvent(call_ready_.get());
    WaitForSingleObject(call_done_.get(), INFINITE);
    call_ = nullptr;
    if (call_error_) {
        std::rethrow_exception(std::exchange(call_error_, nullptr));
    }
}

void RunWorker::pump_until_done(const ProgressShower* show, TaskbarProgress* taskbar) {
    const HANDLE handles[] = {done_event_.get(), call_ready_.get()};
    RunProgress shown;
    ULONGLONG next_show = 0;
    while (true) {
        const ULONGLONG now = GetTickCount64();
        if (show && now >= next_show) {
            show_progress(*show, *taskbar, shown);
            next_show = now + kProgressIntervalMs;
        }
        const DWORD timeout = show ? static_cast<DWORD>(next_show - now) : INFINITE;
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(2, handles, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) {
            return;
        }
        if (woke == WAIT_OBJECT_0 + 1) {
            serve_call();
        }
        dispatch_waiting_messages();
    }
}

void RunWorker::dispatch_waiting_messages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The loop that waits for it is the window's own: it gets it once the run is over.
            quit_code_ = message.wParam;
            continue;
        }
        if (translate_ && translate_(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void RunWorker::serve_call() {
    serving_call_ = true;
    try {
        (*call_)();
    } catch (...) {
        call_error_ = std::current_exception();
    }
    serving_call_ = false;
    SetEvent(call_done_.get());
}

void RunWorker::show_progress(const ProgressShower& show, TaskbarProgress& taskbar,
                              RunProgress& shown) {
    const RunProgress progress = tracker_.progress();
    if (progress == shown) {
        return;
    }
    shown = progress;
    taskbar.show(bar_position(progress));
    show(progress);
    if (refresh_) {
        refresh_();
    }
}

} // namespace win32
