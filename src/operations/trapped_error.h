// The operations that trap their own failures all report them the same way.
#pragma once

#include "operations/context.h"

#include <exception>
#include <string_view>

// Writes log_prefix + description to the log, when one is open, and tells the observer, which
// shows box_prefix + description. Throws no std::exception, whatever the log or the observer
// throws (the run must go on after it); only a RunStopped, which is no failure, passes.
void report_trapped_error(Context& context, std::string_view log_prefix,
                          std::string_view box_prefix, std::string_view description);

// Runs body; a failure leaving it is reported as trapped and ends the operation, and the run
// goes on with the next one.
template <class Body>
void trap_failures(Context& context, std::string_view log_prefix, std::string_view box_prefix,
                   Body&& body) {
    try {
        body();
    } catch (const std::exception& failure) {
        report_trapped_error(context, log_prefix, box_prefix, failure.what());
    }
}
