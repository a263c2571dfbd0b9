// What a run over every profile needs from the system, against the real Windows API under Wine:
// a profile's lock that every other process finds taken, and a process told apart from a later
// one under the same id.
#include "platform/win32/handles.h"
#include "platform/win32/system.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

constexpr const char* kSid = "S-1-5-21-0-0-0-4711";

std::wstring lock_name(std::string_view sid) {
    return win32::kProfileLockPrefix + std::wstring(sid.begin(), sid.end());
}

TEST(ProfileLockTest, OneHolderForEachProfileUntilItGoesAndANameMadeFirstCountsAsTaken) {
    win32::System system;
    {
        const auto lock = system.lock_profile(kSid);
        ASSERT_NE(lock, nullptr);
        EXPECT_EQ(system.lock_profile(kSid), nullptr) << "not twice, not even to its holder";
        EXPECT_NE(system.lock_profile("S-1-5-21-0-0-0-4712"), nullptr) << "another profile's";
    }
    EXPECT_NE(system.lock_profile(kSid), nullptr) << "free again once it went";

    // Made by any other program, in any session: the machine's namespace has it.
    const win32::UniqueHandle other(CreateMutexW(nullptr, FALSE, lock_name(kSid).c_str()));
    ASSERT_TRUE(other);
    EXPECT_EQ(system.lock_profile(kSid), nullptr);
}

TEST(ProcessIdTest, AProcessRunsUntilItEndsAndItsIdAloneDoesNotNameIt) {
    win32::System system;
    const platform::ProcessId self = system.this_process();
    EXPECT_EQ(self.id, GetCurrentProcessId());
    EXPECT_TRUE(system.still_runs(self));
    EXPECT_FALSE(system.still_runs({self.id, self.started + 1})) << "another process's start";

    std::wstring command = L"cmd.exe /c exit 0";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                               &started));
    win32::UniqueHandle process(started.hProcess);
    const win32::UniqueHandle thread(started.hThread);
    FILETIME created{};
    FILETIME ended{};
    FILETIME kernel{};
    FILETIME user{};
    ASSERT_TRUE(GetProcessTimes(process.get(), &created, &ended, &kernel, &user));
    const platform::ProcessId child{started.dwProcessId,
                                    (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) |
                                        created.dwLowDateTime};
    EXPECT_TRUE(system.still_runs(child)) << "suspended, but there";

    ASSERT_TRUE(TerminateProcess(process.get(), 1));
    ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(system.still_runs(child)) << "ended, while a handle to it is still open";
    process.reset();
    EXPECT_FALSE(system.still_runs(child)) << "ended and gone";
}

} // namespace
