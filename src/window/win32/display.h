// What the window needs to know of the display at its DPI: the DPI itself, the message font,
// text extents and the window size for a client area.
#pragma once

#include "platform/win32/handles.h"

#include <string>
#include <windows.h>

namespace win32 {

// The DPI of the monitor the window is on (per-monitor awareness), else the system's.
UINT window_dpi(HWND window);
// The system's message font at that DPI; the caller owns it.
UniqueGdiObject message_font(UINT dpi);
// The width in pixels of text drawn in the window with that font.
int text_width(HWND window, HGDIOBJ font, const std::wstring& text);
// The window rectangle, at the origin, of a window of that style whose client area has the
// given size.
RECT window_rect_for(HWND window, SIZE client, UINT dpi);

} // namespace win32
