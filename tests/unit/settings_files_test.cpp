// Deleting the settings files of the host folder and the OpenGL settings file.
#include "operation_world.h"
#include "operations/settings_files.h"

#include <gtest/gtest.h>

namespace {

using platform::attr::kHidden;
using platform::attr::kReadOnly;
using platform::attr::kSystem;

std::string host(std::string_view name) {
    return std::string(kHostFolder) + "\\" + std::string(name);
}

std::string deleted(std::string_view path) {
    return "Deleted File: " + std::string(path);
}

class SettingsFilesTest : public testing::Test, public InterposedWorld {};

TEST_F(SettingsFilesTest, ExistingFilesGoInTableOrderAndAbsentOnesAreSilent) {
    fake.add_file(host("PlaskMap.ini")); // the last row
    fake.add_file(host("vesk30.INI"));   // any letter case
    fake.add_file(host("TorpMain.ini")); // the first row
    fake.add_file(host("Other.ini"));
    fake.add_file(host("Sub\\Qult30.ini"));
    open_log();

    MM_DeleteIniFiles(context);

    // The path is written as the table spells the name.
    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted(host("TorpMain.ini")), deleted(host("Vesk30.ini")),
                                        deleted(host("PlaskMap.ini"))}));
    EXPECT_EQ(fake.tree(kHostFolder),
              (std::vector<std::string>{"cleaning1.log", "other.ini", "sub", "sub\\qult30.ini"}));
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(SettingsFilesTest, HiddenSystemAndFolderNamesakesCountAsAbsent) {
    fake.add_file(host("Pomb30.ini"), "hidden", kHidden);
    fake.add_file(host("Darl30.ini"), "system", kSystem);
    fake.add_dir(host("Melp30.ini"));
    fake.add_file(host("Melp30.ini\\inside.txt"));
    open_log();

    MM_DeleteIniFiles(context);

    EXPECT_EQ(closed_log_text(), "");
    EXPECT_TRUE(fake.exists(host("Pomb30.ini")));
    EXPECT_TRUE(fake.exists(host("Darl30.ini")));
    EXPECT_TRUE(fake.exists(host("Melp30.ini\\inside.txt")));
    EXPECT_EQ(fake.calls, std::vector<std::string>{"create " + host("Cleaning1.log")});
}

TEST_F(SettingsFilesTest, ARefusedFileKeepsItsPlaceAndTheReasonIsLogged) {
    fake.add_file(host("Qult30.ini"), "", kReadOnly);
    fake.add_file(host("VeskMain.ini")).locked = true;
    fake.add_file(host("Nurl40.ini"));
    open_log();

    MM_DeleteIniFiles(context);

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{
                  "Could not delete File:      " + host("Qult30.ini") + " (Access is denied.)",
                  "Could not delete File:      " + host("VeskMain.ini") + " (" + fake::kInUse + ")",
                  deleted(host("Nurl40.ini"))}));
    EXPECT_TRUE(has_refusal(log_text()));
    EXPECT_TRUE(fake.exists(host("Qult30.ini")));
    EXPECT_TRUE(fake.exists(host("VeskMain.ini")));
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(SettingsFilesTest, AFileGoneBeforeItsDeletionGetsNoLine) {
    fake.add_file(host("Grist30.ini"));
    files.before = [this](std::string_view call, std::string_view path) {
        if (call == "delete_file") {
            fake.erase(path);
        }
    };
    open_log();
    MM_DeleteIniFiles(interposed);
    EXPECT_EQ(closed_log_text(), "");
    EXPECT_FALSE(has_refusal(log_text()));
}

