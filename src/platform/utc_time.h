// Times as the program writes them: in UTC, never in the machine's zone.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <string>

namespace platform {

// A time in the system's 100-nanosecond ticks since 1601 (a file's last write, say).
UtcTime utc_time_of(std::uint64_t ticks);
// "2024-05-01T12:34:56Z", for what tools read.
std::string iso_8601(const UtcTime& time);
// "2024-05-01 12:34 UTC", for what people read.
std::string shown_utc(const UtcTime& time);

} // namespace platform
