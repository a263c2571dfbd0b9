// Keep patterns: what they match, in any letter case, and when an item's inside is worth a look.
#include "model/keep_list.h"

#include <gtest/gtest.h>

namespace {

TEST(KeepListTest, PatternsMatchWholeNamesInAnyCaseAndSeeInsideItems) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
        bool reaches_below;
    };
    const Case cases[] = {
        {"D:\\VESK\\Data\\VeskFont.ini", "d:\\vesk\\DATA\\veskfont.INI", true, false},
        {"*\\VeskFont.ini", "D:\\VESK\\Data\\VeskFont.ini", true, true},
        {"*\\VeskFont.ini", "D:\\VESK\\Data\\VeskFont.ini.bak", false, true},
        {"D:\\VESK\\*.ini", "D:\\VESK\\Data\\Deep\\a.ini", true, true},
        {"D:\\VESK\\?.ini", "D:\\VESK\\a.ini", true, false},
        {"D:\\VESK\\?.ini", "D:\\VESK\\ab.ini", false, false},
        {"D:\\VESK\\proj.vk$\\keep.txt", "D:\\VESK\\proj.vk$", false, true},
        {"D:\\VESK\\proj.vk$\\keep.txt", "D:\\VESK\\other.vk$", false, false},
        {"D:\\VESK\\proj.vk$", "D:\\VESK\\proj.vk$\\keep.txt", false, false},
        {"*", "anything at all", true, true},
        {"**a*", "xxa", true, true},
        {"", "", true, false},
        {"ΔΑΤΑ\\*", "δατα\\x", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keep_pattern_matches(c.pattern, c.name), c.matches)
            << c.pattern << " / " << c.name;
        EXPECT_EQ(keep_pattern_reaches_below(c.pattern, c.name), c.reaches_below)
            << c.pattern << " / " << c.name;
    }
}

// Another profile's key is shown under HKEY_USERS\<SID>; its own list and any other may name it
// either way. The own list holds only once it is set.
TEST(KeepListTest, AProfilesKeysMatchAsItsUserSeesThemAndUnderHkeyUsers) {
    const std::string root = "HKEY_USERS\\S-1-5-21-1-2-3-1002\\";
    const std::string key = root + "Software\\VB and VBA Program Settings\\VeskMain";
    KeepList keep;
    EXPECT_TRUE(keep.empty());
    keep.set_everywhere({"HKEY_USERS\\S-1-5-21-1-2-3-1002\\*\\VeskMain"});
    EXPECT_TRUE(keep.keeps(key));
    keep.set_everywhere({});
    keep.set_own({"HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\VeskMain"}, root);
    EXPECT_TRUE(keep.keeps(key));
    EXPECT_FALSE(keep.keeps("HKEY_USERS\\S-1-5-21-1-2-3-1003\\Software\\VB and VBA Program "
                            "Settings\\VeskMain"));
    EXPECT_TRUE(keep.may_keep_below(root + "Software\\VB and VBA Program Settings"));
    EXPECT_FALSE(keep.may_keep_below(key));
    keep.set_own({}, root);
    EXPECT_TRUE(keep.empty());
    EXPECT_FALSE(keep.keeps(key));
}

} // namespace
