// The console program's command line: which options, whether to preview, how to print.
#pragma once

#include "engine/cleaning_run.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ConsoleMode { Help, Clean, Preview, Restore, Detect, Policy };

struct ConsoleRequest {
    ConsoleMode mode = ConsoleMode::Clean;
    CleaningOptions options;
    CleaningOptions named;    // the options named one by one, not through /all or /standard
    bool json = false;        // one JSON object a line instead of text
    bool quiet = false;       // nothing on standard output
    int restore_number = 0;   // the cleaning whose backup a restore puts back
    bool all_users = false;   // every profile of the machine, not only the running user's
    bool detect = false;      // /detect, settled into the mode once the whole line is read
    bool show_policy = false; // /policy, likewise
};

// The request, or why the command line is wrong. Switches begin with "/" or "-", in any case.
struct ParsedCommandLine {
    std::optional<ConsoleRequest> request;
    std::string error;
};
ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments);
// Whether the line asks for /detect, wrong or not: a detection says everything, even that the
// line is wrong, on one line of standard output.
bool asks_for_detection(const std::vector<std::string>& arguments);

// What "VeskClean /?" prints, one line an element.
std::vector<std::string> usage_lines();
