// Restoring the access rights of the host's data folders through the system's icacls.
#include "operation_world.h"
#include "operations/access_rights.h"
#include "operations/folder_rules.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kTool = "C:\\WINDOWS\\system32\\icacls.exe";
constexpr const char* kSet = "Permissions Set For:        ";
constexpr const char* kNotSet = "Permissions Not Set For:    ";
constexpr const char* kNotChangeable = " (not a folder the wizard may change)";

std::string command_for(const std::string& quoted_folder) {
    return "icacls \"" + quoted_folder + "\" /T /Q /grant:r *S-1-5-32-545:(OI)(CI)F";
}

class AccessRightsTest : public testing::Test, protected World {
protected:
    AccessRightsTest() {
        state.AppDataPath = "D:\\Vesk\\Data";
        state.AuxDataPath = "D:\\Vesk\\Aux Data";
        fake.add_dir(state.AppDataPath);
        fake.add_dir(state.AuxDataPath);
        fake.add_dir("D:\\Vesk\\Aux");
    }
    std::vector<std::string> restore() {
        open_log();
        MM_RestoreAccessRights(context, "Cleaning1.log");
        return lines_of(closed_log_text());
    }
};

TEST_F(AccessRightsTest, BothFoldersGoToTheSystemToolAndAreLoggedInOrder) {
    EXPECT_EQ(restore(),
              (std::vector<std::string>{kSet + state.AppDataPath, kSet + state.AuxDataPath}));
    ASSERT_EQ(fake.starts.size(), 2u);
    EXPECT_EQ(fake.starts[0].application, kTool);
    EXPECT_EQ(fake.starts[0].command_line, command_for("D:\\Vesk\\Data"));
    EXPECT_EQ(fake.starts[1].application, kTool);
    EXPECT_EQ(fake.starts[1].command_line, command_for("D:\\Vesk\\Aux Data"));
    EXPECT_FALSE(has_refusal(log_text()));
}

TEST_F(AccessRightsTest, TheLinesFollowBothToolRuns) {
    open_log();
    fake.fail_writes_after = 0;
    EXPECT_THROW(MM_RestoreAccessRights(context, "Cleaning1.log"), platform::Failure);
    EXPECT_EQ(fake.starts.size(), 2u);
}

TEST_F(AccessRightsTest, WithoutALogNameTheToolsRunAndNothingIsWritten) {
    MM_RestoreAccessRights(context, "");
    EXPECT_EQ(fake.starts.size(), 2u);
    EXPECT_FALSE(log.is_open());
    EXPECT_FALSE(has_refusal(log_text()));
}

TEST_F(AccessRightsTest, ANonZeroExitCodeIsNotASuccess) {
    fake.process_results = {{true, {}, 5}, {true, {}, 0}};
    EXPECT_EQ(restore(),
              (std::vector<std::string>{kNotSet + state.AppDataPath + " (icacls exit code 5)",
                                        kSet + state.AuxDataPath}));
    EXPECT_TRUE(has_refusal(log_text()));
}

TEST_F(AccessRightsTest, AToolThatCannotStartIsLoggedAndTheSecondFolderIsStillTreated) {
    fake.process_results = {{false, fake::kFileNotFound, 0}, {false, fake::kAccessDenied, 0}};
    EXPECT_EQ(restore(), (std::vector<std::string>{
                             kNotSet + state.AppDataPath + " (" + fake::kFileNotFound + ")",
                             kNotSet + state.AuxDataPath + " (" + fake::kAccessDenied + ")"}));
    EXPECT_EQ(fake.starts.size(), 2u);
    EXPECT_TRUE(has_refusal(log_text()));
}

TEST_F(AccessRightsTest, WithoutASystemFolderNothingIsStartedFromTheSearchPath) {
    fake.system_dir = "";
    EXPECT_EQ(restore(),
              (std::vector<std::string>{
                  kNotSet + state.AppDataPath + " (the system folder cannot be found)",
                  kNotSet + state.AuxDataPath + " (the system folder cannot be found)"}));
    EXPECT_TRUE(fake.starts.empty());
}

