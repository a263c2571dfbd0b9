// The registry editor's file format, version 5: what the system's "reg export" writes and both
// the registry editor and "reg import" read. The backups are written in it so that a user can
// restore them without us; the restore reads them with a strict reader of our own.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// One key and its values, as the file holds it. The path is full: "HKEY_CURRENT_USER\...".
struct RegKeyBlock {
    std::string path;
    std::vector<std::pair<std::string, platform::RegistryValue>> values; // in file order
};

// The file's first line, after its byte-order mark.
inline constexpr std::u16string_view kRegFileHeaderLine = u"Windows Registry Editor Version 5.00";

// The escapes of a quoted text: each character the file writes after a backslash, and the
// character it stands for. The writer and the reader both go by this one table.
struct RegEscape {
    char16_t written;
    char16_t meant;
};
inline constexpr RegEscape kRegEscapes[] = {
    {u'\\', u'\\'}, {u'"', u'"'}, {u'r', u'\r'}, {u'n', u'\n'}};

// The file's first line, byte-order mark included.
std::u16string reg_file_header();
// One key as "reg export" writes it: an empty line, "[path]", then a line for each value, data
// wrapped as the registry editor wraps it. Text that "reg export" would shorten (a string value
// without its terminator, with a NUL, a carriage return or a line feed in it; a DWORD value of
// another size than four bytes) is written as a hex list of its type instead, so that it comes
// back exactly.
std::u16string reg_key_block(const RegKeyBlock& key);
// Whether a key or value name goes into the file and comes back the same: a line break or a NUL
// in it would end the line early, and the registry editor would read the rest as keys and values
// of its own.
bool reg_file_can_hold_name(std::string_view name);
// UTF-16 text as the file stores it: little-endian bytes.
std::string utf16le_bytes(std::u16string_view text);

struct RegFile {
    std::vector<RegKeyBlock> keys;
};
// Where the reader stopped understanding a file, and why.
struct RegFileError {
    std::size_t line = 0; // from 1; 0 for the file as a whole
    std::string what;
};
// Reads exactly the shape that reg_file_header and reg_key_block write (which is also what
// "reg export" writes for a key), one or more keys, each followed by an empty line at the end.
// Anything else - a truncated file, an unknown escape, a stray character, a key or value named
// twice - is an error, and nothing of the file is taken.
std::variant<RegFile, RegFileError> parse_reg_file(std::string_view bytes);
