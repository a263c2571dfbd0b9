// The console program's command line: which options, whether to preview, how to print.
#pragma once

#include "engine/run_request.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ConsoleMode {
    Run,    // a preview, a detection, a cleaning or a restore: the run request says which
    Help,   // /?
    Policy, // /policy
};

struct ConsoleRequest {
    ConsoleMode mode = ConsoleMode::Run;
    RunRequest run;
    bool json = false;    // one JSON object a line instead of text
    bool quiet = false;   // nothing on standard output
    std::string plan_out; // /plan:FILE, with /preview: where the plan of what it found goes
    std::string plan_in;  // /apply:FILE: the plan to clean by, which gives the run's options
    std::string expect;   // /expect:SHA256, with /apply: the digest the plan must have
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
