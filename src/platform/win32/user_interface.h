// Message boxes and the mouse pointer, through user32.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <windows.h>

namespace win32 {

// The window's thread alone calls it (see platform.h): its owner and refresh are that thread's.
class UserInterface final : public platform::UserInterface {
public:
    // Every box is owned by this window while it exists, so that it stays in front of it and
    // the window takes no input until the box is answered.
    void set_owner(HWND window) { owner_ = window; }
    HWND owner() const { return owner_; }
    // Called before a box opens: the window must show the state the box talks about, even in
    // the middle of a run that has not returned to the message loop yet.
    void set_refresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

    int message_box(std::string_view text, int style) override;
    void set_pointer(int shape) override;

    // The pointer the window shows over itself; null for the window's own (the arrow).
    HCURSOR cursor() const;

private:
    HWND owner_ = nullptr;
    std::function<void()> refresh_;
    int pointer_ = platform::kPointerDefault;
};

} // namespace win32
