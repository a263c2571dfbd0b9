#include "platform/win32/user_interface.h"

#include "platform/win32/text.h"

namespace win32 {

int UserInterface::message_box(std::string_view text, int style) {
    if (refresh_) {
        refresh_();
    }
    return MessageBoxW(owner_, wide(text).c_str(), wide(platform::kAppTitle).c_str(),
                       static_cast<UINT>(style));
}

void UserInterface::set_pointer(int shape) {
    pointer_ = shape;
    // A run works without returning to the message loop, so the new shape must show now, not
    // at the next WM_SETCURSOR.
    SetCursor(cursor() ? cursor() : LoadCursorW(nullptr, IDC_ARROW));
}

HCURSOR UserInterface::cursor() const {
    return pointer_ == platform::kPointerHourglass ? LoadCursorW(nullptr, IDC_WAIT) : nullptr;
}

} // namespace win32
