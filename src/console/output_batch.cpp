#include "console/output_batch.h"

#include <utility>

bool OutputBatch::add(std::string_view line, Clock::time_point now) {
    if (held_.empty()) {
        oldest_ = now;
        held_.reserve(kPieceBytes + 1024);
    }
    held_.append(line).append("\r\n");
    return held_.size() >= kPieceBytes || now - oldest_ >= kLongestHold;
}

std::string OutputBatch::take() {
    return std::exchange(held_, std::string());
}
