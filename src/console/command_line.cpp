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
constexpr std::string_view kKeep = "keep:";
constexpr std::string_view kPlan = "plan:";
constexpr std::string_view kApply = "apply:";
constexpr std::string_view kExpect = "expect:";

// The switches that carry a text of the user's, as written: a pattern, a file, a digest. Each
// text but a pattern is given once: a second would leave one of them unsaid.
struct TextSwitch {
    std::string_view prefix;
    std::string_view what;             // what the text names, for the line that it is missing
    std::string ConsoleRequest::*slot; // where it goes; null for a keep pattern, which adds up
};
constexpr TextSwitch kTextSwitches[] = {{kKeep, "nothing to keep", nullptr},
                                        {kPlan, "no file", &ConsoleRequest::plan_out},
                                        {kApply, "no file", &ConsoleRequest::plan_in},
                                        {kExpect, "no digest", &ConsoleRequest::expect}};

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

// The switches read so far; what the line asks for is settled once it is all read.
struct Switches {
    ConsoleRequest request;
    bool preview = false;
    bool detect = false;
    bool show_policy = false;
    bool all_users = false;

    RunRequest& run() { return request.run; }
};

// Sets what the switch names; false when it names nothing.
bool apply_switch(std::string_view name, Switches& switches) {
    CleaningOptions& options = switches.run().options;
    if (name == "preview") {
        switches.preview = true;
    } else if (name == "detect") {
        switches.detect = true;
    } else if (name == "policy") {
        switches.show_policy = true;
    } else if (name == "json") {
        switches.request.json = true;
    } else if (name == "quiet") {
        switches.request.quiet = true;
    } else if (name == "allusers") {
        switches.all_users = true;
    } else if (name == "standard") {
        // The window's first choice.
        for (const OptionRow& row : kOptionTable) {
            options.*row.chosen = options.*row.chosen || row.first_choice;
        }
    } else if (name.starts_with(kRestore)) {
        switches.run().restore_number = restore_number_of(name);
    } else if (name == "all") {
        for (const OptionRow& row : kOptionTable) {
            options.*row.chosen = true;
        }
    } else {
        const auto found = std::ranges::find(kOptionTable, name, &OptionRow::switch_name);
        if (found == kOptionTable.end()) {
            return false;
        }
        options.*found->chosen = true;
        switches.run().named.*found->chosen = true;
    }
    return true;
}

// What the whole line asks for, or why it is wrong. /policy takes only /json; /detect
// previews, so it takes no /preview and no restore; a restore takes no option.
std::optional<std::string> settle(Switches& switches) {
    ConsoleRequest& request = switches.request;
    RunRequest& run = request.run;
    if (switches.show_policy) {
        if (switches.detect || request.quiet || switches.all_users || any_chosen(run.options) ||
            switches.preview || run.restore_number != 0 || !run.keep.empty() ||
            !request.plan_out.empty() || !request.plan_in.empty() || !request.expect.empty()) {
            return "/policy takes no other switch than /json";
        }
        request.mode = ConsoleMode::Policy;
        return std::nullopt;
    }
    if (switches.detect && (switches.preview || run.restore_number != 0)) {
        return "/detect takes no /preview and no /restore";
    }
    if (!request.expect.empty() && request.plan_in.empty()) {
        return "/expect: goes with /apply:";
    }
    if (!request.plan_in.empty()) {
        if (any_chosen(run.options) || switches.preview || switches.detect || switches.all_users ||
            run.restore_number != 0 || !request.plan_out.empty()) {
            return "/apply: takes its options and profiles from the plan: only /keep:, /expect:, "
                   "/json and /quiet go with it";
        }
        run.kind = RunKind::Clean;
        return std::nullopt;
    }
    if (!request.plan_out.empty() && (!switches.preview || switches.detect)) {
        return "/plan: goes with /preview";
    }
    run.scope = switches.all_users ? RunScope::EveryProfile : RunScope::OwnProfile;
    if (run.restore_number != 0) {
        if (any_chosen(run.options) || switches.preview || !run.keep.empty() ||
            !request.plan_out.empty()) {
            return "a restore takes no option, no /preview, no /keep and no /plan";
        }
        run.kind = RunKind::Restore;
        return std::nullopt;
    }
    if (!any_chosen(run.options)) {
        return "no option given: say what to clean";
    }
    run.kind = switches.detect    ? RunKind::Detect
               : switches.preview ? RunKind::Preview
                                  : RunKind::Clean;
    return std::nullopt;
}

