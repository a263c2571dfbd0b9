#include "platform/win32/cross_thread.h"

#include "platform/platform.h"
#include "platform/win32/text.h"

#include <utility>

namespace win32 {

Event::Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!handle_) {
        throw platform::Failure(error_text(GetLastError()));
    }
}

bool CrossThreadCall::run(const std::function<void()>& call) {
    const std::lock_guard turn(turn_);
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        waiting_ = &call;
        error_ = nullptr;
        done_.reset();
        ready_.set();
    }
    const HANDLE handles[] = {done_.handle(), closed_event_.handle()};
    WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    {
        const std::lock_guard lock(mutex_);
        if (waiting_ == &call) {
            // Closed before the serving thread took it: withdrawn, it can never run now.
            waiting_ = nullptr;
            ready_.reset();
            return false;
        }
    }
    // Taken: the serving thread finishes it even when it closes meanwhile.
    WaitForSingleObject(done_.handle(), INFINITE);
    if (error_) {
        std::rethrow_exception(std::exchange(error_, nullptr));
    }
    return true;
}

void CrossThreadCall::serve() {
    const std::function<void()>* call = nullptr;
    {
        const std::lock_guard lock(mutex_);
        ready_.reset();
        if (closed_) {
            return; // its worker withdraws it
        }
        call = std::exchange(waiting_, nullptr);
    }
    if (!call) {
        return;
    }
    serving_ = true;
    try {
        (*call)();
    } catch (...) {
        error_ = std::current_exception();
    }
    serving_ = false;
    done_.set();
}

void CrossThreadCall::close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    closed_event_.set();
}

void CrossThreadCall::open() {
    const std::lock_guard lock(mutex_);
    closed_ = false;
    closed_event_.reset();
}

DWORD WorkerThreads::wait_for_handles_or_message(std::span<const HANDLE> handles,
                                                 DWORD timeout_ms) {
    return MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(),
                                       timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

WorkerThreads::WorkerThreads(CrossThreadCall& calls, std::function<void()> pump,
                             std::function<void()> stop, Wait wait)
    : calls_(calls), pump_(std::move(pump)), stop_(std::move(stop)), wait_(std::move(wait)) {
    calls_.open();
}

WorkerThreads::~WorkerThreads() {
    stop_and_join();
}

std::size_t WorkerThreads::start(std::function<void()> body) {
    auto worker = std::make_unique<Worker>();
    Event& ended = worker->ended;
    worker->thread = std::jthread([&ended, body = std::move(body)] {
        try {
            body();
        } catch (...) {
            // The body reports its own failures; the thread only has to end.
        }
        ended.set();
    });
    workers_.push_back(std::move(worker));
    return workers_.size() - 1;
}

bool WorkerThreads::serve_until_ended(std::size_t thread, DWORD timeout_ms) {
    const HANDLE handles[] = {workers_.at(thread)->ended.handle(), calls_.ready()};
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (true) {
        DWORD wait = INFINITE;
        if (timeout_ms != INFINITE) {
            const ULONGLONG now = GetTickCount64();
            wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        }
        const DWORD woke = wait_(handles, wait);
        if (woke == WAIT_OBJECT_0) {
            return true;
        }
        if (woke == WAIT_TIMEOUT) {
            return false;
        }
        if (woke == WAIT_FAILED) {
            // It would fail again at once: waiting on would only spin.
            throw platform::Failure(error_text(GetLastError()));
        }
        if (woke == WAIT_OBJECT_0 + 1) {
            calls_.serve();
        }
        pump_();
    }
}

void WorkerThreads::stop_and_join() noexcept {
    try {
        stop_();
    } catch (...) {
        // The threads end at the latest when they find no window to wait for.
        calls_.close();
    }
    // A window that cannot take its messages, or cannot wait for them, is no reason to leave a
    // thread behind: its workers stop waiting for it, and the join waits for their end alone.
    bool answering = true;
    const auto stop_answering = [&] {
        answering = false;
        calls_.close();
    };
    for (const auto& worker : workers_) {
        const HANDLE handles[] = {worker->ended.handle(), calls_.ready()};
        while (answering) {
            const DWORD woke = wait_(handles, INFINITE);
            if (woke == WAIT_OBJECT_0) {
                break;
            }
            if (woke == WAIT_FAILED) {
                stop_answering();
                break;
            }
            try {
                calls_.serve();
                pump_();
            } catch (...) {
                stop_answering();
            }
        }
        worker->thread.join();
    }
    calls_.close();
}

} // namespace win32
