// The console program's streams, kept as lines for a test to read.
#pragma once

#include "console/console_streams.h"

#include <string>
#include <string_view>
#include <vector>

struct RecordingStreams final : ConsoleStreams {
    void out(std::string_view line) override { output.emplace_back(line); }
    void err(std::string_view line) override { errors.emplace_back(line); }
    std::vector<std::string> output;
    std::vector<std::string> errors;
};
