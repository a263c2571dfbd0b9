#include "operations/trapped_error.h"

#include <string>

void report_trapped_error(Context& context, std::string_view log_prefix,
                          std::string_view box_prefix, std::string_view description) {
    try {
        if (context.log.is_open()) {
            context.log.write_line(std::string(log_prefix) + std::string(description));
        }
    } catch (const std::exception&) {
        // A log that cannot take the line must not hide the failure from the user.
    }
    context.observer.failure_trapped({std::string(log_prefix) + std::string(description),
                                      std::string(box_prefix) + std::string(description)});
}
