#include "operations/profile.h"

namespace {

constexpr std::string_view kUserSidPrefix = "S-1-5-21-";

} // namespace

bool is_user_sid(std::string_view text) {
    if (!text.starts_with(kUserSidPrefix)) {
        return false;
    }
    text.remove_prefix(kUserSidPrefix.size());
    bool digit_before = false;
    for (const char c : text) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit && (c != '-' || !digit_before)) {
            return false;
        }
        digit_before = digit;
    }
    return digit_before;
}
