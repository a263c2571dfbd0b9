// The procedure of a window whose messages an object handles, and the place where what its
// handlers throw stops. Between the message loop and a window procedure lie the system's own
// frames (the dispatch, a modal box's loop, a message sent from another thread), which no
// exception may unwind: Windows may swallow it there, and Wine carries it on into whichever
// loop happened to dispatch the message.
#pragma once

#include <exception>
#include <windows.h>

namespace win32 {

// Handler is the window's creation parameter (CreateWindowExW's last argument) and gets every
// message from WM_NCCREATE on through
//     LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// whatever that throws goes to
//     void failed(std::exception_ptr failure) noexcept;
// and the message is answered with 0.
template <class Handler>
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* handler = reinterpret_cast<Handler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!handler) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    try {
        return handler->handle(window, message, wparam, lparam);
    } catch (...) {
        handler->failed(std::current_exception());
        return 0;
    }
}

} // namespace win32
