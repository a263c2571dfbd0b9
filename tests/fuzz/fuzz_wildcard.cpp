// The wildcard matcher against a plain dynamic-programming matcher, and the laws any file-name
// matcher must keep. The input is the pattern, a NUL byte, then the name.
#include "fuzz_check.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Whether the whole folded name matches the folded pattern: O(pattern × name), no cleverness.
bool reference_match(const std::u32string& pattern, const std::u32string& name) {
    // row[j]: the pattern read so far matches the first j characters of the name.
    std::vector<char> row(name.size() + 1, 0);
    row[0] = 1;
    for (const char32_t p : pattern) {
        std::vector<char> next(name.size() + 1, 0);
        if (p == U'*') {
            next[0] = row[0];
            for (std::size_t j = 1; j <= name.size(); ++j) {
                next[j] = static_cast<char>(row[j] || next[j - 1]);
            }
        } else {
            for (std::size_t j = 1; j <= name.size(); ++j) {
                next[j] = static_cast<char>(row[j - 1] && (p == U'?' || p == name[j - 1]));
            }
        }
        row = std::move(next);
    }
    return row[name.size()] != 0;
}

bool has_wildcards(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

std::string ascii_upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view pattern = input.substr(0, split);
    const std::string_view name =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    const bool matched = platform::wildcard_match(pattern, name);
    FUZZ_CHECK(matched == reference_match(platform::fold_case(pattern), platform::fold_case(name)));

    FUZZ_CHECK(platform::wildcard_match("*", name));
    if (matched) {
        // Widening a pattern that matches keeps it matching.
        FUZZ_CHECK(platform::wildcard_match(std::string(pattern) + "*", name));
        FUZZ_CHECK(platform::wildcard_match("*" + std::string(pattern), name));
    }
    if (!has_wildcards(name)) {
        FUZZ_CHECK(platform::wildcard_match(name, name));
        FUZZ_CHECK(platform::wildcard_match(ascii_upper(name), name));
        FUZZ_CHECK(platform::wildcard_match("*" + std::string(name) + "*", name));
    }
    if (!has_wildcards(pattern)) {
        // Without wildcards a pattern matches exactly the names equal to it but for case.
        FUZZ_CHECK(matched == platform::iequals(pattern, name));
    }
    return 0;
}
