// The registry editor's file format as the backups write it and the restore reads it: the
// exact text of every kind of value, and a reader that takes nothing but whole, well-formed
// files.
#include "backup/reg_file.h"
#include "fake_platform.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

using platform::RegistryValue;

const std::string kKey = "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\VeskMain";

RegistryValue bytes(std::uint32_t type, std::vector<std::uint8_t> data) {
    return {type, std::move(data)};
}

RegKeyBlock every_kind_of_value() {
    std::vector<std::uint8_t> long_binary;
    for (std::uint8_t b = 0; b < 40; ++b) {
        long_binary.push_back(b);
    }
    return {kKey,
            {{"Window", fake::reg_sz("Main")},
             {"", fake::reg_sz("x")},
             {"Say \"hi\"\\now", fake::reg_sz("C:\\Vesk \"4\"")},
             {"Size", bytes(platform::kRegDword, {0x10, 0, 0, 0})},
             {"Short dword", bytes(platform::kRegDword, {0x10, 0})},
             {"Raw", fake::reg_sz("ab", false)},
             {"Empty", bytes(platform::kRegSz, {})},
             {"Two lines", fake::reg_sz("a\r\nb")},
             {"Expand", bytes(platform::kRegExpandSz, {'%', 0, 'A', 0, '%', 0, 0, 0})},
             {"None", bytes(0, {})},
             {"Odd", bytes(0xabcd, {'V', 'a', 'l', 'u', 'e', 0})},
             {"Long", bytes(platform::kRegBinary, long_binary)},
             {"Данные ☃", fake::reg_sz("Ωμέγα")}}};
}

std::string utf8(const std::u16string& text) {
    return platform::utf8_from_utf16(text);
}

std::string file_bytes(const std::vector<RegKeyBlock>& keys) {
    std::u16string text = reg_file_header();
    for (const RegKeyBlock& key : keys) {
        text += reg_key_block(key) + u"\r\n";
    }
    return utf16le_bytes(text);
}

void expect_same(const std::vector<RegKeyBlock>& read, const std::vector<RegKeyBlock>& written) {
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t k = 0; k < read.size(); ++k) {
        EXPECT_EQ(read[k].path, written[k].path);
        ASSERT_EQ(read[k].values.size(), written[k].values.size()) << read[k].path;
        for (std::size_t v = 0; v < read[k].values.size(); ++v) {
            const auto& [name, value] = read[k].values[v];
            EXPECT_EQ(name, written[k].values[v].first);
            EXPECT_EQ(value.type, written[k].values[v].second.type) << name;
            EXPECT_EQ(value.data, written[k].values[v].second.data) << name;
        }
    }
}

RegFileError error_of(std::string_view bytes) {
    const auto parsed = parse_reg_file(bytes);
    EXPECT_TRUE(std::holds_alternative<RegFileError>(parsed));
    return std::holds_alternative<RegFileError>(parsed) ? std::get<RegFileError>(parsed)
                                                        : RegFileError{};
}

TEST(RegFileTest, EveryKindOfValueIsWrittenAsTheRegistryEditorWritesIt) {
    EXPECT_EQ(utf16le_bytes(reg_file_header()).substr(0, 4), std::string("\xFF\xFEW\0", 4));
    EXPECT_EQ(
        utf8(reg_key_block(every_kind_of_value())),
        "\r\n[" + kKey +
            "]\r\n"
            "\"Window\"=\"Main\"\r\n"
            "@=\"x\"\r\n"
            "\"Say \\\"hi\\\"\\\\now\"=\"C:\\\\Vesk \\\"4\\\"\"\r\n"
            "\"Size\"=dword:00000010\r\n"
            "\"Short dword\"=hex(4):10,00\r\n"
            "\"Raw\"=hex(1):61,00,62,00\r\n"
            "\"Empty\"=hex(1):\r\n"
            "\"Two lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
            "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
            "\"None\"=hex(0):\r\n"
            "\"Odd\"=hex(abcd):56,61,6c,75,65,00\r\n"
            "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
            "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\r\n"
            "\"Данные ☃\"=\"Ωμέγα\"\r\n");
}

TEST(RegFileTest, LongListsWrapAtTheSameColumnsAsTheRegistryEditor) {
    // Seventy-five bytes: after a short name, 23 on the first line, then 25 a line.
    const RegKeyBlock key{
        kKey, {{"B", bytes(platform::kRegBinary, std::vector<std::uint8_t>(75, 0xab))}}};
    const std::string text = utf8(reg_key_block(key));
    std::vector<std::size_t> per_line;
    for (std::size_t start = text.find("\"B\"=hex:"), end; start != std::string::npos;
         start = end == std::string::npos ? end : end + 2) {
        end = text.find("\r\n", start);
        const std::string line = text.substr(start, end - start);
        per_line.push_back(static_cast<std::size_t>(std::count(line.begin(), line.end(), 'b')));
        if (line.back() != '\\') {
            break;
        }
    }
    EXPECT_EQ(per_line, (std::vector<std::size_t>{23, 25, 25, 2}));
}

// A line break or a NUL in a name would end its line early: the rest would be read as keys and
// values of their own, deletions included.
TEST(RegFileTest, OnlyNamesThatStayOnOneLineCanBeHeld) {
    EXPECT_TRUE(reg_file_can_hold_name("a]b [c] \"quoted\" back\\slash Ωμέγα"));
    for (const std::string_view name :
         {std::string_view("a\r\n[-HKEY_CURRENT_USER\\Software]"), std::string_view("a\rb"),
          std::string_view("a\nb"), std::string_view("a\0b", 3)}) {
        EXPECT_FALSE(reg_file_can_hold_name(name)) << name;
    }
}

