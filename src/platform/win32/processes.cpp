#include "platform/win32/processes.h"

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

#include <vector>
#include <windows.h>

namespace win32 {
namespace {

// False when the wait was called off while the program still ran; a program that has ended
// counts as finished even when the call-off came at the same time.
bool wait_for_end(HANDLE process, HANDLE call_off) {
    if (!call_off) {
        WaitForSingleObject(process, INFINITE);
        return true;
    }
    const HANDLE handles[] = {process, call_off};
    return WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1;
}

} // namespace

platform::ProcessResult Processes::run_and_wait(std::string_view application,
                                                std::string_view command_line) {
    // The application is named in full so that no program found first on the search path
    // (beside the wizard, in the current folder) can run in the tool's place.
    const std::wstring program = wide(application);
    std::wstring line = wide(command_line);
    std::vector<wchar_t> mutable_line(line.begin(), line.end());
    mutable_line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD flags = 0;
    if (show_ == Show::Minimised) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINIMIZED;
    } else {
        flags = CREATE_NO_WINDOW;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), mutable_line.data(), nullptr, nullptr, FALSE, flags,
                        nullptr, nullptr, &startup, &process)) {
        return {false, error_text(GetLastError()), 0};
    }
    const UniqueHandle process_handle(process.hProcess);
    const UniqueHandle thread_handle(process.hThread);
    if (!wait_for_end(process_handle.get(), call_off_)) {
        return {true, {}, 0, false};
    }
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(process_handle.get(), &exit_code)) {
        return {false, error_text(GetLastError()), 0};
    }
    return {true, {}, exit_code};
}

} // namespace win32
