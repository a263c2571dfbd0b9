#include "operations/trapped_error.h"

#include <string>

void ReportTrappedError(Context& context, std::string_view log_prefix, std::string_view box_prefix,
                        std::string_view description) {
    try {
        context.log.write_line(std::string(log_prefix) + std::string(description));
        context.log.flush();
    } catch (const std::exception&) {
        // A log that cannot take the line must not hide the failure from the user.
    }
    context.os.ui.message_box(std::string(box_prefix) + std::string(description),
                              platform::kMbError);
}
