// The user profiles of a shared machine, and a run's way into each one: its registry hive under
// HKEY_USERS (loaded for the run's time when its user is not logged on) and its local
// application-data folder, where the virtual stores are.
#pragma once

#include "operations/profile.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kProfileList =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

struct MachineProfiles {
    std::vector<Profile> profiles;
    // Every user's entry of ProfileList that is not among them, with the reason.
    std::vector<LeftOutProfile> left_out;
};

// The users' profiles of ProfileList whose folder exists, in its order, and the running user's
// own (after them when it is not listed). Service accounts' profiles are not users'; a user's
// entry whose folder is temporary (Windows' "TEMP" or "TEMP.<anything>" for a user whose own
// profile failed), not a full path, or missing, is left out, as is one whose name is not a SID.
MachineProfiles find_profiles(const platform::Platform& os);

// "HKEY_USERS\<SID>\": how the log shows the profile's keys.
std::string key_root_of(const Profile& profile);

// The profile as the log names it: "DOMAIN\user, C:\Users\user (S-1-5-21-...)", without the
// parts that are not known.
std::string profile_name(const Profile& profile);
// The log's line before a profile's items.
std::string profile_line(const Profile& profile);
// The line that says why a profile is left out.
std::string left_out_line(const LeftOutProfile& left_out);
