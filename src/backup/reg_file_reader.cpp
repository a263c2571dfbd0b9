#include "backup/reg_file.h"
#include "platform/registry_values.h"
#include "platform/text.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <span>

namespace {

// A failure to understand the file at a line.
struct Misread {
    std::size_t line;
    std::string what;
};

class Reader {
public:
    explicit Reader(std::vector<std::u16string> lines) : lines_(std::move(lines)) {}

    RegFile read() {
        expect(line(0) == kRegFileHeaderLine, 0,
               "the first line is not \"Windows Registry Editor Version 5.00\"");
        RegFile file;
        std::set<std::u32string> paths;
        std::size_t at = 1;
        // The file is its keys, each after one or more empty lines, and ends with an empty line:
        // its last line break is the end of the text.
        while (true) {
            const std::size_t blank = at;
            while (at + 1 < lines_.size() && line(at).empty()) {
                ++at;
            }
            if (at + 1 == lines_.size()) {
                expect(line(at).empty(), at, "the text does not end with a line break");
                expect(at > blank, at, "the last key is not followed by an empty line");
                expect(!file.keys.empty(), at, "the file holds no key");
                return file;
            }
            expect(at > blank, at, "a key does not follow an empty line");
            RegKeyBlock key = read_key_line(at++);
            expect(paths.insert(platform::fold_case(key.path)).second, at - 1,
                   "the key is named twice");
            at = read_values(at, key);
            expect(at < lines_.size(), at - 1, "the text ends without an empty line after a key");
            file.keys.push_back(std::move(key));
        }
    }

private:
    const std::u16string& line(std::size_t index) const { return lines_[index]; }

    static void expect(bool holds, std::size_t index, std::string what) {
        if (!holds) {
            throw Misread{index + 1, std::move(what)};
        }
    }

    RegKeyBlock read_key_line(std::size_t index) const {
        const std::u16string& text = line(index);
        expect(text.size() > 2 && text.front() == u'[' && text.back() == u']', index,
               "a key line is not \"[path]\"");
        // From the line's first bracket to its last: a key's name may hold brackets itself.
        const std::u16string path = text.substr(1, text.size() - 2);
        expect(path.front() != u'-', index, "a key line asks for a deletion");
        expect(path.find(u"\\\\") == std::u16string::npos && path.back() != u'\\', index,
               "a key path has an empty name in it");
        return {platform::utf8_from_utf16(path), {}};
    }

    // The value lines after a key line, up to the empty line that ends them.
    std::size_t read_values(std::size_t at, RegKeyBlock& key) const {
        std::set<std::u32string> names;
        while (at < lines_.size() && !line(at).empty()) {
            std::size_t column = 0;
            const std::u16string& text = line(at);
            std::string name = read_name(text, column, at);
            expect(names.insert(platform::fold_case(name)).second, at, "a value is named twice");
            platform::RegistryValue value = read_data(at, column);
            key.values.emplace_back(std::move(name), std::move(value));
            ++at;
        }
        return at;
    }

    std::string read_name(const std::u16string& text, std::size_t& column,
                          std::size_t index) const {
        if (text.starts_with(u"@=")) {
            column = 2;
            return {};
        }
        expect(text.starts_with(u"\""), index, "a value line does not begin with @ or a quote");
        column = 1;
        const std::u16string name = read_quoted(text, column, index);
        expect(column < text.size() && text[column] == u'=', index,
               "a value's name is not followed by =");
        ++column;
        expect(!name.empty(), index, "a value's name is empty (the default value is @)");
        return platform::utf8_from_utf16(name);
    }

    // The text up to the closing quote, its escapes undone; column ends after the quote.
    static std::u16string read_quoted(const std::u16string& text, std::size_t& column,
                                      std::size_t index) {
        std::u16string out;
        while (true) {
            expect(column < text.size(), index, "a quoted text does not end on its line");
            const char16_t c = text[column++];
            if (c == u'"') {
                return out;
            }
            if (c != u'\\') {
                out += c;
                continue;
            }
            expect(column < text.size(), index, "a backslash ends the line");
            const auto escape = std::ranges::find(kRegEscapes, text[column++], &RegEscape::written);
            expect(escape != std::end(kRegEscapes), index, "an unknown escape after a backslash");
            out += escape->meant;
        }
    }

