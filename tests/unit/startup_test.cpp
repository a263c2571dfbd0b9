// Start-up: where the host folder comes from, and the two stops.
#include "fake_platform.h"
#include "startup/host_discovery.h"
#include "startup/main.h"

#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;
using platform::RegistryView;

class StartupTest : public testing::Test {
protected:
    void set_host_value(std::string_view name, std::string_view text) {
        fake.set_value(RegistryRoot::LocalMachine, kHostKey, name, fake::reg_sz(text),
                       RegistryView::Wow64_32);
    }
    bool start() { return Main(state, fake.os(), fake); }
    std::vector<std::string> box_texts() const {
        std::vector<std::string> texts;
        for (const auto& box : fake.boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    fake::FakePlatform fake;
    SharedState state;
};

TEST_F(StartupTest, HostKeyNamesTheFolderAndThePointerFileIsNotNeeded) {
    fake.add_dir("D:\\Vesk\\Data");
    set_host_value("AppData Path", "D:\\Vesk\\Data");
    set_host_value("AuxData Path", "D:\\Vesk\\Aux");
    set_host_value("Program Path", "C:\\Program Files\\TOLM\\Vesk");

    ASSERT_TRUE(start());
    EXPECT_EQ(state.VeskPath, "D:\\Vesk\\Data");
    EXPECT_EQ(state.AuxDataPath, "D:\\Vesk\\Aux");
    EXPECT_EQ(state.ProgramPath, "C:\\Program Files\\TOLM\\Vesk");
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(state.IniList.size(), 19u);
    EXPECT_EQ(state.KeyList.size(), 11u);
    EXPECT_EQ(fake.open_keys, 0);
}

TEST_F(StartupTest, OnlyTheThirtyTwoBitViewOfTheHostKeyCounts) {
    fake.add_dir("D:\\Data");
    fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path", fake::reg_sz("D:\\Data"),
                   RegistryView::Native);
    EXPECT_FALSE(start());
    EXPECT_EQ(box_texts(), std::vector<std::string>{"VESK40.DIR not found!"});
}

TEST_F(StartupTest, MissingKeyFallsBackToThePointerFile) {
    fake.add_dir("E:\\Host");
    fake.add_file("C:\\WINDOWS\\VESK40.DIR", "\"E:\\Host\",4.0\r\nignored\r\n");
    ASSERT_TRUE(start());
    EXPECT_EQ(state.VeskPath, "E:\\Host");
    EXPECT_EQ(state.AppDataPath, "");
    EXPECT_EQ(state.ProgramPath, "");
}

TEST_F(StartupTest, KeyWithoutProgramPathReadsTheOtherValues) {
    fake.add_dir("D:\\Data");
    set_host_value("AppData Path", "D:\\Data");
    ASSERT_TRUE(start());
    EXPECT_EQ(state.AppDataPath, "D:\\Data");
    EXPECT_EQ(state.ProgramPath, "");
}

TEST_F(StartupTest, NeitherKeyNorPointerFileStopsWithTheFirstMessageOnly) {
    EXPECT_FALSE(start());
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "VESK40.DIR not found!");
    EXPECT_EQ(fake.boxes[0].style, platform::kMbWarning);
    EXPECT_TRUE(state.KeyList.empty());
}

TEST_F(StartupTest, HiddenOrFolderPointerFileCountsAsMissing) {
    fake.add_dir("E:\\Host");
    fake.add_file("C:\\WINDOWS\\VESK40.DIR", "E:\\Host", platform::attr::kHidden);
    EXPECT_FALSE(start());
    EXPECT_EQ(box_texts(), std::vector<std::string>{"VESK40.DIR not found!"});
}

TEST_F(StartupTest, WithoutAWindowsDirectoryThePointerFileIsNotSoughtAtTheDriveRoot) {
    fake.windows_dir.clear();
    fake.add_dir("E:\\Host");
    fake.add_file("\\VESK40.DIR", "E:\\Host");
    fake.add_file("C:\\VESK40.DIR", "E:\\Host");
    EXPECT_FALSE(start());
    EXPECT_EQ(box_texts(), std::vector<std::string>{"VESK40.DIR not found!"});
}

