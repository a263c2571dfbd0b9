// What the window shows of a run under way: the count in the panel's caption, the taskbar
// button's marquee then bar, and the count of the items beforehand, which changes nothing and
// tells nobody.
#include "operation_world.h"
#include "window/run_executor.h"

#include <gtest/gtest.h>

namespace {

const std::string kLocal = "C:\\Users\\Ann\\AppData\\Local";
const std::string kPdStore = kLocal + "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";

std::string host(std::string_view name) {
    return std::string(kHostFolder) + "\\" + std::string(name);
}

TEST(ProgressCaptionTest, TheCountJoinsTheStoredCaptionOnceAnItemIsHandled) {
    const std::string stored = "Cleaning Options";
    EXPECT_EQ(progress_caption(stored, {0, std::nullopt}), stored);
    EXPECT_EQ(progress_caption(stored, {0, 30000}), stored);
    EXPECT_EQ(progress_caption(stored, {1, std::nullopt}), "Cleaning Options (1 item)");
    EXPECT_EQ(progress_caption(stored, {2, std::nullopt}), "Cleaning Options (2 items)");
    EXPECT_EQ(progress_caption(stored, {1234, 30000}), "Cleaning Options (1234 of 30000 items)");
    EXPECT_EQ(progress_caption(stored, {1, 1}), "Cleaning Options (1 of 1 item)");
    // Files that appeared after the count: the count stays true, the total goes.
    EXPECT_EQ(progress_caption(stored, {30001, 30000}), "Cleaning Options (30001 items)");
}

TEST(ProgressCaptionTest, TheTaskbarShowsAMarqueeUntilTheItemsAreCounted) {
    EXPECT_EQ(bar_position({0, std::nullopt}), (BarPosition{true, 0, 0}));
    EXPECT_EQ(bar_position({500, std::nullopt}), (BarPosition{true, 0, 0}));
    EXPECT_EQ(bar_position({0, 30000}), (BarPosition{false, 0, 30000}));
    EXPECT_EQ(bar_position({1234, 30000}), (BarPosition{false, 1234, 30000}));
    EXPECT_EQ(bar_position({30001, 30000}), (BarPosition{false, 30000, 30000}));
    // Nothing to do: a bar of no length would show nothing.
    EXPECT_EQ(bar_position({0, 0}), (BarPosition{true, 0, 0}));
}

class CountTest : public testing::Test, protected InterposedWorld {
protected:
    CountTest() {
        fake.special_folders[platform::kCsidlLocalAppData] = kLocal;
        state.AppDataPath = kHostFolder;
        options.temporary_files = options.project_folders = true;
        options.access_rights = options.store_program_data = true;
        for (const char* name : {"a.$$$", "b.$$$", "log.txt", "p.vk$\\Main.frm"}) {
            fake.add_file(host(name));
        }
        fake.add_file(host("Keep.txt"));
        fake.add_file(kPdStore + "\\Map.ini");
        fake.add_file(kPdStore + "\\Sub\\Old.ini", "", platform::attr::kReadOnly);
    }
    CleaningOptions options;
    RunTracker tracker;
};

TEST_F(CountTest, TheCountIsWhatTheCleaningThenHandlesAndChangesNothing) {
    const std::vector<std::string> before = fake.whole_world();
    // The plans of the runs beside it are theirs alone.
    state.plan_made = std::make_shared<Plan>();
    state.plan_applied = std::make_shared<Plan>();
    state.plan_applied->add("file", host("a.$$$"), "0");

    count_items(state, interposed.os, options, tracker);

    EXPECT_TRUE(state.plan_made->items().empty());
    EXPECT_FALSE(state.plan_applied->items().at(0).met);
    EXPECT_EQ(fake.whole_world(), before);
    EXPECT_TRUE(fake.starts.empty());
    EXPECT_TRUE(fake.boxes.empty());
    const RunProgress counted = tracker.progress();
    EXPECT_EQ(counted, (RunProgress{0, 7}));

    const RunReport report = tracked_run(interposed, allowed_cleaning(options, fake), tracker);
    log.close();

    EXPECT_EQ(tracker.progress(), (RunProgress{7, 7}));
    EXPECT_EQ(report.done + report.refused + report.missing, 7u);
    EXPECT_EQ(report.refused, 1u);
}

TEST_F(CountTest, AFailureMetWhileCountingReachesNobodyAndLeavesTheTotalUnknown) {
    // The host folder's first listing is the one for "*.$*".
    int listings = 0;
    files.before = [&listings](std::string_view call, std::string_view path) {
        if (call == "list" && path == kHostFolder && ++listings == 1) {
            throw platform::Failure("The device is not ready.");
        }
    };
    count_items(state, interposed.os, options, tracker);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(tracker.progress(), (RunProgress{0, 7 - 2}));

    files.before = fail_on("find", kPdStore);
    tracker.reset();
    count_items(state, interposed.os, options, tracker);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(tracker.progress(), (RunProgress{0, std::nullopt}));
}

TEST_F(CountTest, AStopEndsTheCountAndTheCleaningAlike) {
    tracker.request_stop();
    count_items(state, interposed.os, options, tracker);
    EXPECT_EQ(tracker.progress(), (RunProgress{0, std::nullopt}));

    const RunReport report = tracked_run(interposed, allowed_cleaning(options, fake), tracker);

    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(lines_of(log_text()), std::vector<std::string>{"Cleaning stopped by the user."});
    EXPECT_TRUE(fake.exists(host("a.$$$")));
    EXPECT_TRUE(fake.starts.empty());
}

// The cleaning ended before the count: the count goes, the cleaning was never concerned.
TEST_F(CountTest, AnAbandonedCountEndsWithoutATotalAndStopsNoCleaning) {
    tracker.abandon_count();
    count_items(state, interposed.os, options, tracker);
    EXPECT_EQ(tracker.progress(), (RunProgress{0, std::nullopt}));

    const RunReport report = tracked_run(interposed, allowed_cleaning(options, fake), tracker);

    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(tracker.progress(), (RunProgress{7, std::nullopt}));
    EXPECT_FALSE(fake.exists(host("a.$$$")));
}

} // namespace
