// Registry values to and from what the program reads in them: text and numbers. Every reader of
// a value's data decodes it here, so that a string stored without its terminator or a number
// stored short reads the same everywhere.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Whether the value is text: REG_SZ or REG_EXPAND_SZ (the latter still to be expanded).
bool holds_text(const RegistryValue& value);
// The text of string data, whatever the value's type says: up to its first NUL, or whole when
// it was stored without one; an odd last byte is no part of it.
std::string text_of(const RegistryValue& value);
// The texts of a REG_MULTI_SZ, each up to its NUL, without the empty ones (the list's end, and
// what an editor leaves of an empty line); nullopt for any other type.
std::optional<std::vector<std::string>> texts_of(const RegistryValue& value);
// The number of a REG_DWORD of exactly four bytes; nullopt for any other type or size.
std::optional<std::uint32_t> dword_of(const RegistryValue& value);

// String data as the registry stores it: UTF-16LE with its terminating NUL.
std::vector<std::uint8_t> string_data(std::u16string_view text);
// A value of type REG_SZ (or REG_EXPAND_SZ) holding the text, terminator included.
RegistryValue text_value(std::string_view text, std::uint32_t type = kRegSz);
RegistryValue dword_value(std::uint32_t number);
// A REG_MULTI_SZ holding the texts, each ended by a NUL, and the list by another.
RegistryValue texts_value(const std::vector<std::string>& texts);

} // namespace platform
