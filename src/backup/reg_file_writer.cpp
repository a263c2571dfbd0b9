#include "backup/reg_file.h"
#include "platform/registry_values.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
// The registry editor ends a hex list's line once it has reached this many characters.
constexpr std::size_t kHexLineBudget = 77;
constexpr std::u16string_view kHexContinuation = u"\\\r\n  ";
constexpr std::u16string_view kCrLf = u"\r\n";

std::u16string escaped(std::u16string_view text) {
    std::u16string out;
    for (const char16_t c : text) {
        const auto escape = std::ranges::find(kRegEscapes, c, &RegEscape::meant);
        if (escape == std::end(kRegEscapes)) {
            out += c;
        } else {
            out += u'\\';
            out += escape->written;
        }
    }
    return out;
}

// At least width lower-case hex digits; a 32-bit number has at most eight.
std::u16string hex_digits(std::uint32_t number, std::size_t width) {
    static constexpr std::string_view kDigits = "0123456789abcdef";
    std::array<char16_t, 8> digits{};
    std::size_t length = 0;
    do {
        digits[digits.size() - ++length] = static_cast<char16_t>(kDigits[number % 16]);
        number /= 16;
    } while (number != 0);
    while (length < width) {
        digits[digits.size() - ++length] = u'0';
    }
    return std::u16string(digits.end() - static_cast<std::ptrdiff_t>(length), digits.end());
}

std::u16string name_part(const std::string& name) {
    if (name.empty()) {
        return u"@=";
    }
    std::u16string part(1, u'"');
    part += escaped(platform::utf16_from_utf8(name));
    part += u"\"=";
    return part;
}

// The text of a REG_SZ value that the quoted form gives back exactly: one terminating NUL at
// the end and nothing the registry editor would cut at or could not put on one line.
std::optional<std::u16string> plain_string(const platform::RegistryValue& value) {
    if (value.type != platform::kRegSz || value.data.size() < 2 || value.data.size() % 2 != 0) {
        return std::nullopt;
    }
    std::u16string text = platform::utf16_from_le_bytes(value.data);
    if (text.back() != u'\0') {
        return std::nullopt;
    }
    text.pop_back();
    if (text.find_first_of(u"\0\r\n", 0, 3) != std::u16string::npos) {
        return std::nullopt;
    }
    return text;
}

std::u16string hex_list(std::size_t line_length, const platform::RegistryValue& value) {
    std::u16string out = value.type == platform::kRegBinary
                             ? std::u16string(u"hex:")
                             : u"hex(" + hex_digits(value.type, 1) + u"):";
    line_length += out.size();
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        out += hex_digits(value.data[i], 2);
        if (i + 1 == value.data.size()) {
            break;
        }
        out += u',';
        line_length += 3;
        if (line_length >= kHexLineBudget) {
            out += kHexContinuation;
            line_length = 2;
        }
    }
    return out;
}

std::u16string value_line(const std::string& name, const platform::RegistryValue& value) {
    const std::u16string head = name_part(name);
    if (const auto text = plain_string(value)) {
        return head + u"\"" + escaped(*text) + u"\"" + std::u16string(kCrLf);
    }
    if (const auto number = platform::dword_of(value)) {
        return head + u"dword:" + hex_digits(*number, 8) + std::u16string(kCrLf);
    }
    return head + hex_list(head.size(), value) + std::u16string(kCrLf);
}

} // namespace

std::u16string reg_file_header() {
    return std::u16string(1, kByteOrderMark) + std::u16string(kRegFileHeaderLine) +
           std::u16string(kCrLf);
}

std::u16string reg_key_block(const RegKeyBlock& key) {
    std::u16string out = std::u16string(kCrLf) + u"[" + platform::utf16_from_utf8(key.path) + u"]" +
                         std::u16string(kCrLf);
    for (const auto& [name, value] : key.values) {
        out += value_line(name, value);
    }
    return out;
}

bool reg_file_can_hold_name(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string utf16le_bytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}
