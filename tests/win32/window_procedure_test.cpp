// A window procedure whose handlers throw, on a message-only window of the test's thread: the
// test's second thread sends it messages as another thread of the program would, and the test's
// own thread runs the message loop that nothing may unwind.
#include "window/win32/window_procedure.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

constexpr UINT kThrowError = WM_APP;
constexpr UINT kThrowOther = WM_APP + 1;
constexpr UINT kAnswer = WM_APP + 2;
constexpr UINT kDone = WM_APP + 3;

// Derives from nothing: what a handler that catches std::exception lets through.
struct Unexpected {};

class ThrowingHandler {
public:
    LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
        case kThrowError:
            throw std::runtime_error("no font today");
        case kThrowOther:
            throw Unexpected{};
        case kAnswer:
            return 42;
        case kDone:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
        }
    }
    void failed(std::exception_ptr failure) noexcept { failures.push_back(failure); }

    std::vector<std::exception_ptr> failures;
};

// The message the test's second thread sends, and what the window answered (or -1 when the send
// came back without an answer).
LRESULT sent(HWND window, UINT message) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, 5000, &answer)) {
        return -1;
    }
    return static_cast<LRESULT>(answer);
}

TEST(WindowProcedureTest, WhatAHandlerThrowsStopsAtTheProcedureAndTheWindowKeepsAnswering) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = win32::window_procedure<ThrowingHandler>;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"VeskThrowingWindow";
    RegisterClassW(&window_class);
    ThrowingHandler handler;
    const HWND window = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, window_class.hInstance, &handler);
    ASSERT_NE(window, nullptr);

    std::vector<LRESULT> answers;
    std::thread other([&] {
        answers.push_back(sent(window, kThrowOther));
        answers.push_back(sent(window, kAnswer));
        PostMessageW(window, kThrowError, 0, 0);
        PostMessageW(window, kDone, 0, 0);
    });
    try {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            DispatchMessageW(&message);
        }
    } catch (...) {
        ADD_FAILURE() << "a handler's exception unwound through the message loop";
    }
    other.join();
    DestroyWindow(window);
    UnregisterClassW(window_class.lpszClassName, window_class.hInstance);

    EXPECT_EQ(answers, (std::vector<LRESULT>{0, 42}));
    ASSERT_EQ(handler.failures.size(), 2U);
    EXPECT_THROW(std::rethrow_exception(handler.failures[0]), Unexpected);
    EXPECT_THROW(std::rethrow_exception(handler.failures[1]), std::runtime_error);
}

} // namespace
