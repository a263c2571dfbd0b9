#include "operations/registry_settings.h"

#include "model/name_tables.h"
#include "operations/trapped_error.h"
#include "platform/text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// The search has always read names into a buffer of 255 characters with its terminating NUL,
// one short of the registry's longest name: a name of 255 characters is passed over.
constexpr std::size_t kSearchNameChars = platform::kMaxKeyNameChars - 1;
// KeyList's last index has always been kept in a 16-bit signed count.
constexpr long kLastKeyListIndex = 32767;
constexpr std::u32string_view kVersionedPrefix = U"vesk 4.";

std::string_view trim_blanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Leading and trailing blanks do not count, so " Vesk 4.1" qualifies too.
bool is_versioned_key(std::string_view name) {
    const std::u32string folded = platform::fold_case(trim_blanks(name));
    return folded.substr(0, kVersionedPrefix.size()) == kVersionedPrefix;
}

std::string key_path(std::string_view name) {
    return std::string(kSettingsBranch) + "\\" + std::string(name);
}

void search_branch(Context& context) {
    const auto branch = context.os.registry.open_key(
        platform::RegistryRoot::CurrentUser, kSettingsBranch, platform::RegistryAccess::Default);
    if (!branch) {
        return;
    }
    std::vector<std::string>& key_list = context.state.KeyList;
    long last_index = static_cast<long>(key_list.size()) - 1;
    for (std::uint32_t index = 0;; ++index) {
        const platform::SubkeyEntry entry = branch->enum_subkey(index, kSearchNameChars);
        // Any other outcome ends the search: a lasting error must not loop forever.
        if (entry.status == platform::EnumStatus::NameTooLong) {
            continue;
        }
        if (entry.status != platform::EnumStatus::Found) {
            return;
        }
        if (!is_versioned_key(entry.name)) {
            continue;
        }
        if (last_index == kLastKeyListIndex) {
            throw platform::Failure("Overflow");
        }
        ++last_index;
        key_list.push_back(entry.name);
    }
}

bool branch_is_plain(Context& context) {
    return platform::check_key(context.os.registry, platform::RegistryRoot::CurrentUser,
                               kSettingsBranch, platform::RegistryAccess::QueryValue)
               .state == platform::KeyState::Present;
}

void delete_listed_keys(Context& context) {
    const std::vector<std::string>& key_list = context.state.KeyList;
    const std::size_t rows = key_list.size();
    for (std::size_t row = 0; row < rows; ++row) {
        // An empty row would name the branch itself, which is never deleted.
        if (key_list[row].empty()) {
            continue;
        }
        const std::string path = key_path(key_list[row]);
        const platform::KeyCheck check =
            platform::check_key(context.os.registry, platform::RegistryRoot::CurrentUser, path,
                                platform::RegistryAccess::AllAccess);
        switch (check.state) {
        case platform::KeyState::Missing:
            break;
        case platform::KeyState::Unopenable:
            // It is there and stays: the user learns why.
            record(context, {TargetKind::Key, path}, {Outcome::Refused, check.reason});
            break;
        case platform::KeyState::Link:
            // A link in the branch is left and said to be one. Behind a link on the way to the
            // branch, nothing is done either; only a key that is there at all is worth a line.
            if (!branch_is_plain(context) &&
                !context.os.registry.open_key(platform::RegistryRoot::CurrentUser, path,
                                              platform::RegistryAccess::QueryValue)) {
                break;
            }
            [[fallthrough]];
        case platform::KeyState::Present:
            hand_over(context, {TargetKind::Key, path});
            break;
        }
    }
}

} // namespace

bool is_program_settings_key(std::string_view name) {
    return is_versioned_key(name) || is_built_in_key_name(name);
}

void MM_EnumVESKKeys(Context& context) {
    trap_failures(context, "Error in MM_EnumVESKKeys: ", "Error in MM_EnumVESKKeys: ", [&] {
        search_branch(context);
    });
}

void CleanRegistrySettings(Context& context) {
    MM_EnumVESKKeys(context);
    MM_DeleteVESKKeys(context);
}

void MM_DeleteVESKKeys(Context& context) {
    trap_failures(context, "Error in MM_DeleteVESKKeys: ", "Error in MM_DeleteVESKKeys: ", [&] {
        delete_listed_keys(context);
    });
}
