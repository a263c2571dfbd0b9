// Reading a cleaning log back in the tests, unit and Win32 alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether the log names something that could not be done: a line of a refusal ("Could not …",
// "Permissions Not Set For:", "Not restored …").
inline bool has_refusal(std::string_view text);

// A log's text as its lines, without their CR LF. Every line of a log ends with CR LF, so a
// last piece without one is kept with a mark that no expected line carries.
inline std::vector<std::string> lines_of(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const auto end = text.find("\r\n");
        if (end == std::string_view::npos) {
            lines.push_back(std::string(text) + " [no line end]");
            break;
        }
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return lines;
}

inline bool has_refusal(std::string_view text) {
    for (const std::string& line : lines_of(text)) {
        if (line.starts_with("Could not ") || line.starts_with("Permissions Not Set For:") ||
            line.starts_with("Not restored ")) {
            return true;
        }
    }
    return false;
}
