#include "platform/win32/text.h"

namespace win32 {
namespace {

std::wstring to_wide(std::string_view text, UINT code_page) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string from_wide(std::wstring_view text, UINT code_page, DWORD flags) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(
        code_page, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(code_page, flags, text.data(), static_cast<int>(text.size()), out.data(),
                        size, nullptr, nullptr);
    return out;
}

} // namespace

std::wstring wide(std::string_view utf8_text) {
    return to_wide(utf8_text, CP_UTF8);
}
std::string utf8(std::wstring_view text) {
    return from_wide(text, CP_UTF8, 0);
}
std::string ansi_from_utf8(std::string_view utf8_text) {
    // Best fit would log a name the code page lacks as the name of another file ("Omega" for
    // "Ωμέγα"); the default character marks what could not be written instead.
    return from_wide(wide(utf8_text), CP_ACP, WC_NO_BEST_FIT_CHARS);
}
std::string utf8_from_ansi(std::string_view ansi) {
    return utf8(to_wide(ansi, CP_ACP));
}

std::string error_text(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "Error " + std::to_string(code);
    }
    return utf8(text);
}

std::wstring file_path(std::string_view utf8_text) {
    std::wstring path = wide(utf8_text);
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) {
        return path;
    }
    const bool share = path.rfind(L"\\\\", 0) == 0;
    const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
    if (!share && !drive) {
        return path;
    }
    // The prefixed form is taken literally, so the doubled backslashes that the short form
    // forgives are folded here.
    std::wstring folded;
    for (std::size_t i = share ? 2 : 0; i < path.size(); ++i) {
        if (path[i] == L'\\' && !folded.empty() && folded.back() == L'\\') {
            continue;
        }
        folded += path[i];
    }
    return share ? L"\\\\?\\UNC\\" + folded : L"\\\\?\\" + folded;
}

} // namespace win32
