// The window's life: its creation and message loop, and the messages it handles.
#include "window/win32/form_view.h"

#include "window/win32/display.h"

namespace win32 {

FormView::FormView(Form1& form, UserInterface& ui, RunWorker& worker, HINSTANCE instance,
                   HICON icon)
    : form_(form), ui_(ui), worker_(worker), controls_(form.controls().size()),
      panels_(form.controls().size()) {
    create_window(instance, icon);
    create_controls(instance);
    stack_controls();
    apply_dpi(window_dpi(window_));
    center_on_screen();
    sync();
    ui_.set_owner(window_);
    ui_.set_refresh([this] { sync(); });
    worker_.attach(
        window_, [this](MSG& message) { return handled_by_window(message); }, [this] { sync(); });
}

FormView::~FormView() {
    if (window_) {
        DestroyWindow(window_);
    }
}

void FormView::run(int show_command) {
    ShowWindow(window_, show_command);
    SetFocus(controls_[static_cast<std::size_t>(ControlId::Command1)]);
    keep_focus_visible();
    MSG message;
    while (window_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (handled_by_window(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (failure_) {
        report_failure();
    }
}

void FormView::on_clicked(int id) {
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(controls_.size()) || busy_) {
        return;
    }
    const Control& control = form_.controls()[static_cast<std::size_t>(index)];
    if (control.kind != ControlKind::Button && control.kind != ControlKind::CheckBox) {
        return;
    }
    busy_ = true;
    form_.click(control.id);
    busy_ = false;
    if (form_.ended() || failure_) {
        // "Done" ends without the closing handler. The window goes as soon as the button that
        // reported the click has returned: destroying it under the button's own handler would
        // leave the button working on freed state.
        ShowWindow(window_, SW_HIDE);
        PostMessageW(window_, kEndMessage, 0, 0);
        return;
    }
    sync();
}

LRESULT FormView::on_color_static(HDC dc, HWND control) {
    const int index = index_of(control);
    if (index >= 0 && form_.controls()[static_cast<std::size_t>(index)].red) {
        SetTextColor(dc, note_colour(high_contrast_on()));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return DefWindowProcW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(control));
}

LRESULT FormView::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE:
        window_ = window;
        break;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL) {
            on_escape();
        } else if (HIWORD(wparam) == BN_CLICKED) {
            on_clicked(LOWORD(wparam));
        }
        return 0;
    case DM_GETDEFID:
        return default_button();
    case WM_CHANGEUISTATE:
    case WM_UPDATEUISTATE:
        return DefWindowProcW(window_, message,
                              MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), lparam);
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        // High contrast turned on or off: the notes' colour follows at once.
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        break;
    case WM_CTLCOLORSTATIC:
        return on_color_static(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_SETCURSOR:
        if (const HCURSOR cursor = ui_.cursor()) {
            SetCursor(cursor);
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        on_activate(wparam);
        return 0;
    case WM_DPICHANGED:
        on_dpi_changed(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
        return 0;
    case WM_CLOSE:
        on_close();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wparam) {
            on_end_session();
        }
        return 0;
    case WM_DESTROY:
        on_destroy();
        return 0;
    case kEndMessage:
        end();
        return 0;
    case WM_NCDESTROY:
        window_ = nullptr;
        return DefWindowProcW(window, message, wparam, lparam);
    default:
        break;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}

} // namespace win32
