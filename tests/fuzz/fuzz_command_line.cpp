// The console program's command line: any arguments (the input split at NUL bytes) give either
// a request or a reason, never both; a request always says what to clean, unless it asks for
// help, for the policy (which stands alone), to restore a cleaning, which names the cleaning
// and nothing to clean, or to apply a plan, which brings its own options; and each switch's letter
// case and prefix do not matter.
#include "console/command_line.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::string> arguments_of(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back() += static_cast<char>(data[i]);
        }
    }
    return arguments;
}

bool any(const CleaningOptions& o) {
    return o.registry_settings || o.configuration_settings || o.temporary_files ||
           o.project_folders || o.toolbar_settings || o.opengl_settings || o.access_rights ||
           o.store_program_files || o.store_program_data;
}

bool same(const CleaningOptions& a, const CleaningOptions& b) {
    return a.registry_settings == b.registry_settings &&
           a.configuration_settings == b.configuration_settings &&
           a.temporary_files == b.temporary_files && a.project_folders == b.project_folders &&
           a.toolbar_settings == b.toolbar_settings && a.opengl_settings == b.opengl_settings &&
           a.access_rights == b.access_rights && a.store_program_files == b.store_program_files &&
           a.store_program_data == b.store_program_data;
}

// The same switches written the other way: other prefix, other letter case.
std::vector<std::string> respelled(std::vector<std::string> arguments) {
    for (std::string& argument : arguments) {
        if (!argument.empty() && (argument[0] == '/' || argument[0] == '-')) {
            argument[0] = argument[0] == '/' ? '-' : '/';
        }
        for (char& c : argument) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            } else if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
    }
    return arguments;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> arguments = arguments_of(data, size);
    const ParsedCommandLine parsed = parse_command_line(arguments);
    FUZZ_CHECK(parsed.request.has_value() == parsed.error.empty());
    const bool runs = parsed.request && parsed.request->mode == ConsoleMode::Run;
    if (runs && parsed.request->run.kind == RunKind::Restore) {
        FUZZ_CHECK(!any(parsed.request->run.options));
        FUZZ_CHECK(parsed.request->run.restore_number >= 1 &&
                   parsed.request->run.restore_number <= 32767);
    } else if (runs && !parsed.request->plan_in.empty()) {
        // A plan brings its own options.
        FUZZ_CHECK(!any(parsed.request->run.options) && parsed.request->plan_out.empty() &&
                   parsed.request->run.kind == RunKind::Clean);
    } else if (runs) {
        FUZZ_CHECK(any(parsed.request->run.options) && parsed.request->run.restore_number == 0);
        FUZZ_CHECK(parsed.request->expect.empty());
        FUZZ_CHECK(parsed.request->plan_out.empty() ||
                   parsed.request->run.kind == RunKind::Preview);
    } else if (parsed.request && parsed.request->mode == ConsoleMode::Policy) {
        FUZZ_CHECK(!any(parsed.request->run.options) && !parsed.request->quiet);
    }
    const ParsedCommandLine again = parse_command_line(respelled(arguments));
    FUZZ_CHECK(again.request.has_value() == parsed.request.has_value());
    if (parsed.request) {
        FUZZ_CHECK(again.request->mode == parsed.request->mode);
        FUZZ_CHECK(again.request->json == parsed.request->json);
        FUZZ_CHECK(again.request->quiet == parsed.request->quiet);
        FUZZ_CHECK(again.request->run.kind == parsed.request->run.kind);
        FUZZ_CHECK(again.request->run.scope == parsed.request->run.scope);
        FUZZ_CHECK(same(again.request->run.options, parsed.request->run.options));
        FUZZ_CHECK(again.request->run.restore_number == parsed.request->run.restore_number);
    }
    return 0;
}
