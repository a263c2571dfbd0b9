// The advanced panel: the coupling of its boxes, the confirmation, and the run.
#include "operation_world.h"

#include <gtest/gtest.h>

namespace {

using Id = ControlId;

const Id kCheck4 = Form1::named("Check4");
const Id kCheck5 = Form1::named("Check5");

const std::string kLocal = "C:\\Users\\Ann\\AppData\\Local";
const std::string kPfStore = kLocal + "\\VirtualStore\\A\\B\\Veskpath";
const std::string kPdStore = kLocal + "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";
const std::string kAccessQuestion =
    "Do you really want to restore the VESK folder access rights for these folders ?";
const std::string kStoreQuestion = "Do you really want to clean the Virtual Store for this folder?";
const std::string kNoStore = "This Virtual Store does not exist, no action will be taken.";
const std::string kFinished = "Cleaning finished. Log file has been written to:\r\nD:\\Host\\";

struct AdvancedWorld : InterposedWorld {
    AdvancedWorld() {
        fake.special_folders[platform::kCsidlLocalAppData] = kLocal;
        state.ProgramPath = "C:\\A\\B\\C";
        state.AppDataPath = "D:\\Vesk\\Data";
        state.AuxDataPath = "D:\\Vesk\\Aux";
        fake.add_dir(state.AppDataPath);
        fake.add_dir(state.AuxDataPath);
        form.Form_Load();
        form.click(Id::Command3);
    }
    int value(Id id) const { return form.control(id).value; }
    std::string caption(Id id) const { return form.control(id).caption; }
    // Check3, Check4, Check5.
    std::array<int, 3> store_boxes() const {
        return {value(Id::Check3), value(kCheck4), value(kCheck5)};
    }
    std::vector<std::string> calls_of(std::string_view kind) const {
        std::vector<std::string> made;
        for (const auto& call : fake.calls) {
            if (call.rfind(kind, 0) == 0) {
                made.push_back(call);
            }
        }
        return made;
    }
    void tick_all_four() {
        form.click(Form1::Check2(0));
        form.click(Id::Check3);
    }
    void add_stores() {
        fake.add_file(kPfStore + "\\Vesk.ini");
        fake.add_file(kPdStore + "\\Sub\\Toolbar.tlb");
    }
    ScriptedDialogs dialogs;
    Form1 form{interposed, fake, dialogs};
};

class BoxCouplingTest : public testing::Test, protected AdvancedWorld {};

using Boxes = std::array<int, 3>;

TEST_F(BoxCouplingTest, TheMasterBoxTicksAndUnticksBothFolderBoxes) {
    EXPECT_EQ(store_boxes(), (Boxes{0, 0, 0}));
    EXPECT_EQ(caption(Id::Command2), "Done");
    form.click(Id::Check3);
    EXPECT_EQ(store_boxes(), (Boxes{1, 1, 1}));
    EXPECT_EQ(caption(Id::Command2), "Go!");
    form.click(Id::Check3);
    EXPECT_EQ(store_boxes(), (Boxes{0, 0, 0}));
    EXPECT_EQ(caption(Id::Command2), "Done");
}

TEST_F(BoxCouplingTest, OneFolderBoxTicksTheMasterAndLeavesTheOther) {
    form.click(kCheck4);
    EXPECT_EQ(store_boxes(), (Boxes{1, 1, 0}));
    EXPECT_EQ(caption(Id::Command2), "Go!");
    form.click(kCheck4);
    form.click(kCheck5);
    EXPECT_EQ(store_boxes(), (Boxes{1, 0, 1}));
    EXPECT_EQ(caption(Id::Command2), "Go!");
}

TEST_F(BoxCouplingTest, UntickingTheLastFolderBoxUnticksTheMaster) {
    form.click(Id::Check3);
    form.click(kCheck4);
    EXPECT_EQ(store_boxes(), (Boxes{1, 0, 1}));
    EXPECT_EQ(caption(Id::Command2), "Go!");
    form.click(kCheck5);
    EXPECT_EQ(store_boxes(), (Boxes{0, 0, 0}));
    EXPECT_EQ(caption(Id::Command2), "Done");

    form.click(Id::Check3);
    form.click(kCheck5);
    EXPECT_EQ(store_boxes(), (Boxes{1, 1, 0}));
    form.click(kCheck4);
    EXPECT_EQ(store_boxes(), (Boxes{0, 0, 0}));
}

TEST_F(BoxCouplingTest, UntickingTheMasterWithOneFolderBoxUnticksIt) {
    form.click(kCheck5);
    form.click(Id::Check3);
    EXPECT_EQ(store_boxes(), (Boxes{0, 0, 0}));
    EXPECT_EQ(caption(Id::Command2), "Done");
}

TEST_F(BoxCouplingTest, TheCaptionReadsGoWhileAnyAdvancedBoxIsTicked) {
    form.click(Form1::Check2(0));
    EXPECT_EQ(caption(Id::Command2), "Go!");
    form.click(kCheck4);
    form.click(kCheck4);
    EXPECT_EQ(value(Id::Check3), 0);
    EXPECT_EQ(caption(Id::Command2), "Go!");
    form.click(Form1::Check2(0));
    EXPECT_EQ(caption(Id::Command2), "Done");
    EXPECT_EQ(caption(Id::Command1), "Go!");
}

// One combination of ticked boxes and stores on disk, and the text the user is asked.
struct Confirmation {
    const char* name;
    bool check2, check4, check5, pf_exists, pd_exists;
    std::string text;
    int style;
};

void PrintTo(const Confirmation& confirmation, std::ostream* out) {
    *out << confirmation.name;
}

class ConfirmationTest : public testing::TestWithParam<Confirmation>, protected AdvancedWorld {};

TEST_P(ConfirmationTest, TextAndButtonsFollowTheBoxesAndTheStores) {
    const Confirmation& c = GetParam();
    if (c.pf_exists) {
        fake.add_dir(kPfStore);
    }
    if (c.pd_exists) {
        fake.add_dir(kPdStore);
    }
    if (c.check2) {
        form.click(Form1::Check2(0));
    }
    if (c.check4) {
        form.click(kCheck4);
    }
    if (c.check5) {
        form.click(kCheck5);
    }
    fake.answers = {platform::kIdNo};
    form.click(Id::Command2);
    ASSERT_FALSE(fake.boxes.empty());
    EXPECT_EQ(fake.boxes.front().text, c.text);
    EXPECT_EQ(fake.boxes.front().style, c.style);
}

const std::string kAccessSection =
    "\r\n" + kAccessQuestion + "\r\nD:\\Vesk\\Data\r\nD:\\Vesk\\Aux\r\n";
const std::string kAnd = "\r\nand\r\n";
const std::string kPfSection = "\r\n" + kStoreQuestion + "\r\n" + kPfStore + "\r\n";
const std::string kPfMissing = "\r\n" + kPfStore + "\r\n" + kNoStore + "\r\n";
const std::string kPdSection = "\r\n" + kStoreQuestion + "\r\n" + kPdStore;
const std::string kPdMissing = "\r\n" + kPdStore + "\r\n" + kNoStore + "\r\n";
constexpr int kAsk = platform::kMbQuestionYesNo;
constexpr int kTell = platform::kMbOk;

INSTANTIATE_TEST_SUITE_P(
    EveryCombination, ConfirmationTest,
    testing::Values(
        Confirmation{"AllBoxesBothStores", true, true, true, true, true,
                     kAccessSection + kAnd + kPfSection + kPdSection, kAsk},
        Confirmation{"AccessRightsOnly", true, false, false, false, false, kAccessSection, kAsk},
        Confirmation{"AccessRightsAndMissingStores", true, true, true, false, false,
                     kAccessSection + kAnd + kPfMissing + kPdMissing, kAsk},
        Confirmation{"AccessRightsAndProgramData", true, false, true, true, true,
                     kAccessSection + kAnd + kPdSection, kAsk},
        Confirmation{"ProgramFilesOnly", false, true, false, true, true, kPfSection, kAsk},
        Confirmation{"ProgramFilesMissing", false, true, false, false, true, kPfMissing, kTell},
        Confirmation{"ProgramDataOnly", false, false, true, true, true, kPdSection, kAsk},
        Confirmation{"ProgramDataMissing", false, false, true, true, false, kPdMissing, kTell},
        Confirmation{"BothStoresOneMissing", false, true, true, true, false,
                     kPfSection + kPdMissing, kAsk},
        Confirmation{"BothStoresOtherMissing", false, true, true, false, true,
                     kPfMissing + kPdSection, kAsk},
        Confirmation{"BothStoresMissing", false, true, true, false, false, kPfMissing + kPdMissing,
                     kTell}),
    [](const testing::TestParamInfo<Confirmation>& param_info) { return param_info.param.name; });

class AdvancedRunTest : public testing::Test, protected AdvancedWorld {};

// A data folder the host key does not name still has its line: the question lists two.
TEST_F(AdvancedRunTest, AnUnnamedDataFolderKeepsItsLineInTheQuestion) {
    state.AppDataPath.clear();
    form.click(Form1::Check2(0));
    fake.answers = {platform::kIdNo};
    form.click(Id::Command2);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "\r\n" + kAccessQuestion + "\r\n\r\nD:\\Vesk\\Aux\r\n");
}

