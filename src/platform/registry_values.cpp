#include "platform/registry_values.h"

#include "platform/text.h"

#include <algorithm>

namespace platform {

bool holds_text(const RegistryValue& value) {
    return value.type == kRegSz || value.type == kRegExpandSz;
}

std::string text_of(const RegistryValue& value) {
    std::u16string text = utf16_from_le_bytes(value.data);
    text.resize(std::min(text.size(), text.find(u'\0')));
    return utf8_from_utf16(text);
}

std::optional<std::vector<std::string>> texts_of(const RegistryValue& value) {
    if (value.type != kRegMultiSz) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    const std::u16string all = utf16_from_le_bytes(value.data);
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = std::min(all.size(), all.find(u'\0', start));
        if (end > start) {
            texts.push_back(utf8_from_utf16(std::u16string_view(all).substr(start, end - start)));
        }
        start = end + 1;
    }
    return texts;
}

std::optional<std::uint32_t> dword_of(const RegistryValue& value) {
    if (value.type != kRegDword || value.data.size() != 4) {
        return std::nullopt;
    }
    return value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
           (static_cast<std::uint32_t>(value.data[3]) << 24);
}

std::vector<std::uint8_t> string_data(std::u16string_view text) {
    std::vector<std::uint8_t> data;
    data.reserve((text.size() + 1) * 2);
    for (const char16_t unit : text) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    data.insert(data.end(), 2, 0);
    return data;
}

RegistryValue text_value(std::string_view text, std::uint32_t type) {
    return {type, string_data(utf16_from_utf8(text))};
}

RegistryValue dword_value(std::uint32_t number) {
    return {kRegDword,
            {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
             static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
}

RegistryValue texts_value(const std::vector<std::string>& texts) {
    std::u16string all;
    for (const std::string& text : texts) {
        all += utf16_from_utf8(text);
        all += u'\0';
    }
    return {kRegMultiSz, string_data(all)};
}

} // namespace platform