TEST(RegFileTest, WhatIsWrittenIsReadBackExactly) {
    const std::vector<RegKeyBlock> keys = {every_kind_of_value(),
                                           {kKey + "\\Empty subkey", {}},
                                           {kKey + "\\Ωμέγα", {{"", bytes(3, {1})}}},
                                           {kKey + "\\a]b", {}},
                                           {kKey + "\\[c]", {{"[d]", bytes(3, {2})}}}};
    const auto parsed = parse_reg_file(file_bytes(keys));
    ASSERT_TRUE(std::holds_alternative<RegFile>(parsed)) << std::get<RegFileError>(parsed).what;
    expect_same(std::get<RegFile>(parsed).keys, keys);
}

// The shape "reg export" writes for one key: its blocks, then one empty line.
TEST(RegFileTest, TheSystemsExportOfOneKeyIsRead) {
    const std::u16string exported = reg_file_header() + u"\r\n[" + platform::utf16_from_utf8(kKey) +
                                    u"]\r\n\"Size\"=dword:0000000A\r\n\r\n";
    const auto parsed = parse_reg_file(utf16le_bytes(exported));
    ASSERT_TRUE(std::holds_alternative<RegFile>(parsed));
    EXPECT_EQ(std::get<RegFile>(parsed).keys[0].values[0].second.data,
              (std::vector<std::uint8_t>{10, 0, 0, 0}));
}

// A cut inside a key is never taken. A cut between two keys leaves a whole file of the keys
// before it, which is what a backup holds when the cleaning stopped there.
TEST(RegFileTest, ATruncatedFileNeverGivesHalfAKey) {
    const std::vector<RegKeyBlock> keys = {every_kind_of_value(), {kKey + "\\Sub", {}}};
    const std::string whole = file_bytes(keys);
    ASSERT_TRUE(std::holds_alternative<RegFile>(parse_reg_file(whole)));
    const std::size_t first_key_ends = file_bytes({keys[0]}).size();
    std::vector<std::size_t> taken;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const auto parsed = parse_reg_file(whole.substr(0, length));
        if (std::holds_alternative<RegFile>(parsed)) {
            taken.push_back(length);
            expect_same(std::get<RegFile>(parsed).keys, {keys[0]});
        }
    }
    // The first key's end, and with its second empty line.
    EXPECT_EQ(taken, (std::vector<std::size_t>{first_key_ends, first_key_ends + 4}));
}

TEST(RegFileTest, AHandEditedFileSaysWhereItStoppedBeingUnderstood) {
    const auto file = [](std::u16string body) {
        return utf16le_bytes(reg_file_header() + u"\r\n[" + platform::utf16_from_utf8(kKey) +
                             u"]\r\n" + body + u"\r\n");
    };
    struct Edit {
        std::u16string body;
        std::size_t line;
        std::string what;
    };
    for (const Edit& edit : std::vector<Edit>{
             {u"\"a\"=dword:1\r\n", 4, "a dword is not eight hex digits"},
             {u"\"a\"=\"x\\q\"\r\n", 4, "an unknown escape after a backslash"},
             {u"\"a\"=\"x\"y\r\n", 4, "something follows a quoted value"},
             {u"\"a\"=hex:0g\r\n", 4, "a byte of a hex list is not two hex digits"},
             {u"\"a\"=hex:01,\\\r\n02\r\n", 5,
              "a hex list's next line does not go on after two blanks"},
             {u"\"a\"=1\r\n\"a\"=\"2\"\r\n", 4, "unknown data: not a string, dword or hex list"},
             {u"\"a\"=\"1\"\r\n\"A\"=\"2\"\r\n", 5, "a value is named twice"},
             {u"a=\"1\"\r\n", 4, "a value line does not begin with @ or a quote"},
             {u"\"\"=\"1\"\r\n", 4, "a value's name is empty (the default value is @)"},
             {u"\"a\"=\"1\"\r\n\r\n[-HKEY_CURRENT_USER\\x]\r\n", 6,
              "a key line asks for a deletion"},
             {u"\"a\"=\"1\"\r\n\r\n[" + platform::utf16_from_utf8(kKey) + u"]\r\n", 6,
              "the key is named twice"},
             {u"\r\n[" + platform::utf16_from_utf8(kKey) + u"\\\\Sub]\r\n", 5,
              "a key path has an empty name in it"},
         }) {
        const RegFileError error = error_of(file(edit.body));
        EXPECT_EQ(error.line, edit.line) << platform::utf8_from_utf16(edit.body);
        EXPECT_EQ(error.what, edit.what) << platform::utf8_from_utf16(edit.body);
    }
    EXPECT_EQ(error_of("REGEDIT4\r\n").what, "the file is not UTF-16 text with a byte-order mark");
    EXPECT_EQ(error_of(utf16le_bytes(u"\xFEFFREGEDIT4\r\n\r\n")).what,
              "the first line is not \"Windows Registry Editor Version 5.00\"");
    EXPECT_EQ(error_of(utf16le_bytes(reg_file_header() + u"\n[x]\r\n\r\n")).what,
              "a line break is not CR LF");
    EXPECT_EQ(error_of(utf16le_bytes(reg_file_header() + u"\r\n")).what, "the file holds no key");
}

} // namespace