TEST_F(SettingsFilesTest, AFailureEndsTheOperationAndLaterRowsAreUntouched) {
    fake.add_file(host("TorpMain.ini"));
    fake.add_file(host("Qult30.ini"));
    fake.add_file(host("Vesk30.ini"));
    files.before = fail_on("open_file", host("Qult30.ini"));
    open_log();

    MM_DeleteIniFiles(interposed);

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted(host("TorpMain.ini")),
                                        "Error in MM_DeleteIniFiles: The device is not ready."}));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Error in MM_DeleteIniFiles: The device is not ready.");
    EXPECT_EQ(fake.boxes[0].style, platform::kMbError);
    EXPECT_TRUE(fake.exists(host("Qult30.ini")));
    EXPECT_TRUE(fake.exists(host("Vesk30.ini")));
    EXPECT_EQ(fake.open_searches, 0);
}

TEST_F(SettingsFilesTest, ALogThatFailsMidRunIsTrappedToo) {
    fake.add_file(host("TorpMain.ini"));
    fake.add_file(host("Qult30.ini"));
    fake.add_file(host("Vesk30.ini"));
    open_log();
    fake.fail_writes_after = 1;

    EXPECT_NO_THROW(MM_DeleteIniFiles(context));

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted(host("TorpMain.ini"))}));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Error in MM_DeleteIniFiles: Disk full");
    EXPECT_TRUE(fake.exists(host("Vesk30.ini")));
}

TEST_F(SettingsFilesTest, AHostPathEndingInABackslashGivesADoubledOne) {
    state.VeskPath = std::string(kHostFolder) + "\\";
    fake.add_file(host("Vesk30.ini"));
    open_log();
    MM_DeleteIniFiles(context);
    EXPECT_EQ(lines_of(closed_log_text()),
              std::vector<std::string>{deleted(std::string(kHostFolder) + "\\\\Vesk30.ini")});
    EXPECT_FALSE(fake.exists(host("Vesk30.ini")));
}

TEST_F(SettingsFilesTest, OpenGLSettingsGoFromTheWindowsDirectoryOnly) {
    fake.add_file("C:\\WINDOWS\\VESKHOGL.INI");
    fake.add_file(host("veskhogl.ini"));
    open_log();

    MM_DeleteOpenGLSettings(context);
    MM_DeleteOpenGLSettings(context); // nothing left the second time

    EXPECT_EQ(lines_of(closed_log_text()),
              std::vector<std::string>{deleted("C:\\WINDOWS\\veskhogl.ini")});
    EXPECT_FALSE(fake.exists("C:\\WINDOWS\\veskhogl.ini"));
    EXPECT_TRUE(fake.exists(host("veskhogl.ini")));
}

TEST_F(SettingsFilesTest, OpenGLSettingsHiddenReadOnlyOrWithoutWindowsDirectory) {
    fake.add_file("C:\\WINDOWS\\veskhogl.ini", "", kHidden);
    open_log();
    MM_DeleteOpenGLSettings(context);
    EXPECT_TRUE(fake.exists("C:\\WINDOWS\\veskhogl.ini"));

    fake.entry("C:\\WINDOWS\\veskhogl.ini")->attributes = kReadOnly;
    MM_DeleteOpenGLSettings(context);
    EXPECT_TRUE(fake.exists("C:\\WINDOWS\\veskhogl.ini"));

    // Without a Windows directory the path would be the root of the current drive.
    fake.add_file("\\veskhogl.ini");
    fake.windows_dir.clear();
    MM_DeleteOpenGLSettings(context);
    EXPECT_TRUE(fake.exists("\\veskhogl.ini"));

    EXPECT_EQ(lines_of(closed_log_text()),
              std::vector<std::string>{"Could not delete File:      C:\\WINDOWS\\veskhogl.ini "
                                       "(Access is denied.)"});
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(SettingsFilesTest, OpenGLSettingsTrapNothingAndNameThemselves) {
    fake.add_file("C:\\WINDOWS\\veskhogl.ini");
    open_log();
    fake.fail_writes_after = 0;
    try {
        MM_DeleteOpenGLSettings(context);
        FAIL() << "the failure must reach the caller";
    } catch (const platform::Failure& failure) {
        EXPECT_STREQ(failure.what(), "Disk full");
        EXPECT_EQ(failure.where, "MM_DeleteOpenGLSettings");
    }
    EXPECT_TRUE(fake.boxes.empty());
}

} // namespace
