// Every line the log takes reaches the run's observer too, for as long as a run lasts: the
// console program prints them as they are written.
#pragma once

#include "log/cleaning_log.h"
#include "operations/run_observer.h"

class LineEcho {
public:
    LineEcho(CleaningLog& log, RunObserver& observer) : log_(log) {
        log_.set_line_listener([&observer](std::string_view line) { observer.line_written(line); });
    }
    ~LineEcho() { log_.set_line_listener({}); }
    LineEcho(const LineEcho&) = delete;
    LineEcho& operator=(const LineEcho&) = delete;

private:
    CleaningLog& log_;
};