TEST_F(AccessRightsTest, ATrailingBackslashIsDoubledSoTheQuoteStillCloses) {
    state.AppDataPath = "D:\\Vesk\\Data\\";
    state.AuxDataPath = "D:\\Vesk\\Aux\\\\";
    EXPECT_EQ(restore(), (std::vector<std::string>{kSet + std::string("D:\\Vesk\\Data\\"),
                                                   kSet + std::string("D:\\Vesk\\Aux\\\\")}));
    ASSERT_EQ(fake.starts.size(), 2u);
    EXPECT_EQ(fake.starts[0].command_line, command_for("D:\\Vesk\\Data\\\\"));
    EXPECT_EQ(fake.starts[1].command_line, command_for("D:\\Vesk\\Aux\\\\\\\\"));
}

TEST_F(AccessRightsTest, RootFoldersNeverReachTheTool) {
    state.AppDataPath = "D:\\";
    state.AuxDataPath = "C:\\";
    EXPECT_EQ(restore(),
              (std::vector<std::string>{kNotSet + std::string("D:\\") + kNotChangeable,
                                        kNotSet + std::string("C:\\") + kNotChangeable}));
    EXPECT_TRUE(fake.starts.empty());
    EXPECT_TRUE(has_refusal(log_text()));
}

// An installation without a second data folder is no refusal: nothing to restore, nothing to
// say. A value that is there but names no plain folder still is one.
TEST_F(AccessRightsTest, AnAbsentOrEmptyFolderValueIsPassedOverWithoutAWord) {
    state.AuxDataPath = "";
    EXPECT_EQ(restore(), std::vector<std::string>{kSet + state.AppDataPath});
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(fake.starts[0].command_line, command_for("D:\\Vesk\\Data"));
    EXPECT_FALSE(has_refusal(log_text()));
}

TEST_F(AccessRightsTest, ABlankFolderValueIsThereAndRefused) {
    state.AppDataPath = "";
    state.AuxDataPath = " ";
    EXPECT_EQ(restore(), std::vector<std::string>{kNotSet + std::string(" ") + kNotChangeable});
    EXPECT_TRUE(fake.starts.empty());
}

TEST_F(AccessRightsTest, OnlyPlainFoldersBelowARootAreChangeable) {
    for (const char* folder : {"",
                               "Data",
                               "\\Vesk\\Data",
                               "C:Data",
                               "C:",
                               "C:\\",
                               "C:/",
                               "C:\\\\",
                               "C:\\.",
                               "C:\\Vesk\\..",
                               "C:\\Vesk\\ .. \\x",
                               "\\\\server\\share",
                               "\\\\server\\share\\",
                               "\\\\server",
                               "\\\\?\\C:\\",
                               "\\\\?\\UNC\\server\\share",
                               "\\\\?\\Volume{1234}\\",
                               "C:\\Vesk\\*",
                               "C:\\Vesk\\Dat?",
                               "C:\\Vesk\" /reset \"C:\\",
                               "C:\\Vesk\\Data:stream",
                               "C:\\Vesk|x"}) {
        const ItemOutcome outcome = MM_SetFolderPermissions(context, folder);
        EXPECT_EQ(outcome.outcome, Outcome::Refused) << folder;
        EXPECT_EQ(outcome.reason, "not a folder the wizard may change") << folder;
    }
    EXPECT_TRUE(fake.starts.empty());
    for (const char* folder :
         {"C:\\Vesk", "c:/Vesk/Data", "D:\\Vesk 4.4\\Data.old\\", "\\\\server\\share\\Vesk",
          "\\\\?\\C:\\Vesk", "\\\\?\\UNC\\server\\share\\Vesk", "\\\\?\\Volume{1234}\\Vesk"}) {
        EXPECT_TRUE(is_plain_folder_path(folder)) << folder;
    }
}

} // namespace
