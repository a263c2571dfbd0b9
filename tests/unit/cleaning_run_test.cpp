// The engine without a window: a preview walks exactly what a cleaning then does and changes
// nothing, one observer hears every item, the progress, every trapped failure and every line of
// the log, and the observer can stop a run between two items.
#include "engine/cleaning_run.h"
#include "engine/marker.h"
#include "operation_world.h"
#include "operations/registry_settings.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;

const std::string kBranch(kSettingsBranch);
const std::string kLocal = "C:\\Users\\Ann\\AppData\\Local";
const std::string kPfStore = kLocal + "\\VirtualStore\\Apps\\Veskpath";
const std::string kPdStore = kLocal + "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";

std::string host(std::string_view name) {
    return std::string(kHostFolder) + "\\" + std::string(name);
}

// Hears a run as the console program will: every event, in order.
struct RecordingObserver final : RunObserver {
    void operation_started(std::string_view procedure) override {
        operations.emplace_back(procedure);
    }
    void item_handled(const ItemEvent& item) override {
        items.push_back(shown_path(item.target));
        outcomes.push_back(item.outcome.outcome);
    }
    void progress(const Progress& step) override {
        steps.push_back(step.items_done);
        EXPECT_EQ(step.operation, operations.back());
    }
    void failure_trapped(const TrappedFailure& failure) override {
        trapped.push_back(failure.box_text);
        if (cannot_show) {
            throw std::runtime_error("The box could not be shown.");
        }
    }
    void line_written(std::string_view line) override { lines.emplace_back(line); }
    bool stop_requested() override { return stop && stop(); }

    std::function<bool()> stop; // asked at every item boundary
    bool cannot_show = false;   // a trapped failure cannot reach the user
    std::vector<std::string> operations;
    std::vector<std::string> items;
    std::vector<Outcome> outcomes;
    std::vector<std::size_t> steps;
    std::vector<std::string> trapped;
    std::vector<std::string> lines;
};

CleaningOptions standard_options() {
    CleaningOptions options;
    options.registry_settings = options.configuration_settings = options.temporary_files =
        options.project_folders = options.toolbar_settings = options.opengl_settings = true;
    return options;
}

CleaningOptions every_option() {
    CleaningOptions options = standard_options();
    options.access_rights = options.store_program_files = options.store_program_data = true;
    return options;
}

struct EngineWorld : InterposedWorld {
    EngineWorld() {
        fake.special_folders[platform::kCsidlLocalAppData] = kLocal;
        state.ProgramPath = "C:\\Apps\\Vesk";
        state.AppDataPath = kHostFolder;
        state.AuxDataPath = "D:\\Aux";
        fake.add_dir(state.AuxDataPath);
    }
    // One leftover of every kind, with something refused and something to leave alone.
    void add_leftovers() {
        fake.set_value(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Recent", "File",
                       fake::reg_sz("a.vsk"));
        fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\VESK 4.0");
        fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\Other");
        fake.add_file(host("Vesk30.ini"), "settings");
        fake.add_file(host("Pomb30.ini"), "", platform::attr::kReadOnly);
        fake.add_file(host("a.$$$"));
        fake.add_file(host("log.txt"));
        fake.add_file(host("p.vk$\\Main.frm"));
        fake.add_file("E:\\Work\\precious.frm");
        fake.add_link(host("linked.vk$"), "E:\\Work");
        fake.add_file(host("Main.tlb"));
        fake.add_file(host("Keep.txt"), "not ours");
        fake.add_file("C:\\WINDOWS\\veskhogl.ini");
        fake.add_file(kPfStore + "\\Vesk.ini");
        fake.add_file(kPfStore + "\\Sub\\Toolbar.tlb");
        fake.add_file(kPdStore + "\\Deep\\Er\\Map.ini");
    }
    std::vector<std::string> mutating_calls() const {
        std::vector<std::string> made;
        for (const auto& call : fake.calls) {
            if (!call.starts_with("box")) {
                made.push_back(call);
            }
        }
        return made;
    }
    RecordingObserver heard;
    Context engine{state, fake.os(), log, deletion, heard};
};

class CleaningRunTest : public testing::Test, protected EngineWorld {};

