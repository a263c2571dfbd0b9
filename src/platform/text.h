// Portable text helpers shared by the logic, the Win32 layer and the fake platform.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8_from_utf16(std::u16string_view text);
std::u16string utf16_from_utf8(std::string_view text);
std::string utf8_from_utf32(std::u32string_view text);
// Little-endian UTF-16 bytes as stored in the registry; an odd last byte is ignored.
std::u16string utf16_from_le_bytes(std::span<const std::uint8_t> bytes);

// Matches a whole name against a file-name pattern with * (any run, none included) and ?
// (exactly one character), letters compared without regard to case. Works on characters,
// not bytes, so ? matches one non-ASCII character.
bool wildcard_match(std::string_view pattern, std::string_view name);

// Case-insensitive equality of two names, as the file system and the registry compare them.
bool iequals(std::string_view a, std::string_view b);
// The name folded to one case, for use as a map key.
std::u32string fold_case(std::string_view text);

} // namespace platform
