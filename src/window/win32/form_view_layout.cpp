// The window and its controls made, stacked, laid out at the window's DPI and brought in line
// with the model.
#include "platform/win32/text.h"
#include "window/win32/display.h"
#include "window/win32/form_view.h"

#include <algorithm>
#include <vector>

namespace win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"VeskCleaningWizard";
constexpr wchar_t kPanelClass[] = L"VeskPanel";
constexpr int kTwipsPerInch = 1440;
// A check box's square and the gap before its text, at 96 DPI.
constexpr int kCheckMarkPixels = 20;

LRESULT CALLBACK panel_proc(HWND panel, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // The panel is only a backdrop: its controls' notifications belong to the window.
        return SendMessageW(GetParent(panel), message, wparam, lparam);
    default:
        return DefWindowProcW(panel, message, wparam, lparam);
    }
}

void register_classes(HINSTANCE instance, HICON icon, WNDPROC window_proc) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = icon;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kWindowClass;
    RegisterClassExW(&window_class);

    // Group boxes do not paint their inside; the panel under each one does, so that a frame
    // shown over other controls hides them.
    WNDCLASSEXW panel_class = window_class;
    panel_class.lpfnWndProc = panel_proc;
    panel_class.hIcon = nullptr;
    panel_class.lpszClassName = kPanelClass;
    RegisterClassExW(&panel_class);
}

// Buttons would take a single '&' as an access-key marker; the window defines none.
std::wstring button_text(std::string_view caption) {
    std::wstring text;
    for (const wchar_t c : wide(caption)) {
        text += c;
        if (c == L'&') {
            text += L'&';
        }
    }
    return text;
}

std::wstring shown_text(const Control& control) {
    return control.kind == ControlKind::Label ? wide(control.caption)
                                              : button_text(control.caption);
}

std::wstring window_text(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

struct Creation {
    const wchar_t* window_class;
    DWORD style;
};

Creation creation_of(ControlKind kind) {
    constexpr DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
    // Each control a group of its own: the dialog manager's arrow keys, which know nothing of
    // the frame shown over the window's own boxes, then never move the focus to a covered one.
    constexpr DWORD focusable = WS_TABSTOP | WS_GROUP;
    switch (kind) {
    case ControlKind::Button:
        return {L"BUTTON", child | focusable | BS_PUSHBUTTON};
    case ControlKind::CheckBox:
        // Not an automatic box: the model decides the tick.
        return {L"BUTTON", child | focusable | BS_CHECKBOX};
    case ControlKind::Label:
        return {L"STATIC", child | SS_LEFT | SS_NOPREFIX};
    case ControlKind::Frame:
        break;
    }
    return {L"BUTTON", child | WS_VISIBLE | BS_GROUPBOX};
}

} // namespace

void FormView::create_window(HINSTANCE instance, HICON icon) {
    register_classes(instance, icon, window_procedure<FormView>);
    CreateWindowExW(0, kWindowClass, wide(kFormCaption).c_str(),
                    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
                    CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
    if (!window_) {
        throw platform::Failure(error_text(GetLastError()));
    }
}

void FormView::create_controls(HINSTANCE instance) {
    const auto& model = form_.controls();
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const Control& control = model[i];
        HWND parent = window_;
        if (control.holder) {
            parent = panels_[static_cast<std::size_t>(*control.holder)];
        }
        if (control.kind == ControlKind::Frame) {
            panels_[i] =
                CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"", WS_CHILD | WS_CLIPSIBLINGS,
                                0, 0, 0, 0, parent, nullptr, instance, nullptr);
            parent = panels_[i];
        }
        const Creation creation = creation_of(control.kind);
        controls_[i] = CreateWindowExW(
            0, creation.window_class, shown_text(control).c_str(), creation.style, 0, 0, 0, 0,
            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), instance,
            nullptr);
    }
}

