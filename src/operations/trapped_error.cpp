#include "operations/trapped_error.h"

#include <string>

void report_trapped_error(Context& context, std::string_view log_prefix,
                          std::string_view box_prefix, std::string_view description) {
    // Each part on its own: a log that cannot take the line must not hide the failure from the
    // user, and a user who cannot be told must not cost the run its next operation.
    try {
        if (context.log.is_open()) {
            context.log.write_line(std::string(log_prefix) + std::string(description));
        }
    } catch (const std::exception&) {
        // The log stays as far as it got; the observer still hears of the failure.
    }
    try {
        context.observer.failure_trapped({std::string(log_prefix) + std::string(description),
                                          std::string(box_prefix) + std::string(description)});
    } catch (const std::exception&) {
        // The line is in the log, which the user is pointed to at the end.
    }
}