TEST_F(AdvancedRunTest, AllFourBoxesRunInTheirFixedOrderIntoANewLog) {
    add_stores();
    tick_all_four();
    form.click(Id::Command2);

    const std::string confirmation = "box " + kAccessSection + kAnd + kPfSection + kPdSection;
    const std::string closing = "box " + kFinished + "Cleaning1.log";
    std::vector<std::string> order;
    for (const auto& call : fake.calls) {
        if (call.rfind("box ", 0) == 0 || call.rfind("create ", 0) == 0 ||
            call.rfind("run ", 0) == 0 || call.rfind("delete_file ", 0) == 0) {
            order.push_back(call);
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{
                         confirmation, "create D:\\Host\\Cleaning1.log",
                         "run icacls \"D:\\Vesk\\Data\" /T /Q /grant:r *S-1-5-32-545:(OI)(CI)F",
                         "run icacls \"D:\\Vesk\\Aux\" /T /Q /grant:r *S-1-5-32-545:(OI)(CI)F",
                         "delete_file " + kPfStore + "\\Vesk.ini",
                         "delete_file " + kPdStore + "\\Sub\\Toolbar.tlb", closing}));
    EXPECT_EQ(lines_of(log_text()),
              (std::vector<std::string>{"Permissions Set For:        D:\\Vesk\\Data",
                                        "Permissions Set For:        D:\\Vesk\\Aux",
                                        "Path cleaned: " + kPfStore, "Path cleaned: " + kPdStore}));
    EXPECT_EQ(fake.boxes.back().style, platform::kMbInformation);
    EXPECT_EQ(fake.pointers,
              (std::vector<int>{platform::kPointerHourglass, platform::kPointerDefault}));
    EXPECT_TRUE(fake.exists(kPdStore + "\\Sub"));
    EXPECT_FALSE(form.ended());
}

