#include "engine/profile_hive.h"

#include "engine/profiles.h"
#include "platform/text.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace {

constexpr std::string_view kHiveFile = "\\NTUSER.DAT";
// A hive the program loads is named so that nobody takes it for a logged-on user's, and so that
// another run can tell whether the run that loaded it still runs:
// "VESK Cleaning Wizard <SID> <process id>.<start time>".
constexpr std::string_view kOwnHivePrefix = "VESK Cleaning Wizard ";
// Another program (an indexer, an antivirus scan) may hold a key of the hive for a moment.
constexpr int kUnloadTries = 20;
constexpr unsigned kUnloadPauseMs = 250;

// The number that text is, in decimal digits and nothing else.
std::optional<std::uint64_t> number_of(std::string_view text) {
    std::uint64_t number = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return number;
}

std::string own_hive_name(const std::string& sid, const platform::ProcessId& loader) {
    return std::string(kOwnHivePrefix) + sid + " " + std::to_string(loader.id) + "." +
           std::to_string(loader.started);
}

std::optional<HiveOfOurs> hive_of_ours(std::string_view name) {
    if (name.size() <= kOwnHivePrefix.size() ||
        !platform::iequals(name.substr(0, kOwnHivePrefix.size()), kOwnHivePrefix)) {
        return std::nullopt;
    }
    const std::string_view rest = name.substr(kOwnHivePrefix.size());
    const std::size_t blank = rest.find(' ');
    HiveOfOurs hive{std::string(name), std::string(rest.substr(0, blank)), std::nullopt};
    if (!is_user_sid(hive.sid)) {
        return std::nullopt;
    }
    if (blank == std::string_view::npos) {
        return hive;
    }
    const std::string_view loader = rest.substr(blank + 1);
    const std::size_t dot = loader.find('.');
    const auto id = number_of(loader.substr(0, dot));
    const auto started =
        dot == std::string_view::npos ? std::nullopt : number_of(loader.substr(dot + 1));
    if (!id || !started || *id > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    hive.loader = platform::ProcessId{static_cast<std::uint32_t>(*id), *started};
    return hive;
}

} // namespace

std::vector<HiveOfOurs> hives_of_ours(platform::Registry& registry) {
    std::vector<HiveOfOurs> hives;
    const auto users =
        registry.open_key(platform::RegistryRoot::Users, "", platform::RegistryAccess::Default,
                          platform::RegistryView::Native);
    for (std::uint32_t index = 0; users; ++index) {
        const platform::SubkeyEntry entry = users->enum_subkey(index, platform::kMaxKeyNameChars);
        if (entry.status == platform::EnumStatus::NameTooLong) {
            continue;
        }
        if (entry.status != platform::EnumStatus::Found) {
            break;
        }
        if (auto hive = hive_of_ours(entry.name)) {
            hives.push_back(std::move(*hive));
        }
    }
    return hives;
}

bool loader_runs(const HiveOfOurs& hive, platform::System& system) {
    return hive.loader && system.still_runs(*hive.loader);
}

std::optional<std::string> unload_hive_trying(platform::Registry& registry,
                                              platform::System& system, const std::string& name) {
    std::optional<std::string> failed;
    for (int attempt = 0; attempt < kUnloadTries; ++attempt) {
        if (attempt > 0) {
            system.pause(kUnloadPauseMs);
        }
        failed = registry.unload_hive(name);
        if (!failed) {
            return std::nullopt;
        }
    }
    return failed;
}

ProfileHive::ProfileHive(platform::Registry& registry, platform::System& system,
                         const Profile& profile)
    : registry_(registry), system_(system), name_(profile.sid) {
    const auto loaded = platform::check_key(registry_, platform::RegistryRoot::Users, profile.sid,
                                            platform::RegistryAccess::QueryValue);
    if (loaded.state == platform::KeyState::Present) {
        return;
    }
    // Its file is in use while another run's hive of it is loaded; a cleaning unloads one whose
    // run has ended before it comes here (see unload_leftover_hives).
    for (const HiveOfOurs& hive : hives_of_ours(registry_)) {
        if (platform::iequals(hive.sid, profile.sid)) {
            const std::string shown = "HKEY_USERS\\" + hive.name;
            failure_ = loader_runs(hive, system_)
                           ? "another run of the program has it loaded as " + shown
                           : "it is still loaded as " + shown +
                                 ", left by a run that ended without unloading it";
            return;
        }
    }
    if (profile.folder.empty()) {
        failure_ = "its folder is unknown";
        return;
    }
    name_ = own_hive_name(profile.sid, system_.this_process());
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
    loaded_by_us_ = false;
    return unload_hive_trying(registry_, system_, name_);
}
