// Crossing the Windows boundary: UTF-8 inside, UTF-16 for the wide functions, the ANSI code
// page for the cleaning log alone.
#pragma once

#include <string>
#include <string_view>
#include <windows.h>

namespace win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);
std::string ansi_from_utf8(std::string_view utf8);
std::string utf8_from_ansi(std::string_view ansi);

// The system's description of an error code, without its trailing line break.
std::string error_text(DWORD code);

// The path in the form the wide file functions take beyond MAX_PATH: "\\?\C:\..." or
// "\\?\UNC\server\...". Short paths and paths that are not full stay as they are.
std::wstring file_path(std::string_view utf8);

} // namespace win32
