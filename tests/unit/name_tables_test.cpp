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

} // namespace
