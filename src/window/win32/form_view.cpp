#include "window/win32/form_view.h"

#include "platform/win32/text.h"
#include "window/win32/display.h"

#include <algorithm>
#include <vector>

namespace win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"VeskCleaningWizard";
constexpr wchar_t kPanelClass[] = L"VeskPanel";
constexpr int kTwipsPerInch = 1440;
// Control ids start above IDOK and IDCANCEL, which the dialog manager sends for Enter (when no
// default button is named) and Escape: neither may be taken for a control's click.
constexpr int kFirstControlId = 100;
constexpr UINT kEndMessage = WM_APP;
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

FormView::FormView(Form1& form, UserInterface& ui, RunWorker& worker, HINSTANCE instance,
                   HICON icon)
    : form_(form), ui_(ui), worker_(worker), controls_(form.controls().size()),
      panels_(form.controls().size()) {
    register_classes(instance, icon, window_proc);
    CreateWindowExW(0, kWindowClass, wide(kFormCaption).c_str(),
                    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
                    CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
    if (!window_) {
        throw platform::Failure(error_text(GetLastError()));
    }
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
}

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
    if (form_.ended()) {
        // "Done" ends without the closing handler. The window goes as soon as the button that
        // reported the click has returned: destroying it under the button's own handler would
        // leave the button working on freed state.
        ShowWindow(window_, SW_HIDE);
        PostMessageW(window_, kEndMessage, 0, 0);
        return;
    }
    sync();
}

void FormView::on_close() {
    // During a run the model stops it at its next item boundary; the window goes once the
    // handler that started the run has returned.
    if (form_.running()) {
        form_.close();
        return;
    }
    // While a handler shows a box, the closing waits for nothing: it is refused, so that the
    // handler never finds its log closed under it.
    if (busy_) {
        return;
    }
    busy_ = true;
    form_.close();
    busy_ = false;
    DestroyWindow(window_);
}

// The session ends once this returns: a run under way is stopped, and waited for, so that no
// item is left half-done and the log ends with the stop.
void FormView::on_end_session() {
    if (form_.running()) {
        form_.close();
        worker_.wait_for_end();
        return;
    }
    on_close();
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

void FormView::show_as_default(HWND button, bool is_default) {
    const LONG_PTR type = is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if ((GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) != type) {
        SendMessageW(button, BM_SETSTYLE, static_cast<WPARAM>(type), TRUE);
    }
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

LRESULT CALLBACK FormView::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* view =
            static_cast<FormView*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        view->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    auto* view = reinterpret_cast<FormView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!view) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return view->handle(message, wparam, lparam);
}

LRESULT FormView::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
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
        // A plain window does not keep its focused control across deactivation as a dialog
        // does.
        if (LOWORD(wparam) == WA_INACTIVE) {
            saved_focus_ = GetFocus();
        } else if (saved_focus_ && IsChild(window_, saved_focus_)) {
            SetFocus(saved_focus_);
        } else {
            SetFocus(controls_[static_cast<std::size_t>(ControlId::Command1)]);
        }
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
        apply_dpi(HIWORD(wparam));
        const RECT rect = window_rect_for_client();
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, rect.right - rect.left,
                     rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
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
        ui_.set_owner(nullptr);
        ui_.set_refresh({});
        worker_.detach();
        PostQuitMessage(0);
        return 0;
    case kEndMessage:
        DestroyWindow(window_);
        return 0;
    case WM_NCDESTROY: {
        const HWND window = window_;
        window_ = nullptr;
        return DefWindowProcW(window, message, wparam, lparam);
    }
    default:
        break;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}

} // namespace win32
