#include "engine/policy.h"

#include "platform/registry_values.h"
#include "platform/text.h"
#include "startup/host_discovery.h"

#include <algorithm>
#include <optional>

namespace {

// Far more values than a policy key holds: enumeration ends here even if the registry should
// fail every index of a key instead of saying that no more follow.
constexpr std::uint32_t kMostValues = 4096;

std::string type_name(std::uint32_t type) {
    constexpr std::uint32_t kRegQword = 11;
    switch (type) {
    case platform::kRegSz:
        return "a REG_SZ";
    case platform::kRegExpandSz:
        return "a REG_EXPAND_SZ";
    case platform::kRegBinary:
        return "a REG_BINARY";
    case platform::kRegDword:
        return "a REG_DWORD";
    case platform::kRegMultiSz:
        return "a REG_MULTI_SZ";
    case kRegQword:
        return "a REG_QWORD";
    default:
        return "a value of type " + std::to_string(type);
    }
}

// What a value gives its setting, or why it gives nothing.
struct Reading {
    std::optional<std::string> text;
    bool on = false;
    std::string why;
};

Reading number_setting(const platform::RegistryValue& value) {
    if (value.type != platform::kRegDword) {
        return {std::nullopt, false, type_name(value.type) + ", not a REG_DWORD"};
    }
    const auto number = platform::dword_of(value);
    if (!number) {
        return {std::nullopt, false,
                "a REG_DWORD of " + std::to_string(value.data.size()) + " bytes, not 4"};
    }
    return {std::to_string(*number), *number != 0, {}};
}

// The folder as a full path without a backslash at its end; REG_EXPAND_SZ expanded.
Reading folder_setting(const platform::RegistryValue& value, platform::System& system) {
    if (!platform::holds_text(value)) {
        return {std::nullopt, false, type_name(value.type) + ", not a REG_EXPAND_SZ"};
    }
    std::string folder = platform::text_of(value);
    if (value.type == platform::kRegExpandSz) {
        try {
            folder = system.expand_environment(folder);
        } catch (const platform::Failure& failure) {
            return {std::nullopt, false, "cannot be expanded: " + std::string(failure.what())};
        }
    }
    // Relative to nothing the user cannot see: never to the current drive or folder.
    if (!is_fully_qualified(folder)) {
        return {std::nullopt, false, "\"" + folder + "\" is not a full path"};
    }
    while (folder.back() == '\\') {
        folder.pop_back();
    }
    return {folder, true, {}};
}

PolicySetting* setting_named(Policy& policy, std::string_view name) {
    for (PolicySetting* setting : {&policy.preview_only, &policy.backup_folder}) {
        if (platform::iequals(setting->name, name)) {
            return setting;
        }
    }
    const auto found = std::ranges::find_if(policy.options, [&](const PolicySetting& option) {
        return platform::iequals(option.name, name);
    });
    return found == policy.options.end() ? nullptr : &*found;
}

// Takes one value of the source's key into the setting it names, unless the machine has set
// that setting already.
void take_value(Policy& policy, PolicySource source, const platform::ValueEntry& entry,
                platform::System& system) {
    // Unlike a setting, the keep lists of the machine and the user add up.
    if (platform::iequals(entry.name, kKeepValue)) {
        const auto patterns = platform::texts_of(entry.value);
        if (!patterns) {
            policy.ignored.push_back(
                {source, entry.name, type_name(entry.value.type) + ", not a REG_MULTI_SZ"});
            return;
        }
        for (const std::string& pattern : *patterns) {
            policy.keep.push_back({source, pattern});
        }
        return;
    }
    PolicySetting* setting = setting_named(policy, entry.name);
    if (setting == nullptr) {
        policy.ignored.push_back({source, entry.name, "not a setting of this program"});
        return;
    }
    if (setting->source != PolicySource::Default) {
        return;
    }
    const Reading reading = setting == &policy.backup_folder ? folder_setting(entry.value, system)
                                                             : number_setting(entry.value);
    if (!reading.text) {
        policy.ignored.push_back({source, entry.name, reading.why});
        return;
    }
    setting->source = source;
    setting->on = reading.on;
    setting->text = *reading.text;
}

void read_source(Policy& policy, PolicySource source, platform::Registry& registry,
                 platform::System& system) {
    const bool machine = source == PolicySource::Machine;
    const auto key = registry.open_key(
        machine ? platform::RegistryRoot::LocalMachine : platform::RegistryRoot::CurrentUser,
        kPolicyKey, platform::RegistryAccess::QueryValue,
        machine ? platform::RegistryView::Wow64_64 : platform::RegistryView::Native);
    if (!key) {
        return;
    }
    for (std::uint32_t index = 0; index < kMostValues; ++index) {
        const platform::ValueEntry entry = key->enum_value(index);
        if (entry.status == platform::EnumStatus::NoMoreItems) {
            return;
        }
        if (entry.status != platform::EnumStatus::Found) {
            policy.ignored.push_back({source, "?", "a value that cannot be read"});
        } else if (!entry.name.empty()) {
            // A key's default value is set by tools that make the key; it names no setting.
            take_value(policy, source, entry, system);
        }
    }
}

// A name of the system's that becomes a folder of the path: one plain element, never more.
std::string folder_name(std::string name, std::string_view what) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("\\/:") != std::string::npos) {
        throw platform::Failure("the " + std::string(what) + " \"" + name +
                                "\" cannot name a folder");
    }
    return name;
}

} // namespace

Policy::Policy()
    : preview_only{kPreviewOnlyValue, PolicySource::Default, false, {}},
      backup_folder{kBackupFolderValue, PolicySource::Default, false, {}} {
    for (const OptionRow& row : kOptionTable) {
        options.push_back({row.switch_name, PolicySource::Default, true, {}});
    }
}

const PolicySetting& Policy::setting_of(const OptionRow& row) const {
    return options[static_cast<std::size_t>(&row - kOptionTable.data())];
}

Policy read_policy(platform::Registry& registry, platform::System& system) {
    Policy policy;
    read_source(policy, PolicySource::Machine, registry, system);
    read_source(policy, PolicySource::User, registry, system);
    return policy;
}

std::vector<std::string> Policy::keep_patterns() const {
    std::vector<std::string> patterns;
    for (const KeepEntry& entry : keep) {
        patterns.push_back(entry.pattern);
    }
    return patterns;
}

std::string policy_key_of(PolicySource source) {
    const std::string_view root =
        source == PolicySource::Machine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\";
    return std::string(root) + std::string(kPolicyKey);
}

std::string where_set(const PolicySetting& setting) {
    return std::string(setting.name) + " = " + setting.text + " in " +
           policy_key_of(setting.source);
}

std::string previews_only_text(const Policy& policy) {
    return "Your organisation allows only previews here: nothing may be cleaned or restored (" +
           where_set(policy.preview_only) + ").";
}

BackupHome backup_home(const Policy& policy, platform::System& system) {
    if (policy.backup_folder.text.empty()) {
        return {};
    }
    const std::string& base = policy.backup_folder.text;
    return {base,
            base + "\\" + folder_name(system.computer_name(), "computer name") + "\\" +
                folder_name(system.user_name(), "user name"),
            false};
}
