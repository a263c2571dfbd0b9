// Keep patterns: whether a pattern can match something inside an item decides whether the item's
// inside is looked at, so it must never say no where a name inside would match. The input is the
// pattern, a NUL byte, the item's name, a NUL byte, and the rest of a name inside it.
#include "fuzz_check.h"
#include "model/keep_list.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t first = input.find('\0');
    const std::size_t second =
        first == std::string_view::npos ? first : input.find('\0', first + 1);
    if (second == std::string_view::npos) {
        return 0;
    }
    const std::string_view pattern = input.substr(0, first);
    const std::string_view name = input.substr(first + 1, second - first - 1);
    const std::string inside = std::string(name) + "\\" + std::string(input.substr(second + 1));
    if (keep_pattern_matches(pattern, inside)) {
        FUZZ_CHECK(keep_pattern_reaches_below(pattern, name));
    }
    // A pattern that matches only by what follows a backslash reaches below the name with it.
    if (keep_pattern_reaches_below(pattern, inside)) {
        FUZZ_CHECK(keep_pattern_reaches_below(pattern, name));
    }
    return 0;
}