    // The data after "=": a quoted string, a DWORD, or a hex list that may go on over lines.
    platform::RegistryValue read_data(std::size_t& at, std::size_t column) const {
        const std::u16string rest = line(at).substr(column);
        if (rest.starts_with(u"\"")) {
            std::size_t inner = 1;
            std::u16string text = read_quoted(rest, inner, at);
            expect(inner == rest.size(), at, "something follows a quoted value");
            return {platform::kRegSz, platform::string_data(text)};
        }
        if (rest.starts_with(u"dword:")) {
            expect(rest.size() == 14, at, "a dword is not eight hex digits");
            return platform::dword_value(read_hex_number(rest.substr(6), at));
        }
        std::uint32_t type = platform::kRegBinary;
        std::size_t list = 0;
        if (rest.starts_with(u"hex:")) {
            list = 4;
        } else {
            expect(rest.starts_with(u"hex("), at, "unknown data: not a string, dword or hex list");
            const std::size_t close = rest.find(u"):");
            expect(close != std::u16string::npos && close > 4 && close <= 12, at,
                   "a hex type is not \"hex(type):\"");
            type = read_hex_number(rest.substr(4, close - 4), at);
            list = close + 2;
        }
        return {type, read_hex_bytes(at, column + list)};
    }

    static std::uint32_t read_hex_number(std::u16string_view digits, std::size_t index) {
        std::uint32_t number = 0;
        for (const char16_t c : digits) {
            expect(hex_value(c) >= 0, index, "not a hex digit");
            number = number * 16 + static_cast<std::uint32_t>(hex_value(c));
        }
        return number;
    }

    static int hex_value(char16_t c) {
        if (c >= u'0' && c <= u'9') {
            return c - u'0';
        }
        if (c >= u'a' && c <= u'f') {
            return c - u'a' + 10;
        }
        if (c >= u'A' && c <= u'F') {
            return c - u'A' + 10;
        }
        return -1;
    }

    // "xx,xx,...", where a line may end after a comma with a backslash and the list go on at
    // the next line after two blanks.
    std::vector<std::uint8_t> read_hex_bytes(std::size_t& at, std::size_t column) const {
        std::vector<std::uint8_t> bytes;
        const std::u16string* text = &line(at);
        if (column == text->size()) {
            return bytes;
        }
        while (true) {
            expect(column + 2 <= text->size() && hex_value((*text)[column]) >= 0 &&
                       hex_value((*text)[column + 1]) >= 0,
                   at, "a byte of a hex list is not two hex digits");
            bytes.push_back(static_cast<std::uint8_t>(hex_value((*text)[column]) * 16 +
                                                      hex_value((*text)[column + 1])));
            column += 2;
            if (column == text->size()) {
                return bytes;
            }
            expect((*text)[column] == u',', at, "bytes of a hex list are not separated by commas");
            ++column;
            if (column + 1 == text->size() && (*text)[column] == u'\\') {
                ++at;
                expect(at + 1 < lines_.size() && line(at).starts_with(u"  ") && line(at).size() > 2,
                       at, "a hex list's next line does not go on after two blanks");
                text = &line(at);
                column = 2;
            }
        }
    }

    std::vector<std::u16string> lines_;
};

// The text split at its CR LF pairs; a carriage return or line feed alone is an error.
std::variant<std::vector<std::u16string>, RegFileError> lines_of(std::u16string_view text) {
    std::vector<std::u16string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            lines.emplace_back();
            ++i;
        } else if (text[i] == u'\r' || text[i] == u'\n') {
            return RegFileError{lines.size(), "a line break is not CR LF"};
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

} // namespace

std::variant<RegFile, RegFileError> parse_reg_file(std::string_view bytes) {
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE) {
        return RegFileError{0, "the file is not UTF-16 text with a byte-order mark"};
    }
    if (bytes.size() % 2 != 0) {
        return RegFileError{0, "the file ends in the middle of a character"};
    }
    const std::u16string text = platform::utf16_from_le_bytes(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, bytes.size() - 2));
    auto lines = lines_of(text);
    if (const auto* error = std::get_if<RegFileError>(&lines)) {
        return *error;
    }
    try {
        return Reader(std::move(std::get<std::vector<std::u16string>>(lines))).read();
    } catch (const Misread& misread) {
        return RegFileError{misread.line, misread.what};
    }
}