TEST_F(AdvancedRunTest, AMissingStoreIsStillPassedOnAndLoggedAsNotFound) {
    fake.add_file(kPfStore + "\\Vesk.ini");
    form.click(Id::Check3);
    form.click(Id::Command2);
    EXPECT_EQ(fake.boxes.front().style, platform::kMbQuestionYesNo);
    EXPECT_EQ(lines_of(log_text()),
              (std::vector<std::string>{"Path cleaned: " + kPfStore, kPdStore + " not found!"}));
    EXPECT_FALSE(fake.exists(kPfStore + "\\Vesk.ini"));
    EXPECT_EQ(fake.boxes.back().text, kFinished + "Cleaning1.log");
}

TEST_F(AdvancedRunTest, ARunResetsBothPanels) {
    add_stores();
    form.click(Form1::Check1(0));
    form.click(Id::Check3);
    ASSERT_EQ(caption(Id::Command1), "Go!");
    form.click(Id::Command2);

    for (const Control& control : form.controls()) {
        if (control.kind == ControlKind::CheckBox) {
            EXPECT_EQ(control.value, 0) << control.name << control.index;
        }
    }
    EXPECT_EQ(caption(Id::Command1), "Done");
    EXPECT_EQ(caption(Id::Command2), "Done");
    EXPECT_FALSE(form.ended());
}

