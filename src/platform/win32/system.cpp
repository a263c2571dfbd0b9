#include "platform/win32/system.h"

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

#include <cstdint>
#include <sddl.h>
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

std::uint64_t as_number(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The process token's information of that class, or an empty buffer when it cannot be had.
std::vector<std::uint8_t> token_information(TOKEN_INFORMATION_CLASS kind) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return {};
    }
    const UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), kind, nullptr, 0, &size);
    std::vector<std::uint8_t> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), kind, buffer.data(), size, &size)) {
        return {};
    }
    return buffer;
}

// The user the process runs as, or null when the token cannot be read.
PSID token_user(const std::vector<std::uint8_t>& buffer) {
    return buffer.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
}

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

// An administrator's token that is not elevated holds the group for denying only, and
// CheckTokenMembership does not count it.
bool runs_as_elevated_administrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID raw = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &raw)) {
        return false;
    }
    const std::unique_ptr<void, decltype(&FreeSid)> administrators(raw, &FreeSid);
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, administrators.get(), &member) && member;
}

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
    const PSID user = token_user(token_information(TokenUser));
    return user && IsWellKnownSid(user, WinLocalSystemSid) != FALSE;
}

bool System::may_clean_every_profile() {
    return runs_as_system_account() || runs_as_elevated_administrator();
}

std::string System::current_user_sid() {
    const std::vector<std::uint8_t> buffer = token_information(TokenUser);
    wchar_t* raw = nullptr;
    if (!token_user(buffer) || !ConvertSidToStringSidW(token_user(buffer), &raw)) {
        return {};
    }
    const std::unique_ptr<wchar_t, LocalFreer> text(raw);
    return utf8(text.get());
}

std::string System::account_name(std::string_view sid) {
    PSID raw = nullptr;
    if (!ConvertStringSidToSidW(wide(sid).c_str(), &raw)) {
        return {};
    }
    const std::unique_ptr<void, LocalFreer> binary(raw);
    std::vector<wchar_t> name(256);
    std::vector<wchar_t> domain(256);
    auto name_size = static_cast<DWORD>(name.size());
    auto domain_size = static_cast<DWORD>(domain.size());
    SID_NAME_USE use{};
    if (!LookupAccountSidW(nullptr, binary.get(), name.data(), &name_size, domain.data(),
                           &domain_size, &use)) {
        return {};
    }
    const std::string account = utf8(name.data());
    return domain[0] == L'\0' ? account : utf8(domain.data()) + "\\" + account;
}

void System::pause(unsigned milliseconds) {
    Sleep(milliseconds);
}

std::unique_ptr<platform::CleaningLock> System::lock_cleaning() {
    auto handle = UniqueHandle(CreateMutexW(nullptr, FALSE, kCleaningLockName));
    // A mutex that exists already is another cleaning's: ours would only be a second handle.
    if (!handle || GetLastError() == ERROR_ALREADY_EXISTS) {
        return nullptr;
    }
    return std::make_unique<NamedLock>(std::move(handle));
}

std::unique_ptr<platform::CleaningLock> System::lock_profile(std::string_view sid) {
    // The system account and the administrators may do anything with it, nobody else anything:
    // nobody can keep it alive past its run by opening it. A run that finds it learns that it is
    // taken from the refusal as from a second handle. A standard user can still make the name
    // first and hold it; that keeps one profile from being cleaned until it lets go, and the run
    // it meets names the profile and fails. Nothing more is to be had from it.
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;SY)(A;;GA;;;BA)",
                                                              SDDL_REVISION_1, &raw, nullptr)) {
        return nullptr;
    }
    const std::unique_ptr<void, LocalFreer> descriptor(raw);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    const std::wstring name = kProfileLockPrefix + wide(sid);
    auto handle = UniqueHandle(CreateMutexW(&attributes, FALSE, name.c_str()));
    if (!handle || GetLastError() == ERROR_ALREADY_EXISTS) {
        return nullptr;
    }
    return std::make_unique<NamedLock>(std::move(handle));
}

platform::ProcessId System::this_process() {
    FILETIME created{};
    FILETIME ended{};
    FILETIME kernel{};
    FILETIME user{};
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    return {GetCurrentProcessId(), as_number(created)};
}

bool System::still_runs(const platform::ProcessId& process) {
    const UniqueHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process.id));
    if (!handle) {
        // No process has the id any more; any other refusal leaves it unknown.
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    FILETIME created{};
    FILETIME ended{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(handle.get(), &created, &ended, &kernel, &user)) {
        return true;
    }
    if (as_number(created) != process.started) {
        return false; // the id has gone to another process
    }
    // Ended, but somebody still holds a handle to it. A process that ends with the code that
    // means "still active" counts as running: the safe side.
    DWORD code = 0;
    return !GetExitCodeProcess(handle.get(), &code) || code == STILL_ACTIVE;
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
