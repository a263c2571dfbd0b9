#include "console/command_line.h"

#include "log/cleaning_log.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

std::string lower_ascii(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

constexpr std::string_view kRestore = "restore:";

// The N of "restore:N": a log's number, 1 to 32767, in plain decimal digits; 0 when it is not.
int restore_number_of(std::string_view name) {
    const std::string_view digits = name.substr(kRestore.size());
    if (digits.empty() || digits.size() > 5 || digits.front() == '0' ||
        !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    const int number = std::stoi(std::string(digits));
    return number <= kLastLogNumber ? number : 0;
}

// "/restore" and "/restore:" with anything but a log's number name no cleaning to restore.
bool is_restore_without_number(std::string_view name) {
    return name == "restore" || (name.starts_with(kRestore) && restore_number_of(name) == 0);
}

// Sets what the switch names; false when it names nothing.
bool apply_switch(std::string_view name, ConsoleRequest& request) {
    if (name == "preview") {
        request.mode = ConsoleMode::Preview;
    } else if (name == "detect") {
        request.detect = true;
    } else if (name == "policy") {
        request.show_policy = true;
    } else if (name == "json") {
        request.json = true;
    } else if (name == "quiet") {
        request.quiet = true;
    } else if (name == "allusers") {
        request.all_users = true;
    } else if (name == "standard") {
        // The window's first choice.
        for (const OptionRow& row : kOptionTable) {
            request.options.*row.chosen = request.options.*row.chosen || row.first_choice;
        }
    } else if (name.starts_with(kRestore)) {
        request.restore_number = restore_number_of(name);
    } else if (name == "all") {
        for (const OptionRow& row : kOptionTable) {
            request.options.*row.chosen = true;
        }
    } else {
        const auto found = std::ranges::find(kOptionTable, name, &OptionRow::switch_name);
        if (found == kOptionTable.end()) {
            return false;
        }
        request.options.*found->chosen = true;
        request.named.*found->chosen = true;
    }
    return true;
}

// /policy takes only /json; /detect previews, so it takes no /preview and no restore. Sets the
// mode they ask for; the reason when the line is wrong.
std::optional<std::string> settle_detection_and_policy(ConsoleRequest& request) {
    if (request.show_policy) {
        if (request.detect || request.quiet || request.all_users || any_chosen(request.options) ||
            request.mode != ConsoleMode::Clean || request.restore_number != 0) {
            return "/policy takes no other switch than /json";
        }
        request.mode = ConsoleMode::Policy;
    } else if (request.detect) {
        if (request.mode == ConsoleMode::Preview || request.restore_number != 0) {
            return "/detect takes no /preview and no /restore";
        }
        request.mode = ConsoleMode::Detect;
    }
    return std::nullopt;
}

} // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments) {
    ConsoleRequest request;
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || (argument.front() != '/' && argument.front() != '-')) {
            return {std::nullopt, "not a switch: \"" + argument + "\""};
        }
        const std::string name = lower_ascii(std::string_view(argument).substr(1));
        if (name == "?") {
            request.mode = ConsoleMode::Help;
            return {request, {}};
        }
        if (is_restore_without_number(name)) {
            return {std::nullopt, "\"" + argument +
                                      "\" names no cleaning: write /restore:N, where N is the "
                                      "number of the cleaning log (1 to " +
                                      std::to_string(kLastLogNumber) + ")"};
        }
        if (name.starts_with(kRestore) && request.restore_number != 0 &&
            restore_number_of(name) != request.restore_number) {
            // A value given twice: whichever counted, the other would be dropped unsaid.
            return {std::nullopt, "\"" + argument + "\" after /restore:" +
                                      std::to_string(request.restore_number) +
                                      ": a restore puts back one cleaning"};
        }
        if (!apply_switch(name, request)) {
            return {std::nullopt, "unknown switch: \"" + argument + "\""};
        }
    }
    if (auto wrong = settle_detection_and_policy(request)) {
        return {std::nullopt, *wrong};
    }
    if (request.mode == ConsoleMode::Policy) {
        return {request, {}};
    }
    if (request.restore_number != 0) {
        if (any_chosen(request.options) || request.mode == ConsoleMode::Preview) {
            return {std::nullopt, "a restore takes no option and no /preview"};
        }
        request.mode = ConsoleMode::Restore;
        return {request, {}};
    }
    if (!any_chosen(request.options)) {
        return {std::nullopt, "no option given: say what to clean"};
    }
    return {request, {}};
}

bool asks_for_detection(const std::vector<std::string>& arguments) {
    return std::ranges::any_of(arguments, [](const std::string& argument) {
        return argument.size() > 1 && (argument.front() == '/' || argument.front() == '-') &&
               lower_ascii(std::string_view(argument).substr(1)) == "detect";
    });
}

std::vector<std::string> usage_lines() {
    std::vector<std::string> lines = {
        "Cleans the VESK suite's per-user state, as the VESK Cleaning Wizard does, without a "
        "window.",
        "",
        "VeskClean [/preview] OPTION... [/allusers] [/json] [/quiet]",
        "VeskClean /detect OPTION... [/allusers] [/json] [/quiet]",
        "VeskClean /restore:N [/allusers] [/json] [/quiet]",
        "VeskClean /policy [/json]",
        "VeskClean /?",
        "",
    };
    // "OPTION:  /registry   the suite's program-settings keys", a line each, in the runs' order.
    std::string_view lead = "OPTION:  /";
    const auto option_line = [&](std::string_view name, std::string_view meaning) {
        std::string line(lead);
        lead = "         /";
        line += name;
        line.append(name.size() < 11 ? 11 - name.size() : 1, ' ');
        lines.push_back(line + std::string(meaning));
    };
    std::string standard = "=";
    for (const OptionRow& row : kOptionTable) {
        option_line(row.switch_name, row.meaning);
        if (row.first_choice) {
            standard += " /" + std::string(row.switch_name);
        }
    }
    option_line("standard", standard);
    option_line("all", "every option");
    lines.insert(
        lines.end(),
        {
            "/preview lists what would be done and changes nothing.",
            "/detect  says in one line what /preview would list; exit code 1 when something",
            "         would be cleaned, 0 when nothing.",
            "/policy  shows what the organisation's policy allows, and where each setting comes",
            "         from; with /json one object a setting, for inventory.",
            "/json    prints one JSON object a line: each item, then a summary.",
            "/quiet   prints nothing on standard output; errors still go to standard error.",
            "/allusers cleans (previews, restores) every user profile of the machine: the",
            "         keys and virtual stores of each, the host folder once. Needs an elevated",
            "         administrator or the system account.",
            "/restore:N puts back the keys and settings files that cleaning N backed up, where",
            "         their places are free, from CleaningN.backup beside the log.",
            "Switches may also begin with \"-\"; letter case does not matter.",
            "",
            "Exit codes: 0 done, nothing refused; 1 done, something refused or failed (see the "
            "log);",
            "2 host folder not found; 3 no cleaning log could be created; 4 wrong command line",
            "(or no such backup, or one that is not understood; nothing changed);",
            "5 running as the system account; 6 another cleaning is running;",
            "7 stopped before the end (Ctrl+C and the like); the log lists what was done;",
            "8 /allusers without administrator rights; nothing done;",
            "9 refused by the organisation's policy (see /policy); nothing done.",
            "10 the run could not be set up (a name that cannot name the backup folder); nothing "
            "done.",
        });
    return lines;
}
