#include "support.h"

#include "platform/win32/handles.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace bench {

double seconds_now() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> samples) {
    check(!samples.empty(), "a median of no samples");
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

void check(bool condition, const std::string& what) {
    if (!condition) {
        throw std::runtime_error(what);
    }
}

ChildRun run_child(const std::wstring& command_line) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto null_device = win32::adopt_handle(
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    check(null_device != nullptr, "cannot open NUL");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = null_device.get();
    PROCESS_INFORMATION process{};
    std::wstring writable = command_line;
    const double start = seconds_now();
    check(CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &process) != 0,
          "cannot start a child process");
    const win32::UniqueHandle process_handle(process.hProcess);
    const win32::UniqueHandle thread_handle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    ChildRun run;
    run.seconds = seconds_now() - start;
    GetExitCodeProcess(process.hProcess, &run.exit_code);
    return run;
}

void make_folder(const std::wstring& path) {
    check(CreateDirectoryW(path.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS,
          "cannot create a scratch folder");
}

void make_file(const std::wstring& path) {
    static const char kContent[] = "scratch data of the benchmark, to be deleted\r\n";
    const auto file = win32::adopt_handle(CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    check(file != nullptr, "cannot create a scratch file");
    DWORD written = 0;
    check(WriteFile(file.get(), kContent, sizeof kContent - 1, &written, nullptr) != 0,
          "cannot write a scratch file");
}

TreeCount count_tree(const std::wstring& folder) {
    TreeCount count;
    std::vector<std::wstring> pending{folder};
    while (!pending.empty()) {
        const std::wstring current = std::move(pending.back());
        pending.pop_back();
        WIN32_FIND_DATAW data{};
        const auto search = win32::adopt_find(FindFirstFileW((current + L"\\*").c_str(), &data));
        if (!search) {
            continue;
        }
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                ++count.folders;
                pending.push_back(current + L"\\" + name);
            } else {
                ++count.files;
            }
        } while (FindNextFileW(search.get(), &data));
    }
    return count;
}

std::wstring numbered(const wchar_t* format, int number) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, format, number);
    return buffer;
}

} // namespace bench
