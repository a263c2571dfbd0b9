// What the benchmark cases share: a clock, child processes, scratch trees and the statistics.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

namespace bench {

double seconds_now();

// The median; the mean of the middle two for an even count.
double median(std::vector<double> samples);

// A failure of the benchmark itself (a case that did not delete what it should have).
void check(bool condition, const std::string& what);

struct ChildRun {
    double seconds = 0; // from CreateProcess until the process has ended
    DWORD exit_code = 0;
};
// Starts command_line with its standard handles on NUL and waits for its end.
ChildRun run_child(const std::wstring& command_line);

void make_folder(const std::wstring& path);
// A small file with some content, so that deleting it frees data as a real file's would.
void make_file(const std::wstring& path);

struct TreeCount {
    std::size_t files = 0;
    std::size_t folders = 0; // below the root
};
// Everything below folder, hidden and system entries included.
TreeCount count_tree(const std::wstring& folder);

std::wstring numbered(const wchar_t* format, int number);

} // namespace bench
