#include "engine/profiles.h"

#include "operations/folder_rules.h"
#include "platform/text.h"

#include <algorithm>

namespace {

constexpr std::string_view kUserSidPrefix = "S-1-5-21-";
constexpr std::string_view kHiveFile = "\\NTUSER.DAT";
constexpr std::string_view kLocalAppData = "\\AppData\\Local";
// A hive the program loads is named so that nobody takes it for a logged-on user's.
constexpr std::string_view kOwnHivePrefix = "VESK Cleaning Wizard ";
// Another program (an indexer, an antivirus scan) may hold a key of the hive for a moment.
constexpr int kUnloadTries = 20;
constexpr unsigned kUnloadPauseMs = 250;

// The profile's folder as ProfileList names it; nullopt when it names none that exists. A
// temporary profile (Windows' "TEMP" folder for a user whose own one failed) is nobody's state.
std::optional<std::string> existing_folder(const platform::Platform& os, const std::string& sid) {
    const auto key = os.registry.open_key(
        platform::RegistryRoot::LocalMachine, std::string(kProfileList) + "\\" + sid,
        platform::RegistryAccess::QueryValue, platform::RegistryView::Native);
    const auto value = key ? key->query_value("ProfileImagePath") : std::nullopt;
    if (!value || (value->type != platform::kRegSz && value->type != platform::kRegExpandSz)) {
        return std::nullopt;
    }
    std::u16string text = platform::utf16_from_le_bytes(value->data);
    text = text.substr(0, text.find(u'\0'));
    std::string folder = platform::utf8_from_utf16(text);
    if (value->type == platform::kRegExpandSz) {
        try {
            folder = os.system.expand_environment(folder);
        } catch (const platform::Failure&) {
            return std::nullopt;
        }
    }
    while (folder.size() > 3 && folder.back() == '\\') {
        folder.pop_back();
    }
    const std::string_view leaf = std::string_view(folder).substr(folder.rfind('\\') + 1);
    if (!is_plain_folder_path(folder) || platform::iequals(leaf.substr(0, 4), "TEMP") ||
        !platform::finds_entry(os.files, folder, platform::Lookup::FoldersIncluded)) {
        return std::nullopt;
    }
    return folder;
}

void add_listed_profiles(const platform::Platform& os, const std::string& own_sid,
                         std::vector<Profile>& profiles) {
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
        if (!is_user_sid(entry.name)) {
            continue;
        }
        if (auto folder = existing_folder(os, entry.name)) {
            profiles.push_back({entry.name, std::move(*folder), os.system.account_name(entry.name),
                                platform::iequals(entry.name, own_sid)});
        }
    }
}

} // namespace

bool is_user_sid(std::string_view text) {
    if (!text.starts_with(kUserSidPrefix) || text.ends_with('-')) {
        return false;
    }
    text.remove_prefix(kUserSidPrefix.size());
    bool digit_before = false;
    for (const char c : text) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit && (c != '-' || !digit_before)) {
            return false;
        }
        digit_before = digit;
    }
    return digit_before;
}

std::vector<Profile> find_profiles(const platform::Platform& os) {
    const std::string own_sid = os.system.current_user_sid();
    std::vector<Profile> profiles;
    add_listed_profiles(os, own_sid, profiles);
    if (is_user_sid(own_sid) && std::ranges::none_of(profiles, &Profile::own)) {
        profiles.push_back({own_sid, os.system.special_folder(platform::kCsidlProfile).value_or(""),
                            os.system.account_name(own_sid), true});
    }
    return profiles;
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

ProfileRegistry::Place ProfileRegistry::place_of(platform::RegistryRoot root,
                                                 std::string_view path) const {
    if (root != platform::RegistryRoot::CurrentUser) {
        return {root, std::string(path)};
    }
    return {platform::RegistryRoot::Users, path.empty() ? hive_ : hive_ + "\\" + std::string(path)};
}

std::unique_ptr<platform::RegistryKey> ProfileRegistry::open_key(platform::RegistryRoot root,
                                                                 std::string_view path,
                                                                 platform::RegistryAccess access,
                                                                 platform::RegistryView view) {
    const Place place = place_of(root, path);
    return machine_.open_key(place.root, place.path, access, view);
}

platform::OpenedKey ProfileRegistry::open_unlinked(platform::RegistryRoot root,
                                                   std::string_view path,
                                                   platform::RegistryAccess access) {
    const Place place = place_of(root, path);
    return machine_.open_unlinked(place.root, place.path, access);
}

std::optional<std::string> ProfileRegistry::load_hive(std::string_view name,
                                                      std::string_view file) {
    return machine_.load_hive(name, file);
}

std::optional<std::string> ProfileRegistry::unload_hive(std::string_view name) {
    return machine_.unload_hive(name);
}

ProfileSystem::ProfileSystem(platform::System& machine, const Profile& profile)
    : machine_(machine) {
    if (!profile.own) {
        profile_folder_ = profile.folder;
    }
}

std::optional<std::string> ProfileSystem::special_folder(int csidl) {
    if (profile_folder_ && csidl == platform::kCsidlProfile) {
        return profile_folder_;
    }
    if (profile_folder_ && csidl == platform::kCsidlLocalAppData) {
        // Appended: GCC 12 warns falsely about folder + std::string here at -O3.
        std::string folder = *profile_folder_;
        return folder.append(kLocalAppData);
    }
    return machine_.special_folder(csidl);
}

ProfileHive::ProfileHive(platform::Registry& registry, platform::System& system,
                         const Profile& profile)
    : registry_(registry), system_(system), name_(profile.sid) {
    const auto loaded = platform::check_key(registry_, platform::RegistryRoot::Users, profile.sid,
                                            platform::RegistryAccess::QueryValue);
    if (loaded.state == platform::KeyState::Present) {
        return;
    }
    name_ = std::string(kOwnHivePrefix) + profile.sid;
    // Left loaded by a run that was killed: it would keep its user from logging on.
    if (registry_
            .open_unlinked(platform::RegistryRoot::Users, name_,
                           platform::RegistryAccess::QueryValue)
            .state != platform::KeyState::Missing) {
        registry_.unload_hive(name_);
    }
    if (profile.folder.empty()) {
        failure_ = "its folder is unknown";
        return;
    }
    failure_ = registry_.load_hive(name_, profile.folder + std::string(kHiveFile));
    loaded_by_us_ = !failure_;
}

ProfileHive::~ProfileHive() {
    release();
}

std::optional<std::string> ProfileHive::release() {
    if (!loaded_by_us_) {
        return std::nullopt;
    }
    std::optional<std::string> failed;
    for (int attempt = 0; attempt < kUnloadTries; ++attempt) {
        if (attempt > 0) {
            system_.pause(kUnloadPauseMs);
        }
        failed = registry_.unload_hive(name_);
        if (!failed) {
            loaded_by_us_ = false;
            return std::nullopt;
        }
    }
    loaded_by_us_ = false;
    return failed;
}