// The stored front-to-back order, among the window's own children and within each panel; a
// panel's group box lies behind everything in it.
void FormView::stack_controls() {
    std::vector<std::size_t> order(controls_.size());
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        order[i] = i;
    }
    const auto& model = form_.controls();
    std::ranges::sort(order, {}, [&](std::size_t i) { return model[i].z_order; });
    for (const std::size_t i : order) {
        SetWindowPos(outer(i), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (panels_[i]) {
            SetWindowPos(controls_[i], HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

HWND FormView::outer(std::size_t index) const {
    return panels_[index] ? panels_[index] : controls_[index];
}

void FormView::apply_dpi(UINT dpi) {
    dpi_ = dpi;
    UniqueGdiObject font = message_font(dpi);
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    // The controls no longer use the old font: it may go now.
    font_ = std::move(font);
    place_controls();
}

void FormView::on_dpi_changed(UINT dpi, const RECT& suggested) {
    apply_dpi(dpi);
    const RECT rect = window_rect_for_client();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormView::place_controls() {
    const auto px = [this](int twips) { return twips_to_pixels(twips); };
    const auto& model = form_.controls();
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const Control& c = model[i];
        const int width = fitted_width(i);
        const int height = px(c.height);
        constexpr UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        SetWindowPos(outer(i), nullptr, px(c.left), px(c.top), width, height, flags);
        if (panels_[i]) {
            SetWindowPos(controls_[i], nullptr, 0, 0, width, height, flags);
        }
    }
}

// The stored widths were made for a smaller font than most systems' message font, and fonts
// do not scale exactly with the DPI: a label or a check box widens to show its whole text on
// one line, as far as its holder leaves room.
int FormView::fitted_width(std::size_t index) const {
    const Control& c = form_.controls()[index];
    const int stored = twips_to_pixels(c.width);
    if (c.kind != ControlKind::Label && c.kind != ControlKind::CheckBox) {
        return stored;
    }
    const int holder_width = c.holder ? form_.control(*c.holder).width : kClientWidthTwips;
    // Keep clear of the frame's right edge by as much as the boxes keep from its left.
    const int room = twips_to_pixels(holder_width - c.left - c.left / 3);
    // Two blanks to spare, since a control's own drawing may come out wider than the measure.
    int needed = text_width(controls_[index], font_.get(), shown_text(c) + L"  ");
    if (c.kind == ControlKind::CheckBox) {
        needed += MulDiv(kCheckMarkPixels, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
    }
    return std::max(stored, std::min(needed, room));
}

int FormView::twips_to_pixels(int twips) const {
    return MulDiv(twips, static_cast<int>(dpi_), kTwipsPerInch);
}

RECT FormView::window_rect_for_client() const {
    return window_rect_for(
        window_, {twips_to_pixels(kClientWidthTwips), twips_to_pixels(kClientHeightTwips)}, dpi_);
}

void FormView::center_on_screen() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;
    const RECT rect = window_rect_for_client();
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Brings every control in line with the model: caption, tick, whether it is enabled, and
// visibility.
void FormView::sync() {
    const auto& model = form_.controls();
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const Control& c = model[i];
        const std::wstring text = shown_text(c);
        if (window_text(controls_[i]) != text) {
            SetWindowTextW(controls_[i], text.c_str());
        }
        if (c.kind == ControlKind::CheckBox) {
            const WPARAM check = c.value == 1 ? BST_CHECKED : BST_UNCHECKED;
            if (static_cast<WPARAM>(SendMessageW(controls_[i], BM_GETCHECK, 0, 0)) != check) {
                SendMessageW(controls_[i], BM_SETCHECK, check, 0);
            }
        }
        if (c.kind == ControlKind::Button) {
            show_as_default(controls_[i], c.id == form_.action_button());
        }
        if ((IsWindowEnabled(controls_[i]) != FALSE) != c.enabled) {
            EnableWindow(controls_[i], c.enabled ? TRUE : FALSE);
        }
        const HWND shown = outer(i);
        const bool visible = (GetWindowLongPtrW(shown, GWL_STYLE) & WS_VISIBLE) != 0;
        if (visible != c.visible) {
            ShowWindow(shown, c.visible ? SW_SHOWNA : SW_HIDE);
        }
    }
    // Painted now, not at the next turn of the message loop: a box about to open must show
    // over the state it talks about.
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void FormView::show_as_default(HWND button, bool is_default) {
    const LONG_PTR type = is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if ((GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) != type) {
        SendMessageW(button, BM_SETSTYLE, static_cast<WPARAM>(type), TRUE);
    }
}

} // namespace win32