// No, and any answer but Yes: a box that could not be shown gives 0.
TEST_F(AdvancedRunTest, AnythingButYesChangesNothing) {
    add_stores();
    tick_all_four();
    for (const int answer : {platform::kIdNo, 0, 2}) {
        fake.boxes.clear();
        fake.answers = {answer};
        form.click(Id::Command2);

        EXPECT_EQ(fake.boxes.size(), 1u) << answer;
        EXPECT_EQ(value(Form1::Check2(0)), 1);
        EXPECT_EQ(store_boxes(), (Boxes{1, 1, 1}));
        EXPECT_EQ(value(Form1::Check1(2)), 1);
        EXPECT_EQ(caption(Id::Command1), "Go!");
        EXPECT_EQ(caption(Id::Command2), "Go!");
        EXPECT_TRUE(fake.starts.empty()) << answer;
        EXPECT_TRUE(calls_of("delete_file").empty()) << answer;
        EXPECT_TRUE(calls_of("create").empty()) << answer;
        EXPECT_TRUE(fake.pointers.empty()) << answer;
    }
}

TEST_F(AdvancedRunTest, NothingConfirmableShowsTheSummaryWithOkOnlyAndResets) {
    form.click(kCheck4);
    form.click(Id::Command2);

    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, kPfMissing);
    EXPECT_EQ(fake.boxes[0].style, platform::kMbOk);
    EXPECT_TRUE(calls_of("create").empty());
    EXPECT_FALSE(fake.exists("D:\\Host\\Cleaning1.log"));
    EXPECT_EQ(store_boxes(), (Boxes{0, 0, 0}));
    EXPECT_EQ(value(Form1::Check1(2)), 0);
    EXPECT_EQ(caption(Id::Command1), "Done");
    EXPECT_EQ(caption(Id::Command2), "Done");
}

// A program path with no folder above its last element mirrors nothing: the store's path would
// be made up, and whatever lies there is not the suite's.
TEST_F(AdvancedRunTest, AProgramPathWithoutAParentFolderHasNoProgramFilesStore) {
    const std::string store = kLocal + "\\VirtualStore\\Veskpath";
    fake.add_file(store + "\\Vesk.ini");
    add_stores();
    for (const char* program_path : {"", "C:", "C:\\", "C:\\Vesk"}) {
        state.ProgramPath = program_path;
        fake.boxes.clear();
        form.click(kCheck4);
        form.click(Id::Command2);
        ASSERT_EQ(fake.boxes.size(), 1u) << program_path;
        EXPECT_EQ(fake.boxes[0].text, "\r\n" + store + "\r\n" + kNoStore + "\r\n");
        EXPECT_EQ(fake.boxes[0].style, platform::kMbOk);
    }
    form.click(Id::Check3);
    form.click(Id::Command2);

    EXPECT_EQ(lines_of(log_text()),
              (std::vector<std::string>{store + " not found!", "Path cleaned: " + kPdStore}));
    EXPECT_TRUE(fake.exists(store + "\\Vesk.ini"));
    EXPECT_FALSE(fake.exists(kPdStore + "\\Sub\\Toolbar.tlb"));
    EXPECT_FALSE(form.ended());
}

