// Deleting the suite's program-settings keys: which keys qualify, what is deleted and logged,
// and how failures end the search or the deletion pass.
#include "operation_world.h"
#include "operations/registry_settings.h"

#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;

const std::string kBranch(kSettingsBranch);
const std::string kLogBranch = "HKEY_CURRENT_USER\\" + kBranch;

class RegistrySettingsTest : public testing::Test, public InterposedWorld {
protected:
    RegistrySettingsTest() { fake.add_key(RegistryRoot::CurrentUser, kBranch); }
    fake::RegKey& add_setting(std::string_view name) {
        return fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\" + std::string(name));
    }
    bool has_setting(std::string_view name) {
        return fake.key(RegistryRoot::CurrentUser, kBranch + "\\" + std::string(name)) != nullptr;
    }
    std::vector<std::string> appended_rows() const {
        return {state.KeyList.begin() + 11, state.KeyList.end()};
    }
    void clean() {
        MM_EnumVESKKeys(context);
        MM_DeleteVESKKeys(context);
    }
    static std::string deleted(std::string_view name) {
        return "Deleted Key:  " + kLogBranch + "\\" + std::string(name);
    }
};

TEST_F(RegistrySettingsTest, OnlyNamesBeginningWithVesk4DotQualifyWhateverTheirCase) {
    for (const char* name : {"VESK 4.0", "vesk 4.4 Beta", "  Vesk 4.1", "VESK 4", "VESK4.4",
                             "vesk 4,0", "Other", "VeskTorp", "vesk 4.", "My vesk 4.0"}) {
        add_setting(name);
    }
    MM_EnumVESKKeys(context);
    // In the order the registry lists them, leading blanks kept as delivered.
    EXPECT_EQ(appended_rows(),
              (std::vector<std::string>{"  Vesk 4.1", "vesk 4.", "VESK 4.0", "vesk 4.4 Beta"}));
    EXPECT_EQ(state.KeyList[0], "VeskTorp");
    EXPECT_EQ(fake.open_keys, 0);
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(RegistrySettingsTest, ABranchWithoutVersionedKeysLeavesTheBuiltInRows) {
    add_setting("Other");
    MM_EnumVESKKeys(context);
    EXPECT_EQ(state.KeyList.size(), 11u);
    fake.key(RegistryRoot::CurrentUser, "Software")->subkeys.clear();
    MM_EnumVESKKeys(context); // no branch at all
    EXPECT_EQ(state.KeyList.size(), 11u);
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(RegistrySettingsTest, NamesUpTo254CharactersAreSeenLongerOnesPassedOver) {
    const std::string longest = "VESK 4." + std::string(247, 'x');
    add_setting(longest);
    add_setting(longest + "y");
    add_setting("VESK 4.z"); // listed after the long names: the search goes on past them
    MM_EnumVESKKeys(context);
    EXPECT_EQ(appended_rows(), (std::vector<std::string>{longest, "VESK 4.z"}));
}

TEST_F(RegistrySettingsTest, AFailingEnumerationEndsTheSearchQuietly) {
    add_setting("VESK 4.0");
    add_setting("VESK 4.1");
    add_setting("VESK 4.2");
    fake.fail_enum_at = 2;
    MM_EnumVESKKeys(context);
    EXPECT_EQ(appended_rows(), (std::vector<std::string>{"VESK 4.0", "VESK 4.1"}));
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(fake.open_keys, 0);
}

TEST_F(RegistrySettingsTest, KeysAreDeletedByFullPathWithTheirSubtreesInRowOrder) {
    add_setting("VESK"); // the last built-in row
    fake.set_value(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Window", "Left",
                   fake::reg_sz("10"));
    add_setting("vesk 4.4 Beta\\Recent\\Files");
    add_setting("VESK 4");
    add_setting("Unrelated");
    open_log();

    clean();

    EXPECT_EQ(
        lines_of(closed_log_text()),
        (std::vector<std::string>{deleted("VeskTorp"), deleted("VESK"), deleted("vesk 4.4 Beta")}));
    // Key by key, each through its own handle, the deepest first.
    EXPECT_EQ(fake.calls, (std::vector<std::string>{
                              "create D:\\Host\\Cleaning1.log",
                              "delete_key " + kBranch + "\\VeskTorp\\Window",
                              "delete_key " + kBranch + "\\VeskTorp",
                              "delete_key " + kBranch + "\\VESK",
                              "delete_key " + kBranch + "\\vesk 4.4 Beta\\Recent\\Files",
                              "delete_key " + kBranch + "\\vesk 4.4 Beta\\Recent",
                              "delete_key " + kBranch + "\\vesk 4.4 Beta",
                          }));
    EXPECT_FALSE(has_setting("VeskTorp"));
    EXPECT_FALSE(has_setting("vesk 4.4 Beta"));
    EXPECT_TRUE(has_setting("VESK 4"));
    EXPECT_TRUE(has_setting("Unrelated"));
    EXPECT_EQ(fake.open_keys, 0);
    EXPECT_FALSE(has_refusal(log_text()));
}

TEST_F(RegistrySettingsTest, TheBranchItselfIsNeverDeletedNotEvenForABlankRow) {
    add_setting("VeskMain");
    state.KeyList.push_back("");
    open_log();
    clean();
    EXPECT_EQ(lines_of(closed_log_text()), (std::vector<std::string>{deleted("VeskMain")}));
    EXPECT_TRUE(fake.key(RegistryRoot::CurrentUser, kBranch) != nullptr);

    state.KeyList = {""};
    MM_DeleteVESKKeys(context);
    EXPECT_TRUE(fake.key(RegistryRoot::CurrentUser, kBranch) != nullptr);
}

// A key that is there but will not open for its deletion stays, and the log says why.
TEST_F(RegistrySettingsTest, AKeyThatCannotBeOpenedWithFullAccessIsLeftAndLogged) {
    add_setting("VeskPomb").deny_full_access = true;
    add_setting("VeskQult").deny_open = true;
    add_setting("VeskHobb");
    open_log();
    clean();
    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{
                  "Could not delete Key:       " + kLogBranch + "\\VeskQult (Access is denied.)",
                  "Could not delete Key:       " + kLogBranch + "\\VeskPomb (Access is denied.)",
                  deleted("VeskHobb")}));
    EXPECT_TRUE(has_setting("VeskPomb"));
    EXPECT_TRUE(has_setting("VeskQult"));
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(RegistrySettingsTest, ARefusedDeletionIsLoggedWithItsReasonAndThePassGoesOn) {
    add_setting("VeskQult").deny_delete = true;
    add_setting("VeskHobb");
    open_log();
    clean();
    EXPECT_TRUE(has_refusal(log_text()));
    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{"Could not delete Key:       " + kLogBranch +
                                            "\\VeskQult (Access is denied.)",
                                        deleted("VeskHobb")}));
    EXPECT_TRUE(has_setting("VeskQult"));
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(RegistrySettingsTest, AKeyGoneBetweenOpenAndDeleteGetsNoLine) {
    add_setting("VeskDarl");
    registry.before = [this](std::string_view call, std::string_view) {
        if (call == "delete_key") {
            fake.key(RegistryRoot::CurrentUser, kBranch)->subkeys.clear();
        }
    };
    open_log();
    MM_DeleteVESKKeys(interposed);
    EXPECT_EQ(closed_log_text(), "");
    EXPECT_FALSE(has_refusal(log_text()));
}

