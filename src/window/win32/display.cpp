#include "window/win32/display.h"

namespace win32 {
namespace {

// Functions of newer Windows versions, looked up at run time so that the program still starts
// on Windows 7, which lacks them.
template <class Function> Function user32_function(const char* name) {
    const FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// The device context of a window, or of the screen for null.
class WindowDc {
public:
    explicit WindowDc(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() { ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

int system_dpi() {
    return GetDeviceCaps(WindowDc().get(), LOGPIXELSY);
}

} // namespace

UINT window_dpi(HWND window) {
    static const auto get_dpi_for_window = user32_function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (get_dpi_for_window) {
        if (const UINT dpi = get_dpi_for_window(window)) {
            return dpi;
        }
    }
    return static_cast<UINT>(system_dpi());
}

UniqueGdiObject message_font(UINT dpi) {
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto parameters_for_dpi = user32_function<ForDpi>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!parameters_for_dpi ||
        !parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        // These metrics are for the system's DPI; the window may be on a monitor with another.
        LONG& height = metrics.lfMessageFont.lfHeight;
        height = MulDiv(height, static_cast<int>(dpi), system_dpi());
    }
    return UniqueGdiObject(CreateFontIndirectW(&metrics.lfMessageFont));
}

int text_width(HWND window, HGDIOBJ font, const std::wstring& text) {
    const WindowDc dc(window);
    const HGDIOBJ previous = SelectObject(dc.get(), font);
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc.get(), previous);
    return size.cx;
}

RECT window_rect_for(HWND window, SIZE client, UINT dpi) {
    RECT rect{0, 0, client.cx, client.cy};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    using ForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust_for_dpi = user32_function<ForDpi>("AdjustWindowRectExForDpi");
    if (!adjust_for_dpi || !adjust_for_dpi(&rect, style, FALSE, ex_style, dpi)) {
        AdjustWindowRectEx(&rect, style, FALSE, ex_style);
    }
    return rect;
}

bool high_contrast_on() {
    HIGHCONTRASTW settings{};
    settings.cbSize = sizeof settings;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, settings.cbSize, &settings, 0) &&
           (settings.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF note_colour(bool high_contrast) {
    return high_contrast ? GetSysColor(COLOR_BTNTEXT) : RGB(255, 0, 0);
}

} // namespace win32
