// What the window needs to know of the display at its DPI: the DPI itself, the message font,
// text extents and the window size for a client area; and the colours of a high-contrast theme.
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
// Whether the user has turned on a high-contrast theme.
bool high_contrast_on();
// The text colour of the window's notes: red, or on a high-contrast theme the theme's own text
// colour, since red may not stand out from the theme's background.
COLORREF note_colour(bool high_contrast);

} // namespace win32
