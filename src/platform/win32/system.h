// The platform family, the system's folders and the shell's special folders.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <windows.h>

namespace win32 {

// The named object whose existence means that a cleaning runs in this logon session.
inline constexpr wchar_t kCleaningLockName[] = L"Local\\VESK Cleaning Wizard - cleaning";

class System final : public platform::System {
public:
    // owner gives the window that owns the shell's look-ups (none before the window exists).
    explicit System(std::function<HWND()> owner = {}) : owner_(std::move(owner)) {}

    std::string windows_directory() override;
    std::string system_directory() override;
    std::optional<std::string> special_folder(int csidl) override;
    bool runs_as_system_account() override;
    std::unique_ptr<platform::CleaningLock> lock_cleaning() override;

private:
    std::function<HWND()> owner_;
};

} // namespace win32
