// The hive privileges as two threads hold them, against the process's real token: the test's
// second thread holds them while the first lets them go.
#include "platform/win32/cross_thread.h"
#include "platform/win32/handles.h"
#include "platform/win32/privileges.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

win32::UniqueHandle own_token() {
    HANDLE raw = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw);
    return win32::UniqueHandle(raw);
}

LUID luid_of(const wchar_t* name) {
    LUID luid{};
    LookupPrivilegeValueW(nullptr, name, &luid);
    return luid;
}

bool enabled(const wchar_t* name) {
    const win32::UniqueHandle token = own_token();
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) {
        return false;
    }
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    const LUID wanted = luid_of(name);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == wanted.LowPart && entry.Luid.HighPart == wanted.HighPart) {
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return false;
}

void set_enabled(const wchar_t* name, bool on) {
    TOKEN_PRIVILEGES change{};
    change.PrivilegeCount = 1;
    change.Privileges[0].Luid = luid_of(name);
    change.Privileges[0].Attributes = on ? SE_PRIVILEGE_ENABLED : 0;
    AdjustTokenPrivileges(own_token().get(), FALSE, &change, 0, nullptr, nullptr);
}

// Both privileges switched off for the test, and put back as they were whatever happens.
class BothOff {
public:
    BothOff() {
        for (const wchar_t* name : kNames) {
            set_enabled(name, false);
        }
    }
    ~BothOff() {
        set_enabled(SE_BACKUP_NAME, backup_was_);
        set_enabled(SE_RESTORE_NAME, restore_was_);
    }
    BothOff(const BothOff&) = delete;
    BothOff& operator=(const BothOff&) = delete;

    static bool both_enabled() { return enabled(SE_BACKUP_NAME) && enabled(SE_RESTORE_NAME); }
    static bool either_enabled() { return enabled(SE_BACKUP_NAME) || enabled(SE_RESTORE_NAME); }

private:
    static constexpr const wchar_t* kNames[] = {SE_BACKUP_NAME, SE_RESTORE_NAME};
    bool backup_was_ = enabled(SE_BACKUP_NAME);
    bool restore_was_ = enabled(SE_RESTORE_NAME);
};

TEST(HivePrivilegesTest, AThreadDoneWithAHiveLeavesThemToOneStillAtItAndTheLastPutsThemBack) {
    const BothOff off;
    ASSERT_FALSE(BothOff::either_enabled());
    auto first = std::make_unique<win32::HivePrivileges>();
    win32::Event second_holds;
    win32::Event first_done;
    bool held_after_first = false;
    std::thread second([&] {
        const win32::HivePrivileges privileges;
        second_holds.set();
        WaitForSingleObject(first_done.handle(), INFINITE);
        held_after_first = BothOff::both_enabled();
    });
    WaitForSingleObject(second_holds.handle(), INFINITE);
    EXPECT_TRUE(BothOff::both_enabled());
    first.reset();
    first_done.set();
    second.join();
    EXPECT_TRUE(held_after_first);
    EXPECT_FALSE(BothOff::either_enabled());
}

} // namespace
