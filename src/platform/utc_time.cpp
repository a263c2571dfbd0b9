#include "platform/utc_time.h"

namespace platform {
namespace {

std::string two_digits(int number) {
    std::string digits = std::to_string(number);
    return digits.size() < 2 ? digits.insert(0, 1, '0') : digits;
}

std::string date_of(const UtcTime& time) {
    return std::to_string(time.year) + "-" + two_digits(time.month) + "-" + two_digits(time.day);
}

} // namespace

UtcTime utc_time_of(std::uint64_t ticks) {
    constexpr std::uint64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kDaysFrom1601To1970 = 134'774;
    const std::uint64_t seconds = ticks / kTicksPerSecond;
    const auto second_of_day = static_cast<int>(seconds % 86'400);
    // Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
    const std::int64_t days =
        static_cast<std::int64_t>(seconds / 86'400) - kDaysFrom1601To1970 + 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const auto day_of_era = static_cast<unsigned>(days - era * 146'097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1'460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned shifted_month = (5 * day_of_year + 2) / 153;
    UtcTime time;
    time.day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    time.month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    time.year = static_cast<int>(static_cast<std::int64_t>(year_of_era) + era * 400 +
                                 (time.month <= 2 ? 1 : 0));
    time.hour = second_of_day / 3'600;
    time.minute = second_of_day % 3'600 / 60;
    time.second = second_of_day % 60;
    return time;
}

std::string iso_8601(const UtcTime& time) {
    return date_of(time) + "T" + two_digits(time.hour) + ":" + two_digits(time.minute) + ":" +
           two_digits(time.second) + "Z";
}

std::string shown_utc(const UtcTime& time) {
    return date_of(time) + " " + two_digits(time.hour) + ":" + two_digits(time.minute) + " UTC";
}

} // namespace platform
