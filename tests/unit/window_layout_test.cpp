// The window's stored layout, control by control, as users and their screen readers have known
// it: where each control lies and in what, what it says, the order Tab follows, and which
// control covers which.
#include "world.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// A control as the program names it: "Check1(2)", "Frame1".
std::string named(std::string_view name, int index) {
    return index < 0 ? std::string(name) : std::string(name) + "(" + std::to_string(index) + ")";
}

struct Stored {
    std::string control;
    ControlKind kind;
    std::string holder; // "" for the window itself
    int left, top, width, height;
    std::string caption;
    bool red = false;
    bool visible = true;
};

const std::string kNote = "\"Please close any open VESK windows first!\".";
const std::string kGreyed = "Greyed: set by your organisation";
using K = ControlKind;

// In tab order.
const std::vector<Stored> kTabOrder = {
    {"Frame1", K::Frame, "", 240, 240, 5175, 4455, "Cleaning Options"},
    {"Label1", K::Label, "Frame1", 720, 400, 3255, 255, kNote, true},
    {"Check1(0)", K::CheckBox, "Frame1", 720, 800, 4215, 255,
     "Delete VESK Registry VB Program Settings"},
    {"Check1(1)", K::CheckBox, "", 960, 1500, 3135, 255, "Delete VESK Configuration Settings"},
    {"Check1(2)", K::CheckBox, "", 960, 2000, 2655, 255, "Delete Temporary VESK Files"},
    {"Check1(3)", K::CheckBox, "", 960, 2500, 3135, 255, "Delete Temporary VESK Project Folders"},
    {"Check1(4)", K::CheckBox, "", 960, 3000, 3135, 255, "Delete VESK Toolbar Settings"},
    {"Check1(5)", K::CheckBox, "Frame1", 720, 3300, 3135, 255, "Delete VESK OpenGL Settings"},
    {"Command1", K::Button, "Frame1", 3840, 3720, 975, 495, "Go!"},
    {"Label3", K::Label, "Frame1", 720, 3840, 3000, 255, kGreyed, false, false},
    {"Frame2", K::Frame, "", 240, 240, 5175, 4455, "Advanced Cleaning Options", false, false},
    {"Label2(0)", K::Label, "Frame2", 720, 400, 3255, 255, kNote, true},
    {"Check2(0)", K::CheckBox, "Frame2", 720, 1560, 3855, 255, "Restore VESK Folder Access Rights"},
    {"Label2(1)", K::Label, "Frame2", 720, 2160, 4215, 255, "Access rights need an administrator.",
     true},
    {"Check3", K::CheckBox, "Frame2", 720, 2400, 3375, 375,
     "Delete VESK Settings from Virtual Store"},
    {"Check4", K::CheckBox, "Frame2", 1200, 2880, 1815, 195, "Program Files"},
    {"Check5", K::CheckBox, "Frame2", 1200, 3360, 1935, 195, "Program Data"},
    {"Command2", K::Button, "Frame2", 3840, 3720, 975, 495, "Done"},
    {"Label4", K::Label, "Frame2", 720, 3840, 3000, 255, kGreyed, false, false},
    {"Command3", K::Button, "", 240, 4920, 2295, 255, "Advanced Options"},
    {"Command4", K::Button, "", 2640, 4920, 1335, 255, "Preview..."},
    {"Command5", K::Button, "", 4080, 4920, 1335, 255, "Undo..."},
};

// Front to back among the children of each holder.
const std::map<std::string, std::vector<std::string>> kStacking = {
    {"",
     {"Command5", "Command4", "Command3", "Frame2", "Check1(4)", "Check1(3)", "Check1(2)",
      "Check1(1)", "Frame1"}},
    {"Frame1", {"Command1", "Check1(0)", "Check1(5)", "Label1", "Label3"}},
    {"Frame2",
     {"Command2", "Check2(0)", "Label2(0)", "Label2(1)", "Check3", "Check4", "Check5", "Label4"}},
};

struct LayoutWorld : World {
    std::string name_of(const Control& control) const { return named(control.name, control.index); }
    std::string holder_of(const Control& control) const {
        return control.holder ? name_of(form.control(*control.holder)) : std::string();
    }
    bool known(const Control& control) const {
        return std::ranges::any_of(kTabOrder,
                                   [&](const Stored& s) { return s.control == name_of(control); });
    }
    // Today's controls as the window orders them by key, so that a box added later changes
    // no one else's place.
    template <class Key> std::vector<const Control*> ordered(Key key) const {
        std::vector<const Control*> found;
        for (const Control& control : form.controls()) {
            if (known(control)) {
                found.push_back(&control);
            }
        }
        std::ranges::sort(found, {}, key);
        return found;
    }
    ScriptedDialogs dialogs;
    Form1 form{context, fake, dialogs};
};

class WindowLayoutTest : public testing::Test, protected LayoutWorld {};

TEST_F(WindowLayoutTest, EveryControlIsWhereTheStoredLayoutPutsIt) {
    const auto in_tab_order = ordered([](const Control* c) { return c->tab_index; });
    ASSERT_EQ(in_tab_order.size(), kTabOrder.size()) << "a control of the layout is missing";
    for (std::size_t i = 0; i < kTabOrder.size(); ++i) {
        const Stored& stored = kTabOrder[i];
        const Control& c = *in_tab_order[i];
        SCOPED_TRACE(stored.control);
        EXPECT_EQ(name_of(c), stored.control) << "tab position " << i;
        EXPECT_EQ(c.kind, stored.kind);
        EXPECT_EQ(holder_of(c), stored.holder);
        EXPECT_EQ((std::vector<int>{c.left, c.top, c.width, c.height}),
                  (std::vector<int>{stored.left, stored.top, stored.width, stored.height}));
        EXPECT_EQ(c.caption, stored.caption);
        EXPECT_EQ(c.red, stored.red);
        EXPECT_EQ(c.visible, stored.visible);
        EXPECT_EQ(c.value, 0);
        EXPECT_TRUE(c.enabled);
    }

    const auto front_to_back = ordered([](const Control* c) { return c->z_order; });
    for (const auto& [holder, expected] : kStacking) {
        std::vector<std::string> stacked;
        for (const Control* c : front_to_back) {
            if (holder_of(*c) == holder) {
                stacked.push_back(name_of(*c));
            }
        }
        EXPECT_EQ(stacked, expected) << "in " << (holder.empty() ? "the window" : holder);
    }

    // Anything else the window holds is the box of an option; no two controls share a name or a
    // place in the tab order.
    std::set<int> tab_indexes;
    std::set<std::string> names;
    for (const Control& control : form.controls()) {
        EXPECT_TRUE(tab_indexes.insert(control.tab_index).second) << name_of(control);
        EXPECT_TRUE(names.insert(name_of(control)).second) << name_of(control);
        EXPECT_TRUE(known(control) || std::ranges::any_of(kOptionTable,
                                                          [&](const OptionRow& row) {
                                                              return form.box_of(row) == control.id;
                                                          }))
            << name_of(control);
    }
}

} // namespace
