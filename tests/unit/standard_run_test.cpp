// The standard run: the confirmation, the operations of the ticked boxes in their fixed order
// into a new log, the closing message, and the reset of the panel.
#include "engine/marker.h"
#include "operation_world.h"
#include "operations/registry_settings.h"

#include <gtest/gtest.h>

namespace {

using Id = ControlId;
using platform::RegistryRoot;

const std::string kBranch(kSettingsBranch);
const std::string kFinished = "Cleaning finished. Log file has been written to:\r\n";
const std::string kSomeLeft = "\r\n\r\nSome items could not be cleaned; the log lists them.";

std::string host(std::string_view name) {
    return std::string(kHostFolder) + "\\" + std::string(name);
}

// A path in the first run's backup folder; the folder itself for an empty name.
std::string backup(std::string_view name) {
    return host("Cleaning1.backup") + (name.empty() ? "" : "\\" + std::string(name));
}

struct StandardWorld : InterposedWorld {
    StandardWorld() { form.Form_Load(); }
    void tick_all_six() {
        for (const int index : {0, 1, 4, 5}) {
            form.click(Form1::Check1(index));
        }
    }
    // One leftover of every kind, a read-only settings file among them.
    void add_leftovers() {
        fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Recent");
        fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\VESK 4.0");
        fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\Other");
        fake.add_file(host("Vesk30.ini"));
        fake.add_file(host("Pomb30.ini"), "", platform::attr::kReadOnly);
        fake.add_file(host("a.$$$"));
        fake.add_file(host("log.txt"));
        fake.add_file(host("p.vk$\\Main.frm"));
        fake.add_file(host("Main.tlb"));
        fake.add_file(host("Keep.txt"));
        fake.add_file("C:\\WINDOWS\\veskhogl.ini");
    }
    std::vector<std::string> box_texts() const {
        std::vector<std::string> texts;
        for (const auto& box : fake.boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }
    std::vector<int> standard_ticks() const {
        std::vector<int> ticks;
        for (int index = 0; index <= 5; ++index) {
            ticks.push_back(form.control(Form1::Check1(index)).value);
        }
        return ticks;
    }
    std::string caption(Id id) const { return form.control(id).caption; }
    ScriptedDialogs dialogs;
    Form1 form{interposed, fake, dialogs};
};

class StandardRunTest : public testing::Test, protected StandardWorld {};

using Ticks = std::vector<int>;

TEST_F(StandardRunTest, TheConfirmationListsTheTickedBoxesInTableOrder) {
    fake.answers = {platform::kIdNo, platform::kIdNo};
    form.click(Id::Command1);
    tick_all_six();
    form.click(Id::Command1);

    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[0].text, "Do you really want to delele: \r\n\r\n"
                                  "- Temporary VESK Files\r\n"
                                  "- Temporary VESK Project Folders\r\n");
    EXPECT_EQ(fake.boxes[1].text, "Do you really want to delele: \r\n\r\n"
                                  "- VESK Registry Settings\r\n"
                                  "- VESK Configuration Settings\r\n"
                                  "- Temporary VESK Files\r\n"
                                  "- Temporary VESK Project Folders\r\n"
                                  "- VESK Toolbar Settings\r\n"
                                  "- VESK OpenGL Settings\r\n");
    EXPECT_EQ(fake.boxes[1].style, platform::kMbQuestionYesNo);
}

// No, and any answer but Yes: a box that could not be shown gives 0.
TEST_F(StandardRunTest, AnythingButYesChangesNothing) {
    add_leftovers();
    form.click(Form1::Check1(4));
    for (const int answer : {platform::kIdNo, 0, 2}) {
        fake.calls.clear();
        fake.answers = {answer};

        form.click(Id::Command1);

        EXPECT_EQ(fake.calls.size(), 1u) << answer; // the question only
        EXPECT_TRUE(fake.pointers.empty());
        EXPECT_FALSE(fake.exists(host("Cleaning1.log")));
        EXPECT_TRUE(fake.exists(host("a.$$$")));
        EXPECT_EQ(standard_ticks(), (Ticks{0, 0, 1, 1, 1, 0}));
        EXPECT_EQ(caption(Id::Command1), "Go!");
        EXPECT_FALSE(form.ended());
    }
}

TEST_F(StandardRunTest, AllSixBoxesRunInTheirFixedOrderIntoANewLog) {
    add_leftovers();
    tick_all_six();
    form.click(Id::Command3);
    form.click(Form1::Check2(0)); // the advanced panel is not the standard run's business
    bool open_while_shown = false;
    int pointer_while_shown = -1;
    std::string log_while_shown;
    fake.on_message_box = [&](const fake::MessageBox& box) {
        if (box.style == platform::kMbInformation) {
            open_while_shown = log.is_open();
            pointer_while_shown = form.mouse_pointer();
            log_while_shown = log_text();
        }
    };

    form.click(Id::Command1);

    const std::string key = "delete_key " + kBranch + "\\";
    const std::string marker(kMarkerKey);
    EXPECT_EQ(fake.calls,
              (std::vector<std::string>{
                  fake.calls.front(), "create " + host("Cleaning1.log"),
                  // Every key and settings file is backed up before it goes, a key's subkeys
                  // deleted before it, a file read and deleted through one handle.
                  "create_folder " + backup(""), "create_binary " + backup("registry.reg"),
                  "create_binary " + backup("contents.sha256"), key + "VeskTorp\\Recent",
                  key + "VeskTorp", key + "VESK 4.0", "create_binary " + backup("Vesk30.ini"),
                  "delete_file " + host("Vesk30.ini"), "create_binary " + backup("Pomb30.ini"),
                  "delete_file " + host("Pomb30.ini"), "delete_file " + host("a.$$$"),
                  "delete_file " + host("log.txt"), "shell_delete " + host("p.vk$"),
                  "delete_file " + host("Main.tlb"), "create_binary " + backup("veskhogl.ini"),
                  "delete_file C:\\WINDOWS\\veskhogl.ini",
                  // The marker for detection rules, before the user is told.
                  "create_key Software\\TOLM", "create_key " + marker,
                  "set_value " + marker + " LastCleaningTime",
                  "set_value " + marker + " LastCleaningExitCode",
                  "set_value " + marker + " LastCleaningLog", "set_value " + marker + " Version",
                  "set_value " + marker + " Backups", fake.calls.back()}));
    const std::vector<std::string> expected_log = {
        "Deleted Key:  HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\VeskTorp",
        "Deleted Key:  HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\VESK 4.0",
        "Deleted File: D:\\Host\\Vesk30.ini",
        "Could not delete File:      D:\\Host\\Pomb30.ini (Access is denied.)",
        "Deleted File: D:\\Host\\a.$$$",
        "Deleted File: D:\\Host\\log.txt",
        "Deleted Directory:          D:\\Host\\p.vk$",
        "Deleted File: D:\\Host\\Main.tlb",
        "Deleted File: C:\\WINDOWS\\veskhogl.ini",
        "Backed up to: D:\\Host\\Cleaning1.backup",
    };
    EXPECT_EQ(lines_of(log_text()), expected_log);
    EXPECT_EQ(fake.boxes.back().text, kFinished + "D:\\Host\\Cleaning1.log" + kSomeLeft);
    EXPECT_EQ(fake.boxes.back().style, platform::kMbInformation);
    EXPECT_EQ(fake.boxes.size(), 2u);
    // The message is shown with the log complete on disk and still open, the arrow back.
    EXPECT_TRUE(open_while_shown);
    EXPECT_EQ(lines_of(log_while_shown), expected_log);
    EXPECT_EQ(pointer_while_shown, platform::kPointerDefault);
    EXPECT_EQ(fake.pointers,
              (std::vector<int>{platform::kPointerHourglass, platform::kPointerDefault}));
    EXPECT_FALSE(log.is_open());

    EXPECT_EQ(
        fake.tree(kHostFolder),
        (std::vector<std::string>{"cleaning1.backup", "cleaning1.backup\\contents.sha256",
                                  "cleaning1.backup\\pomb30.ini", "cleaning1.backup\\registry.reg",
                                  "cleaning1.backup\\vesk30.ini", "cleaning1.backup\\veskhogl.ini",
                                  "cleaning1.log", "keep.txt", "pomb30.ini"}));
    EXPECT_TRUE(fake.key(RegistryRoot::CurrentUser, kBranch + "\\Other") != nullptr);
    EXPECT_EQ(standard_ticks(), (Ticks{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(caption(Id::Command1), "Done");
    EXPECT_EQ(form.control(Form1::Check2(0)).value, 1);
    EXPECT_EQ(caption(Id::Command2), "Go!");
    EXPECT_FALSE(form.ended());
}

TEST_F(StandardRunTest, EveryTrappedFailureIsReportedAndTheRunGoesOn) {
    add_leftovers();
    fake.entry(host("Pomb30.ini"))->attributes = platform::attr::kArchive;
    fake.add_file(host("TorpMain.ini"));
    state.KeyList.resize(32768, "Gone"); // the search can append no more rows
    tick_all_six();
    const CallHook fail_key = fail_on("delete_key", kBranch + "\\VeskTorp");
    const CallHook fail_ini = fail_on("open_file", host("TorpMain.ini"));
    const CallHook fail_file = fail_on("delete_file", host("a.$$$"));
    const CallHook fail_dir = fail_on("shell_delete", host("p.vk$"));
    registry.before = fail_key;
    files.before = [&](std::string_view call, std::string_view path) {
        fail_ini(call, path);
        fail_file(call, path);
        fail_dir(call, path);
    };

    form.click(Id::Command1);

    const std::string why = "The device is not ready.";
    EXPECT_EQ(box_texts(), (std::vector<std::string>{
                               fake.boxes.front().text,
                               "Error in MM_EnumVESKKeys: Overflow",
                               "Error in MM_DeleteVESKKeys: " + why,
                               "Error in MM_DeleteIniFiles: " + why,
                               "Error in MM_DeleteTempFiles: " + why,
                               "Error in MM_DeleteTempDirs: " + why,
                               kFinished + "D:\\Host\\Cleaning1.log",
                           }));
    EXPECT_EQ(lines_of(log_text()), (std::vector<std::string>{
                                        "Error in MM_EnumVESKKeys: Overflow",
                                        "Error in MM_DeleteVESKKeys: " + why,
                                        "Error in MM_DeleteIniFiles: " + why,
                                        "Error in MM_DeleteFiles: " + why,
                                        "Deleted File: D:\\Host\\log.txt",
                                        "Error in MM_DeleteTempDirs: " + why,
                                        "Deleted File: D:\\Host\\Main.tlb",
                                        "Deleted File: C:\\WINDOWS\\veskhogl.ini",
                                        "Backed up to: D:\\Host\\Cleaning1.backup",
                                    }));
    EXPECT_TRUE(fake.exists(host("Vesk30.ini")));
    EXPECT_TRUE(fake.key(RegistryRoot::CurrentUser, kBranch + "\\VESK 4.0") != nullptr);
    EXPECT_EQ(caption(Id::Command1), "Done");
    EXPECT_FALSE(form.ended());
}

TEST_F(StandardRunTest, ARunThatDeletesNothingLeavesAnEmptyLogAndAPlainMessage) {
    form.click(Id::Command1);
    EXPECT_EQ(fake.boxes.back().text, kFinished + "D:\\Host\\Cleaning1.log");
    EXPECT_TRUE(fake.exists(host("Cleaning1.log")));
    EXPECT_EQ(log_text(), "");
    EXPECT_EQ(standard_ticks(), (Ticks{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(caption(Id::Command1), "Done");
}

TEST_F(StandardRunTest, TwoRunsWriteTwoLogs) {
    fake.add_file(host("a.$$$"));
    form.click(Id::Command1);
    fake.add_file(host("b.$$$"));
    form.click(Form1::Check1(2));
    EXPECT_EQ(caption(Id::Command1), "Go!");

    form.click(Id::Command1);

    EXPECT_EQ(fake.boxes[1].text, kFinished + "D:\\Host\\Cleaning1.log");
    EXPECT_EQ(fake.boxes[2].text,
              "Do you really want to delele: \r\n\r\n- Temporary VESK Files\r\n");
    EXPECT_EQ(fake.boxes[3].text, kFinished + "D:\\Host\\Cleaning2.log");
    EXPECT_EQ(lines_of(log_text(1)), std::vector<std::string>{"Deleted File: D:\\Host\\a.$$$"});
    EXPECT_EQ(lines_of(log_text(2)), std::vector<std::string>{"Deleted File: D:\\Host\\b.$$$"});
    EXPECT_FALSE(form.ended());
}

TEST_F(StandardRunTest, AHostPathEndingInABackslashIsKeptInTheMessage) {
    state.VeskPath = std::string(kHostFolder) + "\\";
    form.click(Id::Command1);
    EXPECT_EQ(fake.boxes.back().text, kFinished + "D:\\Host\\\\Cleaning1.log");
    EXPECT_TRUE(fake.exists(host("Cleaning1.log")));
}

TEST_F(StandardRunTest, WithoutALogNameNothingRunsAndTheUserIsWarned) {
    for (int n = 1; n <= kLastLogNumber; ++n) {
        fake.add_file(host("Cleaning" + std::to_string(n) + ".log"));
    }
    fake.add_file(host("a.$$$"));
    fake.calls.clear();

    form.click(Id::Command1);

    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[1].text,
              "No cleaning log could be created in:\r\nD:\\Host\r\n\r\nNothing was cleaned.");
    EXPECT_EQ(fake.boxes[1].style, platform::kMbWarning);
    EXPECT_EQ(fake.calls.size(), 2u); // the two boxes
    EXPECT_TRUE(fake.exists(host("a.$$$")));
    EXPECT_EQ(fake.pointers,
              (std::vector<int>{platform::kPointerHourglass, platform::kPointerDefault}));
    EXPECT_EQ(standard_ticks(), (Ticks{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(caption(Id::Command1), "Done");
    EXPECT_FALSE(form.ended());
}

// The count of the items handled stands in the panel's caption while the run works; the
// caption is the stored one again before the closing message.
TEST_F(StandardRunTest, TheRunCountsItsItemsInThePanelCaptionAndGivesItBack) {
    for (const char* name : {"a.$$$", "b.$$$", "c.$$$"}) {
        fake.add_file(host(name));
    }
    std::vector<std::string> while_deleting;
    files.before = [&](std::string_view call, std::string_view) {
        if (call == "delete_file") {
            while_deleting.push_back(caption(Id::Frame1));
        }
    };
    std::string while_told;
    fake.on_message_box = [&](const fake::MessageBox& box) {
        if (box.style == platform::kMbInformation) {
            while_told = caption(Id::Frame1);
        }
    };

    form.click(Id::Command1);

    EXPECT_EQ(while_deleting,
              (std::vector<std::string>{"Cleaning Options", "Cleaning Options (1 item)",
                                        "Cleaning Options (2 items)"}));
    EXPECT_EQ(while_told, "Cleaning Options");
    EXPECT_EQ(caption(Id::Frame1), "Cleaning Options");
    EXPECT_EQ(caption(Id::Frame2), "Advanced Cleaning Options");
}

// Closing the window during a run: the run stops after the item under way, the log says so and
// is closed, nothing after it is touched, and the program ends without the closing message.
TEST_F(StandardRunTest, ClosingDuringARunStopsItAfterTheItemUnderWayAndEndsTheProgram) {
    for (const char* name : {"a.$$$", "b.$$$", "c.$$$", "p.vk$\\Main.frm"}) {
        fake.add_file(host(name));
    }
    bool locked_while_running = false;
    files.before = [&](std::string_view call, std::string_view path) {
        if (call == "delete_file" && path == host("b.$$$")) {
            locked_while_running = fake.cleaning_locked;
            form.close();
            EXPECT_FALSE(form.ended()); // not while the run has the log
        }
    };

    form.click(Id::Command1);

    EXPECT_EQ(lines_of(log_text()), (std::vector<std::string>{"Deleted File: D:\\Host\\a.$$$",
                                                              "Deleted File: D:\\Host\\b.$$$",
                                                              "Cleaning stopped by the user."}));
    EXPECT_TRUE(fake.exists(host("c.$$$")));
    EXPECT_TRUE(fake.exists(host("p.vk$\\Main.frm")));
    EXPECT_EQ(box_texts(), std::vector<std::string>{fake.boxes.front().text});
    EXPECT_TRUE(form.ended());
    EXPECT_FALSE(form.running());
    EXPECT_FALSE(log.is_open());
    EXPECT_TRUE(locked_while_running);
    EXPECT_FALSE(fake.cleaning_locked);
    EXPECT_EQ(fake.pointers.back(), platform::kPointerDefault);
    EXPECT_EQ(caption(Id::Frame1), "Cleaning Options");
}

// Outside a run the close box ends the program at once, as ever.
TEST_F(StandardRunTest, AfterARunClosingEndsTheProgramAtOnce) {
    fake.add_file(host("a.$$$"));
    form.click(Id::Command1);
    ASSERT_FALSE(form.ended());

    form.close();

    EXPECT_TRUE(form.ended());
    EXPECT_EQ(lines_of(log_text()), std::vector<std::string>{"Deleted File: D:\\Host\\a.$$$"});
}

} // namespace