// Takes the text of a switch that carries one, as written: it is the user's, not a switch's
// name.
std::optional<std::string> take_text(const TextSwitch& text_switch, const std::string& argument,
                                     Switches& switches) {
    std::string text = argument.substr(1 + text_switch.prefix.size());
    if (text.empty()) {
        return "\"" + argument + "\" names " + std::string(text_switch.what);
    }
    ConsoleRequest& request = switches.request;
    if (!text_switch.slot) {
        request.run.keep.push_back(std::move(text));
        return std::nullopt;
    }
    std::string& slot = request.*text_switch.slot;
    if (!slot.empty()) {
        return "\"" + argument + "\" is given twice";
    }
    slot = std::move(text);
    return std::nullopt;
}

} // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments) {
    Switches switches;
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || (argument.front() != '/' && argument.front() != '-')) {
            return {std::nullopt, "not a switch: \"" + argument + "\""};
        }
        const std::string name = lower_ascii(std::string_view(argument).substr(1));
        if (name == "?") {
            switches.request.mode = ConsoleMode::Help;
            return {switches.request, {}};
        }
        if (is_restore_without_number(name)) {
            return {std::nullopt, "\"" + argument +
                                      "\" names no cleaning: write /restore:N, where N is the "
                                      "number of the cleaning log (1 to " +
                                      std::to_string(kLastLogNumber) + ")"};
        }
        const int restore_number = switches.run().restore_number;
        if (name.starts_with(kRestore) && restore_number != 0 &&
            restore_number_of(name) != restore_number) {
            // A value given twice: whichever counted, the other would be dropped unsaid.
            return {std::nullopt, "\"" + argument +
                                      "\" after /restore:" + std::to_string(restore_number) +
                                      ": a restore puts back one cleaning"};
        }
        if (const auto text = std::ranges::find_if(
                kTextSwitches,
                [&](const TextSwitch& each) { return name.starts_with(each.prefix); });
            text != std::end(kTextSwitches)) {
            if (auto wrong = take_text(*text, argument, switches)) {
                return {std::nullopt, *wrong};
            }
            continue;
        }
        if (!apply_switch(name, switches)) {
            return {std::nullopt, "unknown switch: \"" + argument + "\""};
        }
    }
    if (auto wrong = settle(switches)) {
        return {std::nullopt, *wrong};
    }
    return {switches.request, {}};
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
        "VeskClean [/preview] OPTION... [/keep:PATTERN]... [/allusers] [/json] [/quiet]",
        "VeskClean /detect OPTION... [/keep:PATTERN]... [/allusers] [/json] [/quiet]",
        "VeskClean /preview OPTION... /plan:FILE [/keep:PATTERN]... [/allusers] [/json]",
        "VeskClean /apply:FILE [/expect:SHA256] [/keep:PATTERN]... [/json] [/quiet]",
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
            "/keep:PATTERN leaves alone every item whose full name, as the log writes it, the",
            "         pattern matches (? one character, * any run; letter case does not matter),",
            "         and every item with such an item inside. May be given more than once.",
            "/plan:FILE with /preview writes what the preview found into FILE (a full path to a",
            "         new file) and prints the plan's SHA-256.",
            "/apply:FILE cleans by the plan: only the items it lists, and only as they were;",
            "         what appeared, changed or went since is left. /expect:SHA256 refuses a plan",
            "         with another digest.",
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
