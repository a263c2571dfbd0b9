#include "platform/win32/system.h"

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

#include <shlobj.h>
#include <vector>

namespace win32 {
namespace {

// Calls a GetXxxDirectoryW-style function, again with the size it asks for when the first
// buffer is too small. Empty when the call fails.
template <class Getter> std::string directory_from(Getter get) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const UINT length = get(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return utf8(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(length + 1);
    }
    return {};
}

// Calls a GetXxxNameW-style function, which takes the buffer's size and sets it to the length
// written, or to the size it needs. Throws Failure when the call fails.
template <class Getter> std::string name_from(Getter get) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto size = static_cast<DWORD>(buffer.size());
        if (get(buffer.data(), &size)) {
            // GetUserNameW counts the terminating NUL, GetComputerNameW does not.
            return utf8(buffer.data());
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_BUFFER_OVERFLOW && error != ERROR_INSUFFICIENT_BUFFER &&
             error != ERROR_MORE_DATA) ||
            size <= buffer.size()) {
            throw platform::Failure(error_text(error));
        }
        buffer.resize(size + 1);
    }
    throw platform::Failure(error_text(ERROR_INSUFFICIENT_BUFFER));
}

// Lives as long as a handle to it is open: a cleaning that ends, or a program that is killed,
// lets go of it, and no thread owns it.
class NamedLock final : public platform::CleaningLock {
public:
    explicit NamedLock(UniqueHandle handle) : handle_(std::move(handle)) {}

private:
    UniqueHandle handle_;
};

} // namespace

std::string System::windows_directory() {
    return directory_from(
        [](wchar_t* buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); });
}

std::string System::system_directory() {
    return directory_from(
        [](wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); });
}

std::optional<std::string> System::special_folder(int csidl) {
    ITEMIDLIST* raw = nullptr;
    // No owner window: the shell asks for it only to show a box, and a run's thread must not
    // hand it the window's, which belongs to another thread that may be waiting for this one.
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &raw))) {
        return std::nullopt;
    }
    const UniquePidl list(raw);
    // Long enough for any path the shell can give; SHGetPathFromIDListW assumes MAX_PATH.
    std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
    if (!SHGetPathFromIDListW(list.get(), buffer.data())) {
        return std::nullopt;
    }
    return utf8(buffer.data());
}

bool System::runs_as_system_account() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return false;
    }
    const UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<std::uint8_t> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return false;
    }
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    return IsWellKnownSid(user->User.Sid, WinLocalSystemSid) != FALSE;
}

std::unique_ptr<platform::CleaningLock> System::lock_cleaning() {
    auto handle = UniqueHandle(CreateMutexW(nullptr, FALSE, kCleaningLockName));
    // A mutex that exists already is another cleaning's: ours would only be a second handle.
    if (!handle || GetLastError() == ERROR_ALREADY_EXISTS) {
        return nullptr;
    }
    return std::make_unique<NamedLock>(std::move(handle));
}

platform::UtcTime System::utc_now() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string System::computer_name() {
    return name_from([](wchar_t* buffer, DWORD* size) { return GetComputerNameW(buffer, size); });
}

std::string System::user_name() {
    return name_from([](wchar_t* buffer, DWORD* size) { return GetUserNameW(buffer, size); });
}

std::string System::expand_environment(std::string_view text) {
    const std::wstring source = wide(text);
    std::vector<wchar_t> buffer(source.size() + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        // The size asked for counts the terminating NUL; the environment may grow meanwhile.
        const DWORD needed = ExpandEnvironmentStringsW(source.c_str(), buffer.data(),
                                                       static_cast<DWORD>(buffer.size()));
        if (needed == 0) {
            throw platform::Failure(error_text(GetLastError()));
        }
        if (needed <= buffer.size()) {
            return utf8(buffer.data());
        }
        buffer.resize(needed);
    }
    throw platform::Failure(error_text(ERROR_INSUFFICIENT_BUFFER));
}

} // namespace win32
