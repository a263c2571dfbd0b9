// The window's thread and its workers: a worker's call runs on the window's thread; however the
// window's side leaves the workers, they are told to stop, released and joined, and the window
// keeps answering meanwhile. The test's own thread plays the window, scripted step by step:
// every wait is for an event; only where something must not happen does a test give it a
// moment (kMoment) to show that it does not.
#include "platform/platform.h"
#include "platform/win32/cross_thread.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <windows.h>

namespace {

using win32::CrossThreadCall;
using win32::Event;
using win32::WorkerThreads;

// Long enough for a thread that was let go to get where it is going, on a busy machine too.
constexpr DWORD kMoment = 200;

// What the window's message loop does with the messages that wait.
void dispatch_messages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

TEST(CrossThreadTest, AWorkersCallsRunOnTheWindowsThreadAndBringBackWhatTheyThrew) {
    CrossThreadCall calls;
    Event stop_asked;
    DWORD ran_on = 0;
    bool first_served = false;
    std::string second_threw;
    {
        WorkerThreads threads(calls, dispatch_messages, [&] { stop_asked.set(); });
        const std::size_t worker = threads.start([&] {
            first_served = calls.run([&] { ran_on = GetCurrentThreadId(); });
            try {
                calls.run([] { throw std::runtime_error("no box today"); });
            } catch (const std::runtime_error& failure) {
                second_threw = failure.what();
            }
        });
        EXPECT_TRUE(threads.serve_until_ended(worker, INFINITE));
        EXPECT_FALSE(stop_asked.is_set()); // told to stop only once the window leaves them
    }
    EXPECT_TRUE(first_served);
    EXPECT_EQ(ran_on, GetCurrentThreadId());
    EXPECT_EQ(second_threw, "no box today");
    EXPECT_TRUE(stop_asked.is_set());
}

TEST(CrossThreadTest, AnExceptionOnTheWindowsSideStillStopsAndJoinsWhileTheWindowAnswers) {
    // A window of the test's thread that the worker sends to once it is told to stop: the
    // send returns only while this thread dispatches messages. Its last box is still served.
    const HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    CrossThreadCall calls;
    Event stop_asked;
    std::atomic<bool> answered = false;
    std::atomic<bool> last_call_served = false;
    std::atomic<bool> ended = false;
    bool failed_once = false;
    const auto failing_once = [&] {
        if (!failed_once) {
            failed_once = true;
            throw std::runtime_error("the window failed");
        }
        dispatch_messages();
    };
    try {
        WorkerThreads threads(calls, failing_once, [&] { stop_asked.set(); });
        const std::size_t worker = threads.start([&] {
            WaitForSingleObject(stop_asked.handle(), INFINITE);
            last_call_served = calls.run([] {});
            answered = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0) == 0;
            ended = true;
        });
        PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
        threads.serve_until_ended(worker, INFINITE);
        ADD_FAILURE() << "the window's failure did not leave the wait";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "the window failed");
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(last_call_served);
    EXPECT_TRUE(answered);
    DestroyWindow(window);
}

TEST(CrossThreadTest, AWorkerWaitingForTheWindowIsReleasedWhenTheWindowGoes) {
    CrossThreadCall calls;
    std::atomic<int> outcome = -1;
    bool ran = false;
    {
        WorkerThreads threads(calls, dispatch_messages, [] {});
        threads.start([&] { outcome = calls.run([&] { ran = true; }) ? 1 : 0; });
        // The call waits; the window goes without serving it, and joins.
        WaitForSingleObject(calls.ready(), INFINITE);
        calls.close();
    }
    EXPECT_EQ(outcome, 0);
    EXPECT_FALSE(ran);
    // Closed until the next workers start: a late call is refused at once, not left waiting.
    EXPECT_FALSE(calls.run([&] { ran = true; }));
    EXPECT_FALSE(ran);
}

TEST(CrossThreadTest, ASecondWorkersCallWaitsForTheFirstsAnswerAndBothRun) {
    CrossThreadCall calls;
    Event first_running;
    DWORD offered_meanwhile = 0;
    std::atomic<bool> first_ran = false;
    std::atomic<bool> second_ran = false;
    std::atomic<int> first_told = -1;
    std::atomic<int> second_told = -1;
    {
        WorkerThreads threads(calls, dispatch_messages, [] {});
        const std::size_t first = threads.start([&] {
            first_told = calls.run([&] {
                // The second worker calls now: its call must not be offered while this one runs.
                first_running.set();
                offered_meanwhile = WaitForSingleObject(calls.ready(), kMoment);
                first_ran = true;
            });
        });
        const std::size_t second = threads.start([&] {
            WaitForSingleObject(first_running.handle(), INFINITE);
            second_told = calls.run([&] { second_ran = true; });
        });
        EXPECT_TRUE(threads.serve_until_ended(first, INFINITE));
        EXPECT_TRUE(threads.serve_until_ended(second, INFINITE));
    }
    EXPECT_EQ(offered_meanwhile, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(first_ran);
    EXPECT_TRUE(second_ran);
    EXPECT_EQ(first_told, 1);
    EXPECT_EQ(second_told, 1);
}

TEST(CrossThreadTest, AFailedWaitEndsTheServingAndTheJoiningReleasesTheWorker) {
    CrossThreadCall calls;
    Event stop_asked;
    std::atomic<int> released = -1;
    int waits = 0;
    // Fails every time, as a wait on a handle gone bad would. Should the failure be waited out,
    // it gives up failing after a hundred turns (lets the worker go and waits for real), so that
    // the test fails instead of spinning for ever.
    const auto failing_wait = [&](std::span<const HANDLE> handles, DWORD timeout_ms) -> DWORD {
        if (++waits > 100) {
            stop_asked.set();
            return WorkerThreads::wait_for_handles_or_message(handles, timeout_ms);
        }
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    };
    {
        WorkerThreads threads(
            calls, dispatch_messages, [&] { stop_asked.set(); }, failing_wait);
        const std::size_t worker = threads.start([&] {
            WaitForSingleObject(stop_asked.handle(), INFINITE);
            released = calls.run([] {}) ? 1 : 0;
        });
        EXPECT_THROW(threads.serve_until_ended(worker, INFINITE), platform::Failure);
        EXPECT_EQ(waits, 1);
    }
    // Told to stop, its last call released unserved once the joining's wait failed too.
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(released, 0);
}

} // namespace
