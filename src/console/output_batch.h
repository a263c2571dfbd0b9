// Standard output that goes to a file or a pipe, held and written in large pieces: a write a
// line is one more system call for every item a cleaning deletes, beside the log's own line.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

class OutputBatch {
public:
    using Clock = std::chrono::steady_clock;
    // Written once this much is held...
    static constexpr std::size_t kPieceBytes = 64 * 1024;
    // ...or once the oldest line held is this old, so that a reader of a pipe, or of the file
    // while the program runs, is never far behind.
    static constexpr std::chrono::milliseconds kLongestHold{100};

    // Holds the line with its line end; true when the batch is due to be written now.
    bool add(std::string_view line, Clock::time_point now);
    // Everything held, in order; the batch is empty afterwards.
    std::string take();
    bool empty() const { return held_.empty(); }

private:
    std::string held_;
    Clock::time_point oldest_{};
};
