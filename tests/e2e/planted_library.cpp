// A library planted beside a program under a system library's name. It does nothing but leave a
// mark when a process loads it: a line "<program> loaded <this library>" appended to the file
// that VESK_PLANTED_MARK names.
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

#include <string>
#include <windows.h>

namespace {

std::wstring module_path(HMODULE module) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

void leave_mark(HMODULE self) {
    wchar_t mark_file[MAX_PATH + 1] = {};
    if (!GetEnvironmentVariableW(L"VESK_PLANTED_MARK", mark_file, MAX_PATH + 1)) {
        return;
    }
    const auto file = win32::adopt_handle(CreateFileW(mark_file, FILE_APPEND_DATA,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return;
    }
    const std::string line =
        win32::utf8(module_path(nullptr)) + " loaded " + win32::utf8(module_path(self)) + "\r\n";
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        leave_mark(self);
    }
    return TRUE;
}
