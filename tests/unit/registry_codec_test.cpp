// Every value the program reads is decoded by one codec: these are the shapes the registry really
// holds, well-formed or not, and what each reads as.
#include "platform/registry_values.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace {

using platform::RegistryValue;
using Bytes = std::vector<std::uint8_t>;

TEST(RegistryCodecTest, TextEndsAtItsFirstNulOrRunsWhole) {
    struct Case {
        const char* what;
        RegistryValue value;
        std::string text;
        bool holds_text;
    };
    const Case cases[] = {
        {"terminated", {platform::kRegSz, {'D', 0, ':', 0, 0, 0}}, "D:", true},
        {"unterminated", {platform::kRegSz, {'D', 0, ':', 0}}, "D:", true},
        {"a NUL inside", {platform::kRegSz, {'a', 0, 0, 0, 'b', 0, 0, 0}}, "a", true},
        {"no data", {platform::kRegSz, {}}, "", true},
        {"only a terminator", {platform::kRegSz, {0, 0}}, "", true},
        {"an odd last byte", {platform::kRegSz, {'A', 0, 'B'}}, "A", true},
        {"to be expanded", {platform::kRegExpandSz, {'%', 0, 'T', 0, '%', 0, 0, 0}}, "%T%", true},
        {"a surrogate pair",
         {platform::kRegSz, {0x3D, 0xD8, 0x00, 0xDE, 0, 0}},
         "\xF0\x9F\x98\x80",
         true},
        {"several strings",
         {platform::kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
         "a",
         false},
        {"a number", {platform::kRegDword, {'x', 0, 0, 0}}, "x", false},
        {"bytes", {platform::kRegBinary, {'y', 0}}, "y", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::text_of(c.value), c.text) << c.what;
        EXPECT_EQ(platform::holds_text(c.value), c.holds_text) << c.what;
    }
}

TEST(RegistryCodecTest, ANumberIsAFourByteDwordOnly) {
    struct Case {
        const char* what;
        RegistryValue value;
        std::optional<std::uint32_t> number;
    };
    const Case cases[] = {
        {"least significant first", {platform::kRegDword, {0x78, 0x56, 0x34, 0x12}}, 0x12345678u},
        {"every bit", {platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}, 0xFFFFFFFFu},
        {"the top bit alone", {platform::kRegDword, {0, 0, 0, 0x80}}, 0x80000000u},
        {"zero", {platform::kRegDword, {0, 0, 0, 0}}, 0u},
        {"short data", {platform::kRegDword, {1, 2}}, std::nullopt},
        {"no data", {platform::kRegDword, {}}, std::nullopt},
        {"long data", {platform::kRegDword, {1, 0, 0, 0, 0}}, std::nullopt},
        {"four bytes of another type", {platform::kRegBinary, {1, 0, 0, 0}}, std::nullopt},
        {"text", {platform::kRegSz, {'1', 0, 0, 0}}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::dword_of(c.value), c.number) << c.what;
    }
}

TEST(RegistryCodecTest, AListOfTextsIsItsNonEmptyStrings) {
    struct Case {
        const char* what;
        RegistryValue value;
        std::optional<std::vector<std::string>> texts;
    };
    using Texts = std::vector<std::string>;
    const Case cases[] = {
        {"two, as stored",
         {platform::kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
         Texts{"a", "b"}},
        {"without the list's end",
         {platform::kRegMultiSz, {'a', 0, 0, 0, 'b', 0}},
         Texts{"a", "b"}},
        {"an empty line between",
         {platform::kRegMultiSz, {'a', 0, 0, 0, 0, 0, 'b', 0, 0, 0}},
         Texts{"a", "b"}},
        {"empty", {platform::kRegMultiSz, {}}, Texts{}},
        {"an odd last byte", {platform::kRegMultiSz, {'a', 0, 'b'}}, Texts{"a"}},
        {"one text", {platform::kRegSz, {'a', 0, 0, 0}}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::texts_of(c.value), c.texts) << c.what;
    }
    const Texts written{"*\\VeskFont.ini", "Dätä"};
    EXPECT_EQ(platform::texts_of(platform::texts_value(written)), written);
    EXPECT_EQ(platform::texts_value({"a"}).data, (Bytes{'a', 0, 0, 0, 0, 0}));
}

TEST(RegistryCodecTest, WrittenValuesAreStoredAsTheSystemStoresThemAndReadBack) {
    const RegistryValue path = platform::text_value("C:\\Dätä");
    EXPECT_EQ(path.type, platform::kRegSz);
    EXPECT_EQ(path.data, (Bytes{'C', 0, ':', 0, '\\', 0, 'D', 0, 0xE4, 0, 't', 0, 0xE4, 0, 0, 0}));
    EXPECT_EQ(platform::text_of(path), "C:\\Dätä");
    const RegistryValue expand = platform::text_value("%TEMP%", platform::kRegExpandSz);
    EXPECT_EQ(expand.type, platform::kRegExpandSz);
    EXPECT_EQ(platform::text_of(expand), "%TEMP%");
    EXPECT_EQ(platform::text_value("").data, (Bytes{0, 0}));
    // A lone surrogate stays as it was: the backup's file may hold one.
    EXPECT_EQ(platform::string_data(u"\xD800"), (Bytes{0x00, 0xD8, 0, 0}));

    EXPECT_EQ(platform::dword_value(0x12345678u).data, (Bytes{0x78, 0x56, 0x34, 0x12}));
    for (const std::uint32_t number : {0u, 1u, 0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(platform::dword_of(platform::dword_value(number)), number);
    }
}

} // namespace
