// The record a backup keeps of what it holds: for each item, once it is whole, its size and
// SHA-256. A restore takes only a backup whose files are exactly what the record says, so a
// backup cut short (a full disk, a killed program) or altered since is never half restored.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>

inline constexpr std::string_view kContentsName = "contents.sha256";

struct RecordedItem {
    std::uint64_t size = 0;
    std::string sha256; // 64 lower-case hex digits
};
// By the item's case-folded name; a name recorded again (the registry file after each key)
// counts as last recorded.
using RecordedContents = std::map<std::u32string, RecordedItem>;

// One line of the record: digest, size and name, with its line break.
std::string contents_line(std::string_view name, std::uint64_t size, std::string_view sha256);
// The record, or why it is not one: anything but whole lines of that shape.
std::variant<RecordedContents, std::string> read_contents(std::string_view text);