TEST_F(CleaningRunTest, APreviewChangesNothingAndListsWhatTheCleaningThenDoes) {
    add_leftovers();
    const std::vector<std::string> before = fake.whole_world();

    const RunReport preview = preview_cleaning(engine, every_option());

    EXPECT_EQ(fake.whole_world(), before);
    EXPECT_EQ(mutating_calls(), std::vector<std::string>{});
    EXPECT_TRUE(fake.starts.empty());
    EXPECT_EQ(preview.log, LogStatus::None);
    EXPECT_EQ(state.KeyList.size(), 11u);
    EXPECT_FALSE(preview.uncovered);
    EXPECT_EQ(preview.previewed, heard.items.size());
    EXPECT_TRUE(heard.lines.empty());
    const std::vector<std::string> previewed = heard.items;
    EXPECT_EQ(previewed, (std::vector<std::string>{
                             "HKEY_CURRENT_USER\\" + kBranch + "\\VeskTorp",
                             "HKEY_CURRENT_USER\\" + kBranch + "\\VESK 4.0", host("Vesk30.ini"),
                             host("Pomb30.ini"), host("a.$$$"), host("log.txt"), host("linked.vk$"),
                             host("p.vk$"), host("Main.tlb"), "C:\\WINDOWS\\veskhogl.ini",
                             kHostFolder, "D:\\Aux", kPfStore + "\\Sub\\Toolbar.tlb",
                             kPfStore + "\\Vesk.ini", kPdStore + "\\Deep\\Er\\Map.ini"}));

    heard = {};
    const RunReport cleaning = run_cleaning(engine, every_option());
    log.close();

    EXPECT_EQ(heard.items, previewed);
    EXPECT_EQ(cleaning.done, previewed.size() - 1);
    EXPECT_EQ(cleaning.refused, 1u); // the read-only settings file
    EXPECT_EQ(heard.steps.size(), previewed.size());
    EXPECT_EQ(heard.steps.back(), previewed.size());
    EXPECT_EQ(heard.lines, lines_of(log_text()));
    EXPECT_EQ(
        fake.tree(kHostFolder),
        (std::vector<std::string>{"cleaning1.backup", "cleaning1.backup\\contents.sha256",
                                  "cleaning1.backup\\pomb30.ini", "cleaning1.backup\\registry.reg",
                                  "cleaning1.backup\\vesk30.ini", "cleaning1.backup\\veskhogl.ini",
                                  "cleaning1.log", "keep.txt", "pomb30.ini"}));
    EXPECT_TRUE(fake.exists("E:\\Work\\precious.frm"));
    EXPECT_EQ(fake.tree(kPfStore), std::vector<std::string>{"sub"});
}

TEST_F(CleaningRunTest, EveryStandardItemIsOneLineOfTheLogAndOneStepOfProgress) {
    add_leftovers();
    const RunReport report = run_cleaning(engine, standard_options());
    EXPECT_EQ(report.log, LogStatus::Open);
    EXPECT_EQ(report.log_path, host("Cleaning1.log"));
    EXPECT_TRUE(log.is_open()); // the caller closes it once it has told the user
    log.close();

    const std::vector<std::string> logged = lines_of(log_text());
    // Every line but the last, which names the backup folder.
    EXPECT_EQ(logged.back(), "Backed up to: " + host("Cleaning1.backup"));
    EXPECT_EQ(heard.steps.back(), logged.size() - 1);
    EXPECT_EQ(heard.lines, logged);
    EXPECT_EQ(heard.operations,
              (std::vector<std::string>{"CleanRegistrySettings", "MM_DeleteIniFiles",
                                        "MM_DeleteTempFiles", "MM_DeleteTempDirs",
                                        "MM_DeleteTempFiles", "MM_DeleteOpenGLSettings"}));
}

