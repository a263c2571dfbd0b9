#include "console/console_policy.h"

#include "console/json.h"

#include <algorithm>
#include <cstdint>
#include <string>

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
        return policy.backup_folder.text +
               " (this user's backups: " + backup_home(policy, system).folder + ")";
    } catch (const platform::Failure& failure) {
        return policy.backup_folder.text + " (" + failure.what() + ")";
    }
}

// The members every setting's JSON object has: its name, its value as set, where it comes from
// and whether a value was taken for it. A number's value is a JSON number, a folder a string.
JsonObject setting_object(const PolicySetting& setting, bool number) {
    const bool taken = setting.source != PolicySource::Default;
    JsonObject object;
    object.add("type", "setting").add("name", setting.name);
    if (!taken) {
        object.add_null("value");
    } else if (number) {
        object.add("value", std::uint64_t{std::stoul(setting.text)});
    } else {
        object.add("value", setting.text);
    }
    object.add("source", source_name(setting.source)).add_flag("taken", taken);
    return object;
}

// Where this user's backups go: null beside the log, with the reason when the folder's names
// cannot make one.
JsonObject& add_backups(JsonObject& object, const Policy& policy, platform::System& system) {
    try {
        const std::string home = backup_home(policy, system).folder;
        return home.empty() ? object.add_null("backups") : object.add("backups", home);
    } catch (const platform::Failure& failure) {
        return object.add_null("backups").add("error", failure.what());
    }
}

} // namespace

std::string left_out_text(const std::vector<std::string_view>& switches) {
    std::string text;
    for (const std::string_view name : switches) {
        text.append(text.empty() ? "Left out by your organisation's policy: /" : ", /")
            .append(name);
    }
    return text;
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
    if (policy.keep.empty()) {
        lines.push_back(setting_line({kKeepValue, PolicySource::Default, false, {}},
                                     "none (the organisation keeps nothing)"));
    }
    for (const KeepEntry& entry : policy.keep) {
        lines.push_back(setting_line({kKeepValue, entry.source, true, {}}, entry.pattern));
    }
    for (const IgnoredValue& value : policy.ignored) {
        lines.push_back("Taken as absent: " + value.name + " in " + policy_key_of(value.source) +
                        " (" + value.why + ")");
    }
    return lines;
}

std::vector<std::string> policy_json_lines(const Policy& policy, platform::System& system) {
    std::vector<std::string> lines;
    for (const PolicySetting& option : policy.options) {
        lines.push_back(setting_object(option, true).add_flag("allowed", option.on).text());
    }
    lines.push_back(setting_object(policy.preview_only, true)
                        .add_flag("previews_only", policy.previews_only())
                        .text());
    JsonObject backups = setting_object(policy.backup_folder, false);
    lines.push_back(add_backups(backups, policy, system).text());
    for (const KeepEntry& entry : policy.keep) {
        lines.push_back(JsonObject()
                            .add("type", "keep")
                            .add("pattern", entry.pattern)
                            .add("source", source_name(entry.source))
                            .text());
    }
    for (const IgnoredValue& value : policy.ignored) {
        lines.push_back(JsonObject()
                            .add("type", "ignored")
                            .add("name", value.name)
                            .add("source", source_name(value.source))
                            .add_flag("taken", false)
                            .add("why", value.why)
                            .text());
    }
    return lines;
}
