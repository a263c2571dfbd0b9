#include "backup/backup_contents.h"

#include "platform/text.h"

#include <optional>

namespace {

constexpr std::size_t kDigestDigits = 64;

bool is_digest(std::string_view text) {
    return text.size() == kDigestDigits &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A decimal size without sign or leading zero; nullopt when it is none or does not fit.
std::optional<std::uint64_t> size_of(std::string_view digits) {
    if (digits.empty() || digits.size() > 19 || (digits.size() > 1 && digits[0] == '0') ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::uint64_t size = 0;
    for (const char digit : digits) {
        size = size * 10 + static_cast<std::uint64_t>(digit - '0');
    }
    return size;
}

} // namespace

std::string contents_line(std::string_view name, std::uint64_t size, std::string_view sha256) {
    return std::string(sha256) + " " + std::to_string(size) + " " + std::string(name) + "\r\n";
}

std::variant<RecordedContents, std::string> read_contents(std::string_view text) {
    RecordedContents contents;
    std::size_t line = 1;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        if (end == std::string_view::npos) {
            return "line " + std::to_string(line) + " is cut short";
        }
        const std::string_view entry = text.substr(0, end);
        text.remove_prefix(end + 2);
        const std::string why =
            "line " + std::to_string(line) + " is not a digest, a size and a name";
        if (entry.size() <= kDigestDigits + 1 || !is_digest(entry.substr(0, kDigestDigits)) ||
            entry[kDigestDigits] != ' ') {
            return why;
        }
        const std::string_view rest = entry.substr(kDigestDigits + 1);
        const std::size_t blank = rest.find(' ');
        const auto size = size_of(rest.substr(0, blank));
        if (blank == std::string_view::npos || blank + 1 == rest.size() || !size) {
            return why;
        }
        contents[platform::fold_case(rest.substr(blank + 1))] =
            RecordedItem{*size, std::string(entry.substr(0, kDigestDigits))};
        ++line;
    }
    return contents;
}
