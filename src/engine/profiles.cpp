#include "engine/profiles.h"

#include "operations/folder_rules.h"
#include "platform/registry_values.h"
#include "platform/text.h"

#include <algorithm>

namespace {

// What every entry of a user's in ProfileList begins with, whatever follows.
constexpr std::string_view kUsersAuthority = "S-1-5-21";

// A user whose own profile fails to load gets one of these for the session's time.
bool is_temporary(std::string_view leaf) {
    return platform::iequals(leaf, "TEMP") ||
           (leaf.size() >= 5 && platform::iequals(leaf.substr(0, 5), "TEMP."));
}

// Reads the folder ProfileList names for sid into folder, as far as it gets; why the profile is
// left out, or nullopt when its folder is one to clean.
std::optional<std::string> read_folder(const platform::Platform& os, const std::string& sid,
                                       std::string& folder) {
    const auto key = os.registry.open_key(
        platform::RegistryRoot::LocalMachine, std::string(kProfileList) + "\\" + sid,
        platform::RegistryAccess::QueryValue, platform::RegistryView::Native);
    const auto value = key ? key->query_value("ProfileImagePath") : std::nullopt;
    if (!value || !platform::holds_text(*value)) {
        return "it names no folder";
    }
    folder = platform::text_of(*value);
    if (value->type == platform::kRegExpandSz) {
        try {
            folder = os.system.expand_environment(folder);
        } catch (const platform::Failure& failure) {
            return "its folder cannot be expanded (" + std::string(failure.what()) + ")";
        }
    }
    while (folder.size() > 3 && folder.back() == '\\') {
        folder.pop_back();
    }
    if (!is_plain_folder_path(folder)) {
        return "its folder is not a full path";
    }
    if (is_temporary(std::string_view(folder).substr(folder.rfind('\\') + 1))) {
        return "a temporary profile";
    }
    if (!platform::finds_entry(os.files, folder, platform::Lookup::FoldersIncluded)) {
        return "its folder does not exist";
    }
    return std::nullopt;
}

void add_listed_profiles(const platform::Platform& os, const std::string& own_sid,
                         MachineProfiles& found) {
    const auto list =
        os.registry.open_key(platform::RegistryRoot::LocalMachine, kProfileList,
                             platform::RegistryAccess::Default, platform::RegistryView::Native);
    if (!list) {
        return;
    }
    for (std::uint32_t index = 0;; ++index) {
        const platform::SubkeyEntry entry = list->enum_subkey(index, platform::kMaxKeyNameChars);
        if (entry.status == platform::EnumStatus::NameTooLong) {
            continue;
        }
        if (entry.status != platform::EnumStatus::Found) {
            return;
        }
        // Service accounts' entries are nobody's who used the suite; a user's is said.
        if (!platform::iequals(std::string_view(entry.name).substr(0, kUsersAuthority.size()),
                               kUsersAuthority)) {
            continue;
        }
        const bool own = platform::iequals(entry.name, own_sid);
        Profile profile{entry.name, {}, os.system.account_name(entry.name), own};
        const std::optional<std::string> why = is_user_sid(entry.name)
                                                   ? read_folder(os, entry.name, profile.folder)
                                                   : "its name is not a user's SID";
        if (!why) {
            found.profiles.push_back(std::move(profile));
        } else if (!own) {
            // The running user's own is cleaned all the same, in the folder its session has.
            found.left_out.push_back({std::move(profile), *why});
        }
    }
}

} // namespace

MachineProfiles find_profiles(const platform::Platform& os) {
    const std::string own_sid = os.system.current_user_sid();
    MachineProfiles found;
    add_listed_profiles(os, own_sid, found);
    if (is_user_sid(own_sid) && std::ranges::none_of(found.profiles, &Profile::own)) {
        found.profiles.push_back({own_sid,
                                  os.system.special_folder(platform::kCsidlProfile).value_or(""),
                                  os.system.account_name(own_sid), true});
    }
    return found;
}

std::string key_root_of(const Profile& profile) {
    return "HKEY_USERS\\" + profile.sid + "\\";
}

std::string profile_name(const Profile& profile) {
    std::string name = profile.user;
    if (!profile.folder.empty()) {
        name += (name.empty() ? "" : ", ") + profile.folder;
    }
    return name.empty() ? profile.sid : name + " (" + profile.sid + ")";
}

std::string profile_line(const Profile& profile) {
    return "Profile: " + profile_name(profile);
}

std::string left_out_line(const LeftOutProfile& left_out) {
    return "Profile left out: " + profile_name(left_out.profile) + ": " + left_out.why;
}
