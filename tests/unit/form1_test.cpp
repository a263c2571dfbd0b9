// The wizard window as a model: its first state, the caption rules, the panel toggle, and the
// ways the program ends.
#include "operation_world.h"
#include "operations/settings_files.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using Id = ControlId;

const Id kCheck4 = Form1::named("Check4");
const Id kCheck5 = Form1::named("Check5");

struct WindowWorld : InterposedWorld {
    WindowWorld() { form.Form_Load(); }
    std::string caption(Id id) const { return form.control(id).caption; }
    int value(Id id) const { return form.control(id).value; }
    std::vector<int> standard_ticks() const {
        std::vector<int> ticks;
        for (int index = 0; index <= 5; ++index) {
            ticks.push_back(value(Form1::Check1(index)));
        }
        return ticks;
    }
    ScriptedDialogs dialogs;
    Form1 form{interposed, fake, dialogs};
};

class Form1Test : public testing::Test, protected WindowWorld {};

using Ticks = std::vector<int>;

TEST_F(Form1Test, TheWindowOpensOnTheStandardPanelWithTwoBoxesTicked) {
    EXPECT_EQ(standard_ticks(), (Ticks{0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(caption(Id::Command1), "Go!");
    EXPECT_EQ(caption(Id::Command2), "Done");
    EXPECT_EQ(caption(Id::Command3), "Advanced Options");
    EXPECT_FALSE(form.control(Id::Frame2).visible);
    EXPECT_TRUE(form.control(Id::Frame1).visible);
    for (const Id id : {Form1::Check2(0), Id::Check3, kCheck4, kCheck5}) {
        EXPECT_EQ(value(id), 0);
    }
    EXPECT_EQ(form.mouse_pointer(), platform::kPointerDefault);
    EXPECT_FALSE(form.ended());
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(Form1Test, TheAdvancedPanelCoversAllSixStandardBoxesButNotTheToggle) {
    const Control& frame2 = form.control(Id::Frame2);
    for (int index = 0; index <= 5; ++index) {
        const Control& box = form.control(Form1::Check1(index));
        // Boxes held by Frame1 go behind it, the window's own ones lie behind Frame2.
        const int z = box.holder ? form.control(*box.holder).z_order : box.z_order;
        EXPECT_GT(z, frame2.z_order) << "Check1(" << index << ")";
        const int left = box.left + (box.holder ? form.control(*box.holder).left : 0);
        EXPECT_EQ(left, 960) << "Check1(" << index << ")";
    }
    const Control& toggle = form.control(Id::Command3);
    EXPECT_LT(toggle.z_order, frame2.z_order);
    EXPECT_GT(toggle.top, frame2.top + frame2.height);
}

TEST_F(Form1Test, Command1ReadsGoExactlyWhileAStandardBoxIsTicked) {
    form.click(Form1::Check1(2));
    EXPECT_EQ(caption(Id::Command1), "Go!");
    form.click(Form1::Check1(3));
    EXPECT_EQ(caption(Id::Command1), "Done");
    for (int index = 0; index <= 5; ++index) {
        form.click(Form1::Check1(index));
        EXPECT_EQ(caption(Id::Command1), "Go!") << "ticked " << index;
        form.click(Form1::Check1(index));
        EXPECT_EQ(caption(Id::Command1), "Done") << "unticked " << index;
    }
    // Set from code, through the same path as a click.
    form.set_value(Form1::Check1(5), 1);
    EXPECT_EQ(caption(Id::Command1), "Go!");
    form.set_value(Form1::Check1(0), 1);
    form.set_value(Form1::Check1(5), 0);
    EXPECT_EQ(caption(Id::Command1), "Go!");
    form.set_value(Form1::Check1(0), 0);
    EXPECT_EQ(caption(Id::Command1), "Done");
}

TEST_F(Form1Test, Command2ReadsGoWhileRestoreOrTheStoreBoxIsTicked) {
    form.click(Id::Command3);
    form.click(Form1::Check2(0));
    EXPECT_EQ(caption(Id::Command2), "Go!");
    form.click(kCheck4); // ticks Check3 with it
    form.click(Form1::Check2(0));
    EXPECT_EQ(caption(Id::Command2), "Go!");
    form.click(kCheck4);
    EXPECT_EQ(value(Id::Check3), 0);
    EXPECT_EQ(caption(Id::Command2), "Done");
    form.set_value(Id::Check3, 1);
    EXPECT_EQ(caption(Id::Command2), "Go!");
    EXPECT_EQ(caption(Id::Command1), "Go!"); // the standard panel is not concerned
}

TEST_F(Form1Test, TheToggleSwitchesPanelsAndKeepsEveryTick) {
    form.click(Form1::Check1(0));
    form.click(Form1::Check1(2));
    form.click(Id::Command3);
    EXPECT_TRUE(form.control(Id::Frame2).visible);
    EXPECT_EQ(caption(Id::Command3), "Hide Advanced Options");
    form.click(Form1::Check2(0));
    form.click(kCheck5);

    form.click(Id::Command3);

    EXPECT_FALSE(form.control(Id::Frame2).visible);
    EXPECT_EQ(caption(Id::Command3), "Advanced Options");
    EXPECT_EQ(standard_ticks(), (Ticks{1, 0, 0, 1, 0, 0}));
    EXPECT_EQ(value(Form1::Check2(0)), 1);
    EXPECT_EQ(value(Id::Check3), 1);
    EXPECT_EQ(value(kCheck5), 1);
    EXPECT_EQ(caption(Id::Command1), "Go!");
    EXPECT_EQ(caption(Id::Command2), "Go!");
    EXPECT_TRUE(fake.calls.empty());
}

// Tab follows tab_index; in each panel it must meet the controls as a reader does, top to
// bottom, and each panel's action button must be the one in view.
TEST_F(Form1Test, EachPanelsTabOrderReadsTopToBottomAndEnterActsOnThePanelInView) {
    const auto top_in_window = [&](const Control& c) {
        return c.top + (c.holder ? form.control(*c.holder).top : 0);
    };
    const auto in_panel = [](const Control& c, Id frame) {
        const bool window_box = !c.holder && c.kind == ControlKind::CheckBox;
        return c.holder == frame || c.id == Id::Command3 || (frame == Id::Frame1 && window_box);
    };
    for (const Id frame : {Id::Frame1, Id::Frame2}) {
        std::vector<Control> panel;
        for (const Control& c : form.controls()) {
            if (in_panel(c, frame)) {
                panel.push_back(c);
            }
        }
        std::ranges::sort(panel, {}, &Control::tab_index);
        for (std::size_t i = 1; i < panel.size(); ++i) {
            EXPECT_LT(top_in_window(panel[i - 1]), top_in_window(panel[i]))
                << panel[i - 1].caption << " is tabbed to before " << panel[i].caption;
        }
        for (const Control& c : panel) {
            EXPECT_FALSE(c.caption.empty()) << c.name << " would have no accessible name";
        }
    }
    EXPECT_EQ(form.action_button(), Id::Command1);
    form.click(Id::Command3);
    EXPECT_EQ(form.action_button(), Id::Command2);
    form.click(Id::Command3);
    EXPECT_EQ(form.action_button(), Id::Command1);
}

TEST_F(Form1Test, DoneEndsTheProgramAtOnceWithoutQueryUnload) {
    open_log(); // a file the program holds open
    log.write_line("kept");
    form.click(Form1::Check1(2));
    form.click(Form1::Check1(3));

    form.click(Id::Command1);

    EXPECT_TRUE(form.ended());
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(fake.pointers.empty()); // Form_QueryUnload would have set the arrow
    EXPECT_FALSE(log.is_open());
    EXPECT_EQ(log_text(), "kept\r\n");
    EXPECT_FALSE(fake.exists(std::string(kHostFolder) + "\\Cleaning2.log"));
    form.click(Form1::Check1(0)); // an ended program takes no more clicks
    EXPECT_EQ(value(Form1::Check1(0)), 0);
}

TEST_F(Form1Test, DoneOnTheAdvancedPanelEndsTheProgramToo) {
    form.click(Id::Command3);
    form.click(Id::Command2);
    EXPECT_TRUE(form.ended());
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(fake.pointers.empty());
}

TEST_F(Form1Test, ClosingRaisesQueryUnloadWhichRestoresThePointerAndClosesTheLog) {
    open_log();
    log.write_line("kept");

    form.close();

    EXPECT_TRUE(form.ended());
    EXPECT_EQ(fake.pointers, std::vector<int>{platform::kPointerDefault});
    EXPECT_EQ(form.mouse_pointer(), platform::kPointerDefault);
    EXPECT_FALSE(log.is_open());
    EXPECT_EQ(log_text(), "kept\r\n");
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(Form1Test, ALogThatCannotBeCreatedEndsTheProgramWithAnErrorBox) {
    fake.make_uncreatable(kHostFolder);

    form.click(Id::Command1);

    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[1].text, "An error occurred in Command1_Click:\r\nAccess is denied.\r\n"
                                  "\r\nThe program will now end.");
    EXPECT_EQ(fake.boxes[1].style, platform::kMbError);
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(form.mouse_pointer(), platform::kPointerDefault);
    EXPECT_EQ(fake.tree(kHostFolder), std::vector<std::string>{});
    EXPECT_EQ(std::count_if(fake.calls.begin(), fake.calls.end(),
                            [](const std::string& call) { return call.starts_with("delete"); }),
              0);
}

TEST_F(Form1Test, AnUntrappedOperationFailureIsLoggedReportedAndEndsTheProgram) {
    fake.add_file(std::string(kHostFolder) + "\\a.$$$");
    fake.add_file("C:\\WINDOWS\\veskhogl.ini");
    files.before = fail_on("delete_file", "C:\\WINDOWS\\veskhogl.ini");
    form.click(Form1::Check1(5));

    form.click(Id::Command1);

    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[1].text,
              "An error occurred in MM_DeleteOpenGLSettings:\r\nThe device is not ready.\r\n"
              "\r\nThe program will now end.");
    EXPECT_EQ(fake.boxes[1].style, platform::kMbError);
    EXPECT_TRUE(form.ended());
    EXPECT_FALSE(log.is_open());
    EXPECT_EQ(
        lines_of(log_text()),
        (std::vector<std::string>{"Deleted File: D:\\Host\\a.$$$",
                                  "Error in MM_DeleteOpenGLSettings: The device is not ready.",
                                  "Backed up to: D:\\Host\\Cleaning1.backup"}));
    EXPECT_EQ(fake.pointers.back(), platform::kPointerDefault);
    EXPECT_EQ(standard_ticks(), (Ticks{0, 0, 1, 1, 0, 1})); // no reset after a failure
}

// ---- The organisation's policy, which the window reads as it opens.

struct PolicyWindowWorld : InterposedWorld {
    explicit PolicyWindowWorld(
        std::initializer_list<std::pair<std::string_view, platform::RegistryValue>> values) {
        for (const auto& [name, value] : values) {
            fake.set_value(platform::RegistryRoot::LocalMachine, kPolicyKey, name, value);
        }
        form.Form_Load();
    }
    ScriptedDialogs dialogs;
    Form1 form{interposed, fake, dialogs};
};

TEST(Form1PolicyTest, AForbiddenOptionsBoxIsGreyedUntickedAndItsPanelSaysWhy) {
    PolicyWindowWorld world({{"temp", fake::reg_dword(0)},
                             {"store-pf", fake::reg_dword(0)},
                             {"BackupFolder", fake::reg_sz("E:\\Backups")}});
    Form1& form = world.form;
    const Control& temp = form.control(Form1::Check1(2));
    EXPECT_FALSE(temp.enabled);
    EXPECT_EQ(temp.value, 0) << "unticked, though the window's first choice";
    EXPECT_EQ(form.control(Form1::Check1(3)).value, 1);
    for (const Id note : {Id::Label3, Id::Label4}) {
        EXPECT_TRUE(form.control(note).visible);
        EXPECT_EQ(form.control(note).caption, "Greyed: set by your organisation");
    }
    form.click(Form1::Check1(2));
    EXPECT_EQ(temp.value, 0);

    // The store boxes' master ticks only the box the policy allows.
    form.click(Id::Command3);
    form.click(Id::Check3);
    EXPECT_EQ(form.control(kCheck4).value, 0);
    EXPECT_EQ(form.control(kCheck5).value, 1);
    EXPECT_TRUE(form.control(Id::Check3).enabled);

    // The standard run cleans what is ticked, its backups in the organisation's folder.
    world.fake.add_dir("E:\\Backups");
    world.fake.add_file(std::string(kHostFolder) + "\\Vesk30.ini", "[Window]");
    form.click(Form1::Check1(1));
    form.click(Id::Command1);
    EXPECT_EQ(world.fake.boxes.front().text, "Do you really want to delele: \r\n\r\n- VESK "
                                             "Configuration Settings\r\n- Temporary VESK "
                                             "Project Folders\r\n");
    EXPECT_EQ(world.fake.content("E:\\Backups\\PC1\\alice\\Cleaning1.backup\\Vesk30.ini"),
              "[Window]");

    PolicyWindowWorld unset({});
    for (const Control& control : unset.form.controls()) {
        EXPECT_TRUE(control.enabled) << control.name;
    }
    EXPECT_FALSE(unset.form.control(Id::Label3).visible);
    EXPECT_FALSE(unset.form.control(Id::Label4).visible);
}

// The engine refuses the window's run as it refuses the console's: under PreviewOnly, and in the
// system account's own profile, which is no user's.
TEST(Form1PolicyTest, ARefusedRunIsToldByTheActionButtonsAndCleansNothing) {
    struct Case {
        const char* what;
        bool system_account;
        std::string text;
    };
    const Case cases[] = {
        {"only previews", false,
         "Your organisation allows only previews here: nothing may be cleaned or restored "
         "(PreviewOnly = 1 in HKEY_LOCAL_MACHINE\\Software\\Policies\\TOLM\\VESK Cleaning "
         "Wizard)."},
        {"the system account", true,
         "The local system account's profile is no user's: nothing was done. Run the program in "
         "the signed-in user's context, or VeskClean with /allusers to clean every profile."},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        PolicyWindowWorld world({{"PreviewOnly", fake::reg_dword(each.system_account ? 0 : 1)}});
        world.fake.system_account = each.system_account;
        Form1& form = world.form;
        world.fake.add_file(std::string(kHostFolder) + "\\a.$$$");
        const std::vector<std::string> before = world.fake.whole_world();

        form.click(Id::Command1);
        form.click(Id::Command3);
        form.click(Form1::Check2(0));
        form.click(Id::Command2);

        ASSERT_EQ(world.fake.boxes.size(), 2u);
        for (const fake::MessageBox& box : world.fake.boxes) {
            EXPECT_EQ(box.text, each.text);
            EXPECT_EQ(box.style, platform::kMbInformation);
        }
        EXPECT_EQ(world.fake.whole_world(), before);
        EXPECT_EQ(form.control(Id::Command1).caption, "Go!");
        EXPECT_FALSE(form.ended());
        EXPECT_FALSE(form.control(Id::Label3).visible);
    }
}

} // namespace
