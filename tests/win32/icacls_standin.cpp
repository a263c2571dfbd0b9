// Stands in for the system's icacls in the test prefix: records how it was started (its
// command line as given, the arguments as a program parses them, how its window is to be
// shown) in the file named by VESK_ICACLS_RECORD, works for the milliseconds in
// VESK_ICACLS_WAIT_MS as a large tree would keep the tool busy, and exits with the code in
// VESK_ICACLS_EXIT.
#include "platform/win32/handles.h"

#include <memory>
#include <shellapi.h>
#include <string>
#include <windows.h>

namespace {

std::wstring variable(const wchar_t* name) {
    std::wstring value(32767, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), 32767);
    value.resize(length < 32767 ? length : 0);
    return value;
}

struct LocalFreer {
    void operator()(LPWSTR* memory) const { LocalFree(memory); }
};

std::wstring what_was_given() {
    std::wstring text = GetCommandLineW();
    text += L'\n';
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreer> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count));
    for (int index = 0; arguments && index < count; ++index) {
        text += arguments.get()[index];
        text += L'\n';
    }
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    const bool told = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
    text += L"show " + (told ? std::to_wstring(startup.wShowWindow) : std::wstring(L"-")) + L'\n';
    return text;
}

} // namespace

int wmain() {
    const std::wstring record = variable(L"VESK_ICACLS_RECORD");
    if (!record.empty()) {
        const win32::UniqueHandle file =
            win32::adopt_handle(CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return 100;
        }
        const std::wstring text = what_was_given();
        DWORD written = 0;
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                  &written, nullptr);
    }
    Sleep(static_cast<DWORD>(_wtoi(variable(L"VESK_ICACLS_WAIT_MS").c_str())));
    return _wtoi(variable(L"VESK_ICACLS_EXIT").c_str());
}