TEST_F(CleaningRunTest, TrappedAndUncoveredFailuresReachTheReportWithoutABox) {
    add_leftovers();
    const CallHook fail_file = fail_on("delete_file", host("a.$$$"));
    const CallHook fail_opengl = fail_on("delete_file", "C:\\WINDOWS\\veskhogl.ini");
    files.before = [&](std::string_view call, std::string_view path) {
        fail_file(call, path);
        fail_opengl(call, path);
    };

    const RunReport report = run_cleaning(engine, every_option());

    EXPECT_TRUE(fake.boxes.empty());
    const std::string why = "The device is not ready.";
    EXPECT_EQ(heard.trapped, std::vector<std::string>{"Error in MM_DeleteTempFiles: " + why});
    ASSERT_EQ(report.trapped.size(), 1u);
    EXPECT_EQ(report.trapped[0].log_text, "Error in MM_DeleteFiles: " + why);
    ASSERT_TRUE(report.uncovered);
    EXPECT_EQ(report.uncovered->where, "MM_DeleteOpenGLSettings");
    EXPECT_EQ(report.uncovered->description, why);
    EXPECT_FALSE(log.is_open());
    const std::vector<std::string> logged = lines_of(log_text());
    ASSERT_GE(logged.size(), 2u);
    EXPECT_EQ(logged[logged.size() - 2], "Error in MM_DeleteOpenGLSettings: " + why);
    EXPECT_EQ(logged.back(), "Backed up to: " + host("Cleaning1.backup"));
    EXPECT_EQ(report.backup_folder, host("Cleaning1.backup"));
    // The run ended there: the advanced options never started.
    EXPECT_TRUE(fake.starts.empty());
    EXPECT_TRUE(fake.exists(kPfStore + "\\Vesk.ini"));
}

TEST_F(CleaningRunTest, AFailureThatCannotReachTheUserIsStillLoggedAndTheRunGoesOn) {
    add_leftovers();
    files.before = fail_on("delete_file", host("a.$$$"));
    heard.cannot_show = true;

    const RunReport report = run_cleaning(engine, standard_options());
    log.close();

    EXPECT_FALSE(report.uncovered);
    EXPECT_EQ(heard.trapped.size(), 1u);
    const std::vector<std::string> logged = lines_of(log_text());
    EXPECT_NE(std::find(logged.begin(), logged.end(),
                        "Error in MM_DeleteFiles: The device is not ready."),
              logged.end());
    // The operations after the failed one still ran.
    EXPECT_FALSE(fake.exists(host("Main.tlb")));
    EXPECT_FALSE(fake.exists("C:\\WINDOWS\\veskhogl.ini"));
}

TEST_F(CleaningRunTest, WithoutALogNothingRunsAndTheReportSaysWhy) {
    add_leftovers();
    const std::vector<std::string> before = fake.whole_world();
    fake.make_unlistable(kHostFolder);
    EXPECT_EQ(run_cleaning(engine, every_option()).log, LogStatus::NoName);

    fake.unlistable_folders.clear();
    fake.make_uncreatable(kHostFolder);
    const RunReport refused = run_cleaning(engine, every_option());
    EXPECT_EQ(refused.log, LogStatus::NotCreated);
    ASSERT_TRUE(refused.uncovered);
    EXPECT_EQ(refused.uncovered->where, "");
    EXPECT_EQ(refused.uncovered->description, fake::kAccessDenied);

    EXPECT_EQ(fake.whole_world(), before);
    EXPECT_TRUE(heard.items.empty());
}

const std::string kStopLine = "Cleaning stopped by the user.";

TEST_F(CleaningRunTest, AStopEndsTheRunAfterTheItemUnderWayAndTheLogSaysSo) {
    add_leftovers();
    fake.add_file(host("b.$$$"));
    // Seen inside an operation that traps its own failures: it must not take the stop for one.
    heard.stop = [this] { return fake.exists(host("Pomb30.ini")) && !fake.exists(host("a.$$$")); };

    const RunReport report = run_cleaning(engine, every_option());

    EXPECT_TRUE(report.stopped);
    EXPECT_FALSE(report.uncovered);
    EXPECT_TRUE(report.trapped.empty());
    EXPECT_FALSE(log.is_open());
    const std::vector<std::string> logged = lines_of(log_text());
    EXPECT_EQ(logged, (std::vector<std::string>{
                          "Deleted Key:  HKEY_CURRENT_USER\\" + kBranch + "\\VeskTorp",
                          "Deleted Key:  HKEY_CURRENT_USER\\" + kBranch + "\\VESK 4.0",
                          "Deleted File: " + host("Vesk30.ini"),
                          "Could not delete File:      " + host("Pomb30.ini") + " (" +
                              fake::kAccessDenied + ")",
                          "Deleted File: " + host("a.$$$"),
                          // What was backed up before the stop stays findable.
                          "Backed up to: " + host("Cleaning1.backup"), kStopLine}));
    EXPECT_EQ(heard.lines, logged);
    EXPECT_EQ(report.done + report.refused, 5u);
    // Nothing after the item under way was touched.
    EXPECT_TRUE(fake.exists(host("b.$$$")));
    EXPECT_TRUE(fake.exists(host("log.txt")));
    EXPECT_TRUE(fake.exists(host("p.vk$\\Main.frm")));
    EXPECT_TRUE(fake.exists("C:\\WINDOWS\\veskhogl.ini"));
    EXPECT_TRUE(fake.starts.empty());
    EXPECT_TRUE(fake.exists(kPfStore + "\\Vesk.ini"));
}

