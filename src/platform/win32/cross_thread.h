// How the window's thread and the threads that work for it meet: an event, a call that a worker
// hands to the window's thread and waits for, and the threads themselves, joined however the
// window's side leaves them. The window's thread never blocks without serving the calls and
// pumping its messages, so neither side can wait for the other for ever.
#pragma once

#include "platform/win32/handles.h"

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>
#include <windows.h>

namespace win32 {

// A manual-reset event: once set, every wait returns until it is reset. Any thread may set,
// reset or wait for it.
class Event {
public:
    Event(); // throws platform::Failure
    void set() { SetEvent(handle_.get()); }
    void reset() { ResetEvent(handle_.get()); }
    bool is_set() const { return WaitForSingleObject(handle_.get(), 0) == WAIT_OBJECT_0; }
    HANDLE handle() const { return handle_.get(); }

private:
    UniqueHandle handle_;
};

// A function that a worker has run on the serving (window's) thread, one call at a time. The
// serving thread waits for ready() among its other handles and then calls serve().
class CrossThreadCall {
public:
    // Worker side: runs call on the serving thread and returns once it has run, rethrowing what
    // it threw. False when the serving side is closed, or closes while the call waits: the call
    // did not run and never will. A second worker's call waits until the first has its answer.
    bool run(const std::function<void()>& call);

    // Serving side. Set while a call waits to be served.
    HANDLE ready() const { return ready_.handle(); }
    // Runs the call that waits, if one does and the calls are open, and lets its worker go on.
    void serve();
    // True while serve() runs a call: the serving thread is inside it.
    bool serving() const { return serving_; }
    // No call is served from now on (the window is gone): a worker waiting in run() is released
    // without its call.
    void close();
    // Calls are served again.
    void open();

private:
    // Held by a worker for the whole of its run(): there is one waiting call and one answer.
    std::mutex turn_;
    std::mutex mutex_;
    const std::function<void()>* waiting_ = nullptr; // guarded by mutex_
    bool closed_ = false;                            // guarded by mutex_
    std::exception_ptr error_;                       // written by serve() before done_ is set
    bool serving_ = false;                           // the serving thread's own
    Event ready_;
    Event done_;
    Event closed_event_;
};

// Threads that work for the window's thread, which waits for them while it serves their calls
// and pumps its messages. However the owner leaves them (their end, a stop, an exception on the
// window's side) the destructor tells them to stop and joins them while it still serves their
// calls and pumps: the window never stops answering. Should the window fail to take its messages
// meanwhile, or its wait fail, or the calls be closed, a worker waiting for the window is released
// instead.
class WorkerThreads {
public:
    // How the window's thread waits for one of its handles or for a message: the index of the
    // handle that is set, handles.size() for a message, WAIT_TIMEOUT, or WAIT_FAILED with the
    // reason for GetLastError.
    using Wait = std::function<DWORD(std::span<const HANDLE> handles, DWORD timeout_ms)>;
    // MsgWaitForMultipleObjectsEx for any input, the messages already seen included.
    static DWORD wait_for_handles_or_message(std::span<const HANDLE> handles, DWORD timeout_ms);

    // pump dispatches the messages waiting for the calling thread; stop asks every thread to end
    // at its next chance. Both are called on the window's thread only. The calls are open from
    // here until the threads are joined.
    WorkerThreads(CrossThreadCall& calls, std::function<void()> pump, std::function<void()> stop,
                  Wait wait = wait_for_handles_or_message);
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Starts body on a thread of its own and gives its number, counted from 0. A body that
    // throws ends its thread and nothing else: the body reports its own failures.
    std::size_t start(std::function<void()> body);
    // Serves the calls and pumps until thread has ended (true) or timeout_ms have passed (false;
    // INFINITE waits for the end). Throws what pump throws, and platform::Failure when the wait
    // fails.
    bool serve_until_ended(std::size_t thread, DWORD timeout_ms);

private:
    struct Worker {
        Event ended;
        std::jthread thread;
    };
    // The destructor's part: never throws, and returns only once every thread has ended.
    void stop_and_join() noexcept;

    CrossThreadCall& calls_;
    std::function<void()> pump_;
    std::function<void()> stop_;
    Wait wait_;
    std::vector<std::unique_ptr<Worker>> workers_;
};

} // namespace win32