TEST_F(RegistrySettingsTest, ASecondRunSearchesAgainAndSkipsKeysAlreadyGone) {
    add_setting("VESK 4.0");
    add_setting("VeskImex");
    open_log();
    clean();
    log.close();
    add_setting("vesk 4.0"); // the suite ran again in between
    add_setting("VESK 4.5");
    log.open_new(fake, state.VeskPath);

    clean();

    EXPECT_EQ(appended_rows(), (std::vector<std::string>{"VESK 4.0", "vesk 4.0", "VESK 4.5"}));
    log.close();
    EXPECT_EQ(lines_of(log_text(1)),
              (std::vector<std::string>{deleted("VeskImex"), deleted("VESK 4.0")}));
    // The first run's row finds the recreated key first; its own row then finds nothing.
    EXPECT_EQ(lines_of(log_text(2)),
              (std::vector<std::string>{deleted("VESK 4.0"), deleted("VESK 4.5")}));
}

TEST_F(RegistrySettingsTest, AKeyThatSurvivesIsHandledOncePerRow) {
    add_setting("VESK 4.0").deny_delete = true;
    open_log();
    clean();
    clean();
    EXPECT_EQ(appended_rows(), (std::vector<std::string>{"VESK 4.0", "VESK 4.0"}));
    // One refusal in the first pass, two in the second.
    EXPECT_EQ(lines_of(closed_log_text()).size(), 3u);
}

TEST_F(RegistrySettingsTest, KeyListPassing32767IsAnOverflowAndTheDeletionStillFollows) {
    state.KeyList.resize(32767, "Gone"); // last index 32766
    add_setting("VESK 4.0");
    add_setting("VESK 4.1");
    add_setting("VeskTorp");
    open_log();

    clean();

    EXPECT_EQ(state.KeyList.size(), 32768u);
    EXPECT_EQ(state.KeyList.back(), "VESK 4.0");
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Error in MM_EnumVESKKeys: Overflow");
    EXPECT_EQ(fake.boxes[0].style, platform::kMbError);
    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{"Error in MM_EnumVESKKeys: Overflow", deleted("VeskTorp"),
                                        deleted("VESK 4.0")}));
    EXPECT_TRUE(has_setting("VESK 4.1"));
    EXPECT_EQ(fake.open_keys, 0);
}

TEST_F(RegistrySettingsTest, AFailureEndsTheDeletionPassWithItsErrorLineAndBox) {
    add_setting("VeskTorp");
    add_setting("VeskQult");
    add_setting("VeskPomb");
    registry.before = fail_on("delete_key", kBranch + "\\VeskQult");
    open_log();

    MM_DeleteVESKKeys(interposed);

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted("VeskTorp"),
                                        "Error in MM_DeleteVESKKeys: The device is not ready."}));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Error in MM_DeleteVESKKeys: The device is not ready.");
    EXPECT_EQ(fake.boxes[0].style, platform::kMbError);
    EXPECT_TRUE(has_setting("VeskQult"));
    EXPECT_TRUE(has_setting("VeskPomb"));
    EXPECT_EQ(fake.open_keys, 0);
}

TEST_F(RegistrySettingsTest, ALogThatFailsMidPassIsATrappedError) {
    add_setting("VeskTorp");
    add_setting("VeskQult");
    add_setting("VeskPomb");
    open_log();
    fake.fail_writes_after = 1;

    MM_DeleteVESKKeys(context);

    EXPECT_EQ(lines_of(closed_log_text()), (std::vector<std::string>{deleted("VeskTorp")}));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Error in MM_DeleteVESKKeys: Disk full");
    EXPECT_TRUE(has_setting("VeskPomb"));
}

} // namespace
