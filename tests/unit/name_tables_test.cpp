#include "model/name_tables.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(NameTablesTest, FillingReplacesTheWholeTable) {
    SharedState state;
    MF_FillIniList(state);
    MF_FillKeyList(state);
    state.KeyList.push_back("VESK 4.0");
    MF_FillKeyList(state);
    ASSERT_EQ(state.KeyList.size(), 11u);
    EXPECT_EQ(state.KeyList.front(), "VeskTorp");
    EXPECT_EQ(state.KeyList.back(), "VESK");
    EXPECT_EQ(state.KeyList[4], "VeskImex");
    ASSERT_EQ(state.IniList.size(), 19u);
    EXPECT_EQ(state.IniList[3], "VeskImEx.ini");
    EXPECT_EQ(state.IniList.back(), "PlaskMap.ini");
}

TEST(NameTablesTest, NoEmptyRowAndNoBuiltInKeyLooksVersioned) {
    SharedState state;
    MF_FillIniList(state);
    MF_FillKeyList(state);
    for (const auto& name : state.IniList) {
        EXPECT_FALSE(name.empty());
    }
    for (const auto& name : state.KeyList) {
        EXPECT_FALSE(platform::wildcard_match("vesk 4.*", name)) << name;
    }
}

// A restore writes back only the settings files and keys that the tables name: a name is one of
// them in any letter case, and nothing close to one is.
TEST(NameTablesTest, ANameIsARowInAnyLetterCase) {
    for (const std::string_view row : kIniNames) {
        EXPECT_TRUE(is_settings_file_name(row)) << row;
        EXPECT_FALSE(is_built_in_key_name(row)) << row;
    }
    for (const std::string_view row : kBuiltInKeyNames) {
        EXPECT_TRUE(is_built_in_key_name(row)) << row;
        EXPECT_FALSE(is_settings_file_name(row)) << row;
    }
    EXPECT_TRUE(is_settings_file_name("VESKIMEX.INI"));
    EXPECT_TRUE(is_built_in_key_name("vesk"));
    for (const char* name : {"", "Vesk30.ini.bak", "Vesk30", "x\\Vesk30.ini", "Cleaning1.log"}) {
        EXPECT_FALSE(is_settings_file_name(name)) << name;
    }
    for (const char* name : {"", "VESK 4.0", "VeskTorp2", "Vesk\\VeskTorp"}) {
        EXPECT_FALSE(is_built_in_key_name(name)) << name;
    }
}

} // namespace
