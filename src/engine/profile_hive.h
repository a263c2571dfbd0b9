// The registry hives of the profiles a run works in: a profile's own where its user is logged
// on, or one the program loads from the profile's NTUSER.DAT, named after the process that
// loaded it, so that another run can tell whether that process still runs.
#pragma once

#include "operations/profile.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <vector>

// A hive under HKEY_USERS that a run of the program loaded, and the run's process: nullopt for
// an earlier version's, which did not say.
struct HiveOfOurs {
    std::string name;
    std::string sid;
    std::optional<platform::ProcessId> loader;
};
std::vector<HiveOfOurs> hives_of_ours(platform::Registry& registry);
bool loader_runs(const HiveOfOurs& hive, platform::System& system);
// Unloads the hive, trying again for a while when keys of it are still open elsewhere; the
// reason when it stays loaded.
std::optional<std::string> unload_hive_trying(platform::Registry& registry,
                                              platform::System& system, const std::string& name);

// A profile's hive for its part of a run. A hive that is loaded already (its user is logged on,
// or it is the running user's) is used where it is; any other is loaded from the profile's
// NTUSER.DAT under a name of the program's own that names this process, and unloaded again by
// release() - or, should the caller never get there, when the object goes. A hive that another
// run loaded is never touched: while one is there, this profile's hive cannot be had.
class ProfileHive {
public:
    ProfileHive(platform::Registry& registry, platform::System& system, const Profile& profile);
    ~ProfileHive();
    ProfileHive(const ProfileHive&) = delete;
    ProfileHive& operator=(const ProfileHive&) = delete;

    // Why the hive cannot be had; nullopt when it can.
    const std::optional<std::string>& failure() const { return failure_; }
    // The hive's name under HKEY_USERS.
    const std::string& name() const { return name_; }
    // Unloads a hive that was loaded for the run (see unload_hive_trying); the reason when it
    // stays loaded.
    std::optional<std::string> release();

private:
    platform::Registry& registry_;
    platform::System& system_;
    std::string name_;
    bool loaded_by_us_ = false;
    std::optional<std::string> failure_;
};
