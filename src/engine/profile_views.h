// A profile's part of a run sees the machine through these: its user's registry keys in the
// profile's hive, its folders in the profile's folder.
#pragma once

#include "operations/profile.h"
#include "platform/platform.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The registry as one profile's part of a run sees it: the user's keys are the keys of that
// profile's hive under HKEY_USERS\<hive>; every other root is the machine's own.
class ProfileRegistry final : public platform::Registry {
public:
    ProfileRegistry(platform::Registry& machine, std::string hive)
        : machine_(machine), hive_(std::move(hive)) {}

    std::unique_ptr<platform::RegistryKey> open_key(platform::RegistryRoot root,
                                                    std::string_view path,
                                                    platform::RegistryAccess access,
                                                    platform::RegistryView view) override;
    platform::OpenedKey open_unlinked(platform::RegistryRoot root, std::string_view path,
                                      platform::RegistryAccess access) override;
    std::optional<std::string> load_hive(std::string_view name, std::string_view file) override;
    std::optional<std::string> unload_hive(std::string_view name) override;

private:
    struct Place {
        platform::RegistryRoot root;
        std::string path;
    };
    Place place_of(platform::RegistryRoot root, std::string_view path) const;

    platform::Registry& machine_;
    std::string hive_;
};

// The system as one profile's part of a run sees it: the profile's folder and its local
// application-data folder are the profile's; everything else is the machine's. The running
// user's own are the shell's, which knows them better (they may have been moved).
class ProfileSystem final : public platform::System {
public:
    ProfileSystem(platform::System& machine, const Profile& profile);

    std::string windows_directory() override { return machine_.windows_directory(); }
    std::string system_directory() override { return machine_.system_directory(); }
    std::optional<std::string> special_folder(int csidl) override;
    bool runs_as_system_account() override { return machine_.runs_as_system_account(); }
    bool may_clean_every_profile() override { return machine_.may_clean_every_profile(); }
    std::string current_user_sid() override { return machine_.current_user_sid(); }
    std::string account_name(std::string_view sid) override { return machine_.account_name(sid); }
    std::string expand_environment(std::string_view text) override {
        return machine_.expand_environment(text);
    }
    void pause(unsigned milliseconds) override { machine_.pause(milliseconds); }
    platform::UtcTime utc_now() override { return machine_.utc_now(); }
    std::string computer_name() override { return machine_.computer_name(); }
    std::string user_name() override { return machine_.user_name(); }
    std::unique_ptr<platform::CleaningLock> lock_cleaning() override {
        return machine_.lock_cleaning();
    }
    std::unique_ptr<platform::CleaningLock> lock_profile(std::string_view sid) override {
        return machine_.lock_profile(sid);
    }
    platform::ProcessId this_process() override { return machine_.this_process(); }
    bool still_runs(const platform::ProcessId& process) override {
        return machine_.still_runs(process);
    }

private:
    platform::System& machine_;
    std::optional<std::string> profile_folder_;
};
