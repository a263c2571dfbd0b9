#include "console/console_policy.h"

#include <algorithm>

namespace {

std::string_view source_name(PolicySource source) {
    switch (source) {
    case PolicySource::Machine:
        return "machine";
    case PolicySource::User:
        return "user";
    case PolicySource::Default:
        break;
    }
    return "default";
}

std::string forbidden_text(const OptionRow& row, const Policy& policy) {
    // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string here.
    std::string text("/");
    text.append(row.switch_name).append(" (").append(where_set(policy.setting_of(row)));
    return text.append(").");
}

// "registry      machine  forbidden": the setting, where it comes from, its value.
std::string setting_line(const PolicySetting& setting, std::string_view value) {
    std::string line(setting.name);
    line.append(line.size() < 14 ? 14 - line.size() : 1, ' ');
    line += source_name(setting.source);
    line.append(9 - source_name(setting.source).size(), ' ');
    return line.append(value);
}

std::string backup_folder_value(const Policy& policy, platform::System& system) {
    if (policy.backup_folder.text.empty()) {
        return "none (backups go beside the log)";
    }
    try {
        return policy.backup_folder.text + " (this user's backups: " + backup_home(policy, system) +
               ")";
    } catch (const platform::Failure& failure) {
        return policy.backup_folder.text + " (" + failure.what() + ")";
    }
}

} // namespace

std::optional<std::string> refusal_by_policy(const ConsoleRequest& request, const Policy& policy) {
    if (request.mode == ConsoleMode::Help || request.mode == ConsoleMode::Policy) {
        return std::nullopt;
    }
    if (policy.previews_only() &&
        (request.mode == ConsoleMode::Clean || request.mode == ConsoleMode::Restore)) {
        return "VeskClean: " + previews_only_text(policy);
    }
    for (const OptionRow& row : kOptionTable) {
        if (request.named.*row.chosen && !policy.allows(row)) {
            return "VeskClean: your organisation's policy forbids " + forbidden_text(row, policy);
        }
    }
    if (request.mode != ConsoleMode::Restore && !any_chosen(options_allowed(request, policy))) {
        const auto first = std::ranges::find_if(
            kOptionTable, [&](const OptionRow& row) { return request.options.*row.chosen; });
        return "VeskClean: your organisation's policy forbids every option asked for, " +
               forbidden_text(*first, policy);
    }
    return std::nullopt;
}

CleaningOptions options_allowed(const ConsoleRequest& request, const Policy& policy) {
    CleaningOptions allowed = request.options;
    for (const OptionRow& row : kOptionTable) {
        allowed.*row.chosen = allowed.*row.chosen && policy.allows(row);
    }
    return allowed;
}

std::vector<std::string> policy_lines(const Policy& policy, platform::System& system) {
    std::vector<std::string> lines = {
        "The organisation's policy, read from " + policy_key_of(PolicySource::Machine) +
            " (machine), then from " + policy_key_of(PolicySource::User) +
            " (user); a value the machine sets wins.",
    };
    for (const PolicySetting& option : policy.options) {
        lines.push_back(setting_line(option, option.on ? "allowed" : "forbidden"));
    }
    lines.push_back(setting_line(policy.preview_only, policy.previews_only()
                                                          ? "previews only: no cleaning, no restore"
                                                          : "off: cleaning allowed"));
    lines.push_back(setting_line(policy.backup_folder, backup_folder_value(policy, system)));
    for (const IgnoredValue& value : policy.ignored) {
        lines.push_back("Taken as absent: " + value.name + " in " + policy_key_of(value.source) +
                        " (" + value.why + ")");
    }
    return lines;
}
