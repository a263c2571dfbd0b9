// The cleaning log: choosing its number, creating it safely, and the layout of its lines.
#include "fake_platform.h"
#include "log/cleaning_log.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kHost = "D:\\Host";

class LogNameTest : public testing::Test {
protected:
    LogNameTest() { fake.add_dir(kHost); }
    void add_logs(int from, int to) {
        for (int n = from; n <= to; ++n) {
            fake.add_file(std::string(kHost) + "\\Cleaning" + std::to_string(n) + ".log");
        }
    }
    std::string choose() { return ChooseLogFileName(fake, kHost); }
    fake::FakePlatform fake;
};

TEST_F(LogNameTest, LowestFreeNumberWins) {
    EXPECT_EQ(choose(), "Cleaning1.log");
    add_logs(1, 2);
    EXPECT_EQ(choose(), "Cleaning3.log");
    fake.add_file("D:\\Host\\Cleaning4.log");
    fake.erase("D:\\Host\\Cleaning1.log");
    EXPECT_EQ(choose(), "Cleaning1.log");
}

TEST_F(LogNameTest, NoLeadingZerosAndTwoDigitNumbers) {
    add_logs(1, 9);
    fake.add_file("D:\\Host\\Cleaning010.log");
    EXPECT_EQ(choose(), "Cleaning10.log");
}

TEST_F(LogNameTest, HiddenSystemFilesAndFoldersTakeTheirNames) {
    fake.add_file("D:\\Host\\Cleaning1.log", "keep me", platform::attr::kHidden);
    fake.add_file("D:\\Host\\cleaning2.LOG", "keep me", platform::attr::kSystem);
    fake.add_dir("D:\\Host\\Cleaning3.log");
    EXPECT_EQ(choose(), "Cleaning4.log");
}

TEST_F(LogNameTest, EveryNumberTakenGivesNoName) {
    add_logs(1, kLastLogNumber);
    EXPECT_EQ(choose(), "");
}

TEST_F(LogNameTest, AnUnlistableOrMissingFolderGivesNoName) {
    fake.make_unlistable(kHost);
    EXPECT_EQ(choose(), "");
    EXPECT_EQ(ChooseLogFileName(fake, "D:\\Gone"), "");
}

TEST(LogNumberTest, OnlyExactNamesCount) {
    EXPECT_EQ(log_number_of("Cleaning1.log"), 1);
    EXPECT_EQ(log_number_of("CLEANING32767.LOG"), 32767);
    EXPECT_EQ(log_number_of("Cleaning32768.log"), 0);
    EXPECT_EQ(log_number_of("Cleaning0.log"), 0);
    EXPECT_EQ(log_number_of("Cleaning01.log"), 0);
    EXPECT_EQ(log_number_of("Cleaning.log"), 0);
    EXPECT_EQ(log_number_of("Cleaning1.log.bak"), 0);
    EXPECT_EQ(log_number_of("Cleaning1a.log"), 0);
    EXPECT_EQ(log_number_of("Cleaning-1.log"), 0);
    EXPECT_EQ(log_number_of("Cleaning999999.log"), 0);
}

class CleaningLogTest : public LogNameTest {
protected:
    CleaningLog log;
};

TEST_F(CleaningLogTest, ANameAppearingBeforeCreationTakesTheNextNumber) {
    fake.before_create = [this](std::string_view path) {
        if (path == "D:\\Host\\Cleaning1.log") {
            fake.add_file(path, "a rival's file");
        }
    };
    EXPECT_EQ(log.open_new(fake, kHost), "Cleaning2.log");
    EXPECT_EQ(fake.content("D:\\Host\\Cleaning1.log"), "a rival's file");
    EXPECT_TRUE(log.is_open());
}

TEST_F(CleaningLogTest, AllNamesTakenOpensNothing) {
    add_logs(1, kLastLogNumber);
    EXPECT_EQ(log.open_new(fake, kHost), "");
    EXPECT_FALSE(log.is_open());
}

TEST_F(CleaningLogTest, CreationRefusedIsAFailure) {
    fake.make_uncreatable(kHost);
    EXPECT_THROW(log.open_new(fake, kHost), platform::Failure);
    EXPECT_FALSE(log.is_open());
}

TEST_F(CleaningLogTest, LinesArePaddedToPrintZonesAndEndWithCrLf) {
    ASSERT_EQ(log.open_new(fake, kHost), "Cleaning1.log");
    log.write_line("Deleted Key:", "HKEY_CURRENT_USER\\X");
    log.write_line("Deleted File:", "D:\\Host\\a.ini");
    log.write_line("Deleted Directory:", "D:\\Host\\p.vk$");
    log.write_line("Path cleaned: ", "C:\\VS");
    log.write_line("Permissions Set For: ", "D:\\Data");
    log.write_line("D:\\VS not found!");
    log.close();
    EXPECT_EQ(fake.content("D:\\Host\\Cleaning1.log"),
              "Deleted Key:  HKEY_CURRENT_USER\\X\r\n"
              "Deleted File: D:\\Host\\a.ini\r\n"
              "Deleted Directory:          D:\\Host\\p.vk$\r\n"
              "Path cleaned: C:\\VS\r\n"
              "Permissions Set For:        D:\\Data\r\n"
              "D:\\VS not found!\r\n");
}

TEST_F(CleaningLogTest, ARefusalCarriesItsReason) {
    ASSERT_FALSE(log.open_new(fake, kHost).empty());
    log.write_refusal("Could not delete File:", "D:\\Host\\a.ini", fake::kAccessDenied);
    log.close();
    EXPECT_EQ(fake.content("D:\\Host\\Cleaning1.log"),
              "Could not delete File:      D:\\Host\\a.ini (Access is denied.)\r\n");
}

// A run that is killed half-way must leave a line for everything it did.
TEST_F(CleaningLogTest, EachLineReachesTheFileAtOnceAndItsListener) {
    std::vector<std::string> heard;
    log.set_line_listener([&heard](std::string_view line) { heard.emplace_back(line); });
    ASSERT_FALSE(log.open_new(fake, kHost).empty());
    log.write_line("one");
    EXPECT_EQ(fake.content("D:\\Host\\Cleaning1.log"), "one\r\n");
    log.write_line("Deleted File:", "D:\\Host\\a.ini");
    EXPECT_EQ(fake.content("D:\\Host\\Cleaning1.log"), "one\r\nDeleted File: D:\\Host\\a.ini\r\n");
    EXPECT_EQ(heard, (std::vector<std::string>{"one", "Deleted File: D:\\Host\\a.ini"}));
}

TEST_F(CleaningLogTest, WritingToAClosedLogFails) {
    EXPECT_THROW(log.write_line("x"), platform::Failure);
}

TEST(PadToZoneTest, LabelsReachTheNextMultipleOfFourteen) {
    EXPECT_EQ(pad_to_zone("Path cleaned: "), "Path cleaned: ");
    EXPECT_EQ(pad_to_zone("Deleted Key:"), "Deleted Key:  ");
    EXPECT_EQ(pad_to_zone("Deleted Directory:").size(), 28u);
    EXPECT_EQ(pad_to_zone(""), "");
    EXPECT_EQ(pad_to_zone("Restored File:"), "Restored File:              ");
}

} // namespace
