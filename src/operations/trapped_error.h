// The operations that trap their own failures all report them the same way.
#pragma once

#include "operations/context.h"

#include <string_view>

// Writes log_prefix + description to the log, then shows box_prefix + description in an error
// box, the log flushed first. Never throws: the run must go on after it.
void ReportTrappedError(Context& context, std::string_view log_prefix, std::string_view box_prefix,
                        std::string_view description);
