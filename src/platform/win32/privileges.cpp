#include "platform/win32/privileges.h"

#include "platform/win32/handles.h"

#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>
#include <windows.h>

namespace win32 {
namespace {

struct Holders {
    std::mutex mutex;
    std::size_t count = 0; // guarded by mutex
    // What the first holder changed, to be put back by the last; guarded by mutex.
    std::vector<TOKEN_PRIVILEGES> previous;
};

Holders& holders() {
    static Holders shared;
    return shared;
}

UniqueHandle process_token() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
        return nullptr;
    }
    return UniqueHandle(raw);
}

// A privilege that cannot be enabled is left as it is: the load or unload then fails with the
// system's reason.
std::vector<TOKEN_PRIVILEGES> enable_hive_privileges() {
    std::vector<TOKEN_PRIVILEGES> previous;
    const UniqueHandle token = process_token();
    if (!token) {
        return previous;
    }
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        if (!LookupPrivilegeValueW(nullptr, name, &wanted.Privileges[0].Luid)) {
            continue;
        }
        TOKEN_PRIVILEGES before{};
        DWORD size = sizeof before;
        if (AdjustTokenPrivileges(token.get(), FALSE, &wanted, sizeof before, &before, &size) &&
            GetLastError() == ERROR_SUCCESS) {
            previous.push_back(before);
        }
    }
    return previous;
}

void put_back(std::vector<TOKEN_PRIVILEGES>& previous) {
    const UniqueHandle token = process_token();
    if (!token) {
        return;
    }
    for (TOKEN_PRIVILEGES& before : previous) {
        AdjustTokenPrivileges(token.get(), FALSE, &before, 0, nullptr, nullptr);
    }
}

} // namespace

HivePrivileges::HivePrivileges() {
    Holders& shared = holders();
    const std::lock_guard lock(shared.mutex);
    if (shared.count == 0) {
        shared.previous = enable_hive_privileges();
    }
    ++shared.count;
}

HivePrivileges::~HivePrivileges() {
    Holders& shared = holders();
    const std::lock_guard lock(shared.mutex);
    if (--shared.count == 0) {
        std::vector<TOKEN_PRIVILEGES> previous = std::exchange(shared.previous, {});
        put_back(previous);
    }
}

} // namespace win32
