// The keyboard: Tab in the stored order, the dialog manager's keys, the default button, and
// the focus kept where the user can see it.
#include "window/win32/form_view.h"

#include <algorithm>
#include <vector>

namespace win32 {

// The keys the window handles itself before a message is dispatched: Tab in the stored order,
// and the dialog manager's keys.
bool FormView::handled_by_window(MSG& message) {
    return window_ && (handle_tab(message) || IsDialogMessageW(window_, &message));
}

int FormView::index_of(HWND control) const {
    const auto found = std::ranges::find(controls_, control);
    return found == controls_.end() ? -1 : static_cast<int>(found - controls_.begin());
}

// Can the user reach the control: shown, enabled, and not lying under a frame shown in front.
bool FormView::reachable(HWND control) const {
    if (!IsWindowVisible(control) || !IsWindowEnabled(control)) {
        return false;
    }
    RECT own;
    GetWindowRect(control, &own);
    HWND level = control;
    while (GetParent(level) != window_) {
        level = GetParent(level);
    }
    for (HWND above = GetWindow(level, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
        RECT cover;
        GetWindowRect(above, &cover);
        RECT common;
        if (IsWindowVisible(above) && IntersectRect(&common, &own, &cover) &&
            EqualRect(&common, &own)) {
            return false;
        }
    }
    return true;
}

// Tab and Shift+Tab follow the stored tab order, which differs from the stacking order that
// the dialog manager would follow.
bool FormView::handle_tab(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB ||
        (message.hwnd != window_ && !IsChild(window_, message.hwnd)) ||
        GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) {
        return false;
    }
    const auto& model = form_.controls();
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (model[i].kind == ControlKind::Button || model[i].kind == ControlKind::CheckBox) {
            order.push_back(i);
        }
    }
    std::ranges::sort(order, {}, [&](std::size_t i) { return model[i].tab_index; });
    const int count = static_cast<int>(order.size());
    const int step = GetKeyState(VK_SHIFT) < 0 ? count - 1 : 1;
    const int focused = index_of(GetFocus());
    const auto at = std::ranges::find(order, static_cast<std::size_t>(focused));
    int position = at == order.end() ? count - 1 : static_cast<int>(at - order.begin());
    for (int tries = 0; tries < count; ++tries) {
        position = (position + step) % count;
        const HWND next = controls_[order[static_cast<std::size_t>(position)]];
        if (reachable(next)) {
            SetFocus(next);
            break;
        }
    }
    return true;
}

// The id of the button Enter presses: the focused push button, as in any dialog, else the
// action of the panel in view.
LRESULT FormView::default_button() const {
    const int focused = index_of(GetFocus());
    const bool on_button =
        focused >= 0 &&
        form_.controls()[static_cast<std::size_t>(focused)].kind == ControlKind::Button;
    const auto index = on_button ? focused : static_cast<int>(form_.action_button());
    return MAKELRESULT(kFirstControlId + index, DC_HASDEFID);
}

// Escape closes the window as its close box does, but never stops a run: that takes the close
// box, on purpose.
void FormView::on_escape() {
    if (!form_.running() && !busy_) {
        on_close();
    }
}

// Windows hides focus rectangles until a key is pressed, and again after mouse use; a keyboard
// user must see where the focus is at every moment, so every request to hide it is turned into
// one to show it.
void FormView::keep_focus_visible() {
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
}

// A plain window does not keep its focused control across deactivation as a dialog does.
void FormView::on_activate(WPARAM wparam) {
    if (LOWORD(wparam) == WA_INACTIVE) {
        saved_focus_ = GetFocus();
    } else if (saved_focus_ && IsChild(window_, saved_focus_)) {
        SetFocus(saved_focus_);
    } else {
        SetFocus(controls_[static_cast<std::size_t>(ControlId::Command1)]);
    }
}

} // namespace win32