TEST_F(AdvancedRunTest, WithoutTheLocalFolderBothStoresAreMissing) {
    fake.special_folders.clear();
    fake.add_file("C:\\VirtualStore\\A\\B\\Veskpath\\Vesk.ini");
    form.click(Id::Check3);
    form.click(Id::Command2);

    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "\r\n\\VirtualStore\\A\\B\\Veskpath\r\n" + kNoStore +
                                      "\r\n\r\n\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4\r\n" +
                                      kNoStore + "\r\n");
    EXPECT_EQ(fake.boxes[0].style, platform::kMbOk);
    EXPECT_TRUE(fake.exists("C:\\VirtualStore\\A\\B\\Veskpath\\Vesk.ini"));
    EXPECT_EQ(caption(Id::Command2), "Done");
}

TEST_F(AdvancedRunTest, RefusalsAreToldInTheClosingMessage) {
    fake.add_file(kPfStore + "\\Vesk.ini", "", platform::attr::kReadOnly);
    fake.process_results = {{true, {}, 0}, {true, {}, 2}};
    form.click(Form1::Check2(0));
    form.click(kCheck4);
    form.click(Id::Command2);

    EXPECT_EQ(
        lines_of(log_text()),
        (std::vector<std::string>{"Permissions Set For:        D:\\Vesk\\Data",
                                  "Permissions Not Set For:    D:\\Vesk\\Aux (icacls exit code 2)",
                                  "Could not delete File:      " + kPfStore + "\\Vesk.ini (" +
                                      fake::kAccessDenied + ")",
                                  "Path not fully cleaned:     " + kPfStore}));
    EXPECT_EQ(fake.boxes.back().text,
              kFinished +
                  "Cleaning1.log\r\n\r\nSome items could not be cleaned; the log lists them.");
}

TEST_F(AdvancedRunTest, WithoutALogNothingRunsAndTheUserIsWarned) {
    add_stores();
    tick_all_four();
    fake.make_unlistable(kHostFolder);
    form.click(Id::Command2);

    EXPECT_TRUE(fake.starts.empty());
    EXPECT_TRUE(calls_of("delete_file").empty());
    EXPECT_EQ(fake.boxes.back().text,
              "No cleaning log could be created in:\r\nD:\\Host\r\n\r\nNothing was cleaned.");
    EXPECT_EQ(fake.boxes.back().style, platform::kMbWarning);
    EXPECT_EQ(caption(Id::Command2), "Done");
}

TEST_F(AdvancedRunTest, DoneEndsTheProgramWithoutAWord) {
    form.click(Id::Command2);
    EXPECT_TRUE(form.ended());
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(calls_of("create").empty());
}

TEST_F(AdvancedRunTest, AnUncoveredStoreFailureIsLoggedThenEndsTheProgram) {
    fake.add_file(kPfStore + "\\Vesk.ini");
    int look_ups = 0;
    files.before = [&](std::string_view call, std::string_view path) {
        // The confirmation's look-up passes; the run's own fails.
        if (call == "find" && path == kPfStore && ++look_ups == 2) {
            throw platform::Failure("The device is not ready.");
        }
    };
    form.click(Form1::Check2(0));
    form.click(kCheck4);
    form.click(Id::Command2);

    EXPECT_EQ(
        lines_of(log_text()),
        (std::vector<std::string>{"Permissions Set For:        D:\\Vesk\\Data",
                                  "Permissions Set For:        D:\\Vesk\\Aux",
                                  "Error in MM_CleanVirtualStore: The device is not ready."}));
    EXPECT_EQ(fake.boxes.back().style, platform::kMbError);
    EXPECT_NE(fake.boxes.back().text.find("MM_CleanVirtualStore"), std::string::npos);
    EXPECT_TRUE(form.ended());
    EXPECT_FALSE(log.is_open());
    EXPECT_TRUE(fake.exists(kPfStore + "\\Vesk.ini"));
}

} // namespace
