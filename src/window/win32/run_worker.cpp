#include "window/win32/run_worker.h"

#include "platform/win32/com_scope.h"
#include "window/win32/taskbar_progress.h"

#include <thread>
#include <utility>

namespace win32 {
namespace {

// Often enough that the count looks alive, seldom enough that redrawing costs the run nothing.
constexpr DWORD kProgressIntervalMs = 100;

// Neither thread of a run dispatches messages.
constexpr auto kWorkerApartment = ComScope::Apartment::MultiThreaded;

} // namespace

// The window's observer as the worker's run reaches it: a trapped failure on the window's
// thread, where its box is modal over the window. Nothing else: the window's observer is the
// window's, and the run's thread leaves it alone. A box the window no longer serves (it is
// stopping the run) is not shown; the log has the failure.
class RunWorker::WindowThreadObserver final : public RunObserver {
public:
    WindowThreadObserver(RunObserver& window, CrossThreadCall& calls)
        : window_(window), calls_(calls) {}
    void failure_trapped(const TrappedFailure& failure) override {
        calls_.run([&] { window_.failure_trapped(failure); });
    }

private:
    RunObserver& window_;
    CrossThreadCall& calls_;
};

RunWorker::RunWorker() = default;

void RunWorker::attach(HWND window, std::function<bool(MSG&)> translate,
                       std::function<void()> refresh) {
    window_ = window;
    translate_ = std::move(translate);
    refresh_ = std::move(refresh);
}

void RunWorker::detach() {
    attach(nullptr, {}, {});
    // No box can be shown over a window that is gone: a run that waits for one goes on without.
    calls_.close();
}

RunReport RunWorker::execute(Context& context, const AllowedRun& run, const ProgressShower& show) {
    tracker_.reset();
    stop_event_.reset();
    RunReport report;
    std::exception_ptr error;
    // Counting first would cost the run a second listing of every folder: the count works beside
    // the cleaning instead, on the state as it was before the run, and nothing waits for it.
    const SharedState state_to_count = context.state;
    TaskbarProgress taskbar(window_);
    threads_.emplace(
        calls_, [this] { dispatch_waiting_messages(); }, [this] { stop_all(); });
    try {
        threads_->start([&] { count(state_to_count, context.os, run.request().options); });
        cleaner_ = threads_->start([&] { work(context, run, report, error); });
        RunProgress shown;
        do {
            show_progress(show, taskbar, shown);
        } while (!threads_->serve_until_ended(cleaner_, kProgressIntervalMs));
    } catch (...) {
        threads_.reset();
        throw;
    }
    // While they are joined the threads stay reachable: a log-off meanwhile waits for the run.
    threads_.reset();
    if (quit_code_) {
        PostQuitMessage(static_cast<int>(*std::exchange(quit_code_, std::nullopt)));
    }
    if (error) {
        std::rethrow_exception(error);
    }
    return report;
}

void RunWorker::work(Context& context, const AllowedRun& run, RunReport& report,
                     std::exception_ptr& error) {
    try {
        // The shell's delete of a project folder wants COM on the thread that calls it.
        const ComScope com(kWorkerApartment);
        WindowThreadObserver observer(context.observer, calls_);
        Context working{context.state, context.os, context.log, context.action, observer};
        report = tracked_run(working, run, tracker_);
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
        const ComScope com(kWorkerApartment);
        count_items(state, os, options, tracker_);
    } catch (...) {
        // Without a count the bar stays a marquee; the cleaning is what matters.
    }
}

void RunWorker::request_stop() {
    tracker_.request_stop();
    stop_event_.set();
}

// However the run ends: the cleaning stops at its next item boundary and the count at its next
// item, and a tool's wait is called off.
void RunWorker::stop_all() {
    request_stop();
    tracker_.abandon_count();
}

void RunWorker::wait_for_end() {
    if (threads_ && !calls_.serving()) {
        threads_->serve_until_ended(cleaner_, INFINITE);
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
