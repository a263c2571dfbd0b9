// The platform family, the system's folders and the shell's special folders.
#pragma once

#include "platform/platform.h"

#include <windows.h>

namespace win32 {

// The named object whose existence means that a cleaning runs in this logon session.
inline constexpr wchar_t kCleaningLockName[] = L"Local\\VESK Cleaning Wizard - cleaning";
// Followed by the SID: the named object whose existence means that a run works in that profile,
// in whichever session.
inline constexpr wchar_t kProfileLockPrefix[] = L"Global\\VESK Cleaning Wizard - profile ";

// Any thread may call it at once (see platform.h): it keeps no state and owns no window.
class System : public platform::System {
public:
    std::string windows_directory() override;
    std::string system_directory() override;
    std::optional<std::string> special_folder(int csidl) override;
    bool runs_as_system_account() override;
    bool may_clean_every_profile() override;
    std::string current_user_sid() override;
    std::string account_name(std::string_view sid) override;
    void pause(unsigned milliseconds) override;
    std::unique_ptr<platform::CleaningLock> lock_cleaning() override;
    std::unique_ptr<platform::CleaningLock> lock_profile(std::string_view sid) override;
    platform::ProcessId this_process() override;
    bool still_runs(const platform::ProcessId& process) override;
    platform::UtcTime utc_now() override;
    std::string computer_name() override;
    std::string user_name() override;
    std::string expand_environment(std::string_view text) override;
};

} // namespace win32
