// The wildcard matcher decides what the cleaning may touch: every case here is a file that must
// or must not be deleted.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

using platform::wildcard_match;

TEST(WildcardTest, TemporaryFilePatterns) {
    EXPECT_TRUE(wildcard_match("*.$*", "proj.$$$"));
    EXPECT_TRUE(wildcard_match("*.$*", "a.$"));
    EXPECT_FALSE(wildcard_match("*.$*", "proj.tmp"));
    EXPECT_TRUE(wildcard_match("log*.txt", "log.txt"));
    EXPECT_TRUE(wildcard_match("log*.txt", "logfile.txt"));
    EXPECT_TRUE(wildcard_match("log*.txt", "LOG2.TXT"));
    EXPECT_FALSE(wildcard_match("log*.txt", "mylog.txt"));
    EXPECT_FALSE(wildcard_match("log*.txt", "log.txt.bak"));
    EXPECT_TRUE(wildcard_match("*.tlb", "Main.tlb"));
    EXPECT_FALSE(wildcard_match("*.tlb", "Setup.tlbak"));
    EXPECT_FALSE(wildcard_match("*.tlb", "tlb"));
}

TEST(WildcardTest, QuestionMarkIsOneCharacterNotOneByte) {
    EXPECT_TRUE(wildcard_match("?.ini", "ä.ini"));
    EXPECT_FALSE(wildcard_match("??.ini", "ä.ini"));
    EXPECT_TRUE(wildcard_match("*", ""));
    EXPECT_FALSE(wildcard_match("?", ""));
}

TEST(WildcardTest, CaseIsIgnoredBeyondAscii) {
    EXPECT_TRUE(wildcard_match("ÄRGER.INI", "ärger.ini"));
    EXPECT_TRUE(platform::iequals("ДАННЫЕ", "данные"));
    EXPECT_FALSE(platform::iequals("a", "b"));
}

TEST(WildcardTest, AStarInThePatternIsAWildcardEvenFacingAStarInTheName) {
    EXPECT_TRUE(wildcard_match("*", "*LOG2.TXT"));
    EXPECT_TRUE(wildcard_match("log*.txt", "log*x.txt"));
    EXPECT_TRUE(wildcard_match("*.tlb", "*.tlb"));
    EXPECT_FALSE(wildcard_match("a*", "*a"));
}

TEST(WildcardTest, MalformedUtf8NeverPassesForAWildcardOrAnAsciiCharacter) {
    // Overlong forms of '*', '?' and 'a', a UTF-8 surrogate, a number beyond U+10FFFF.
    EXPECT_FALSE(wildcard_match("\xC0\xAA", "anything"));
    EXPECT_FALSE(wildcard_match("\xE0\x80\xBF", "x"));
    EXPECT_FALSE(platform::iequals("\xC1\xA1", "a"));
    EXPECT_TRUE(platform::iequals("\xC0\xAA", "\xEF\xBF\xBD\xEF\xBF\xBD"));
    EXPECT_EQ(platform::utf16_from_utf8("\xED\xA0\x80"), u"\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(platform::utf16_from_utf8("\xF4\x90\x80\x80"), u"\xFFFD\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(platform::utf16_from_utf8("\xF4\x8F\xBF\xBF"), u"\xDBFF\xDFFF");
}

TEST(WildcardTest, ManyStarsStayFast) {
    const std::string name(5000, 'a');
    EXPECT_FALSE(wildcard_match("*a*a*a*a*a*a*a*a*b", name));
}

TEST(Utf16Test, RoundTripAndBrokenSurrogates) {
    const std::string text = "C:\\Δata\\𝄞";
    EXPECT_EQ(platform::utf8_from_utf16(platform::utf16_from_utf8(text)), text);
    EXPECT_EQ(platform::utf8_from_utf16(u"\xD800x"), "\xEF\xBF\xBDx");
}

} // namespace