TEST_F(StartupTest, KeyNamingAMissingFolderStopsWithoutASecondChance) {
    set_host_value("AppData Path", "D:\\Gone");
    fake.add_dir("E:\\Host");
    fake.add_file("C:\\WINDOWS\\VESK40.DIR", "E:\\Host");
    EXPECT_FALSE(start());
    EXPECT_EQ(box_texts(), std::vector<std::string>{"Veskpath not found!"});
    EXPECT_EQ(fake.boxes[0].style, platform::kMbWarning);
}

TEST_F(StartupTest, AFileInPlaceOfTheFolderStillPasses) {
    fake.add_file("D:\\Data.txt");
    set_host_value("AppData Path", "D:\\Data.txt");
    EXPECT_TRUE(start());
}

TEST_F(StartupTest, AHiddenHostFolderIsNotFound) {
    fake.add_dir("D:\\Data", platform::attr::kHidden);
    set_host_value("AppData Path", "D:\\Data");
    EXPECT_FALSE(start());
    EXPECT_EQ(box_texts(), std::vector<std::string>{"Veskpath not found!"});
}

TEST(StartupPathTest, EmptyBlankOrRelativeHostPathsAreNotFound) {
    for (const char* first_line : {"", "   ", ",x", "Host", "\\Host", "C:Host", "\"\""}) {
        SCOPED_TRACE(first_line);
        fake::FakePlatform world;
        world.add_dir("C:\\Host");
        world.add_file("C:\\WINDOWS\\VESK40.DIR", first_line);
        SharedState fresh;
        EXPECT_FALSE(Main(fresh, world.os(), world));
        ASSERT_EQ(world.boxes.size(), 1u);
        EXPECT_EQ(world.boxes[0].text, "Veskpath not found!");
    }
}

TEST_F(StartupTest, ShareAndTrailingBackslashPathsAreAccepted) {
    fake.add_dir("\\\\server\\share\\Host");
    fake.add_file("C:\\WINDOWS\\VESK40.DIR", "\\\\server\\share\\Host\\");
    ASSERT_TRUE(start());
    EXPECT_EQ(state.VeskPath, "\\\\server\\share\\Host\\");
}

TEST_F(StartupTest, UnreadablePointerFileIsReportedAndEndsTheProgram) {
    fake.add_file("C:\\WINDOWS\\VESK40.DIR", "E:\\Host");
    fake.make_unreadable("C:\\WINDOWS\\VESK40.DIR");
    EXPECT_FALSE(start());
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].style, platform::kMbError);
    EXPECT_NE(fake.boxes[0].text.find("MM_ReadDirFile"), std::string::npos);
    EXPECT_NE(fake.boxes[0].text.find(fake::kAccessDenied), std::string::npos);
}

TEST(PointerFileTest, FirstFieldRules) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Host\\Data,more", "D:\\Host\\Data"},
        {"   D:\\Host\\Data  ,x", "D:\\Host\\Data"},
        {"\"D:\\A, B\\Data\",4", "D:\\A, B\\Data"},
        {"  \"D:\\Quoted\"", "D:\\Quoted"},
        {"D:\\No Comma\r\nsecond line", "D:\\No Comma"},
        {"D:\\Unix line\nsecond", "D:\\Unix line"},
        {"\"D:\\Unterminated\r\nsecond\"", "D:\\Unterminated"},
        {"", ""},
        {"\r\nD:\\Second", ""},
        {",D:\\Second", ""},
    };
    for (const auto& [text, field] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(read_first_field(text), field);
    }
}

TEST(PointerFileTest, MegabyteWithoutLineBreak) {
    std::string text = "D:\\Host" + std::string(1 << 20, 'x');
    EXPECT_EQ(read_first_field(text).size(), text.size());
}

} // namespace