TEST_F(CleaningRunTest, AStopBeforeTheFirstOperationLeavesALogOfTheStopAlone) {
    add_leftovers();
    const std::vector<std::string> before = fake.whole_world();
    heard.stop = [] { return true; };

    const RunReport report = run_cleaning(engine, every_option());

    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.log, LogStatus::Open);
    EXPECT_EQ(lines_of(log_text()), std::vector<std::string>{kStopLine});
    EXPECT_FALSE(log.is_open());
    EXPECT_TRUE(heard.operations.empty());
    // The marker says the run was stopped; it and the log are all that changed.
    EXPECT_EQ(fake.value_of(RegistryRoot::CurrentUser, kMarkerKey, "LastCleaningExitCode"), "7");
    platform::delete_key_tree(fake, RegistryRoot::CurrentUser, "Software\\TOLM");
    std::vector<std::string> after = fake.whole_world();
    std::erase_if(after, [](const std::string& entry) {
        return entry.find("cleaning1.log") != std::string::npos;
    });
    EXPECT_EQ(after, before);
}

// The wait for the access-rights tool is called off by a stop: the folder's line says so and
// the second folder's tool never starts.
TEST_F(CleaningRunTest, AStopDuringTheRightsToolLogsTheFolderAsNotSetAndStartsNoOther) {
    add_leftovers();
    fake.process_results = {{true, {}, 0, false}};
    heard.stop = [this] { return !fake.starts.empty(); };
    CleaningOptions options;
    options.access_rights = options.store_program_files = true;

    const RunReport report = run_cleaning(engine, options);

    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(lines_of(log_text()),
              (std::vector<std::string>{
                  "Permissions Not Set For:    D:\\Host (stopped waiting for icacls, which may "
                  "still be running)",
                  kStopLine}));
    EXPECT_TRUE(fake.exists(kPfStore + "\\Vesk.ini"));
}

// Both tools have run when the stop comes during the second: each folder gets its line.
TEST_F(CleaningRunTest, AStopDuringTheSecondRightsToolStillLogsBothFolders) {
    add_leftovers();
    fake.process_results = {{true, {}, 0, true}, {true, {}, 0, false}};
    heard.stop = [this] { return fake.starts.size() == 2; };
    CleaningOptions options;
    options.access_rights = options.store_program_files = true;

    const RunReport report = run_cleaning(engine, options);

    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.done + report.refused, 2u);
    EXPECT_EQ(lines_of(log_text()),
              (std::vector<std::string>{
                  "Permissions Set For:        D:\\Host",
                  "Permissions Not Set For:    D:\\Aux (stopped waiting for icacls, which may "
                  "still be running)",
                  kStopLine}));
    EXPECT_TRUE(fake.exists(kPfStore + "\\Vesk.ini"));
}

TEST_F(CleaningRunTest, AStoppedPreviewStopsAtAnItemToo) {
    add_leftovers();
    heard.stop = [this] { return heard.items.size() == 3; };

    const RunReport preview = preview_cleaning(engine, every_option());

    EXPECT_TRUE(preview.stopped);
    EXPECT_EQ(preview.previewed + preview.refused, 3u);
    EXPECT_EQ(heard.items.size(), 3u);
    EXPECT_FALSE(fake.exists(host("Cleaning1.log")));
}

} // namespace
