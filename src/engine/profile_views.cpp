#include "engine/profile_views.h"

namespace {

// Below a profile's folder, where Windows keeps its local application data.
constexpr std::string_view kLocalAppData = "\\AppData\\Local";

} // namespace

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
