// Deleting temporary files by pattern and temporary project folders from the host folder.
#include "operation_world.h"
#include "operations/temp_files.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using platform::attr::kHidden;
using platform::attr::kReadOnly;
using platform::attr::kReparsePoint;
using platform::attr::kSystem;

std::string host(std::string_view name) {
    return std::string(kHostFolder) + "\\" + std::string(name);
}

std::string deleted_file(std::string_view name) {
    return "Deleted File: " + host(name);
}

std::string deleted_dir(std::string_view name) {
    return "Deleted Directory:          " + host(name);
}

class TempFilesTest : public testing::Test, public InterposedWorld {
protected:
    TempFilesTest() { open_log(); }
    std::vector<std::string> left() const { return fake.tree(kHostFolder); }
};

TEST_F(TempFilesTest, EachPatternTakesItsFilesOnly) {
    for (const char* name : {"log.txt", "logfile.txt", "LOG2.TXT", "Main.tlb", "proj.$$$", "a.$",
                             "blog.txt", "log.txt.old", "logtxt", "Main.tlb2", "a$.b", "notes.txt",
                             "Sub\\log.txt", "Sub\\x.$$$"}) {
        fake.add_file(host(name));
    }

    MM_DeleteTempFiles(context, "*.$*");
    MM_DeleteTempFiles(context, "log*.txt");
    MM_DeleteTempFiles(context, "*.tlb");

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted_file("a.$"), deleted_file("proj.$$$"),
                                        deleted_file("log.txt"), deleted_file("LOG2.TXT"),
                                        deleted_file("logfile.txt"), deleted_file("Main.tlb")}));
    EXPECT_EQ(left(), (std::vector<std::string>{"a$.b", "blog.txt", "cleaning1.log", "log.txt.old",
                                                "logtxt", "main.tlb2", "notes.txt", "sub",
                                                "sub\\log.txt", "sub\\x.$$$"}));
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(fake.open_searches, 0);
}

TEST_F(TempFilesTest, HiddenAndSystemFilesGoLikeOthersButFoldersAreNotFiles) {
    fake.add_file(host("h.$$$"), "", kHidden);
    fake.add_file(host("s.$$$"), "", kSystem | kHidden);
    fake.add_dir(host("dir.$$$"));
    fake.add_file(host("dir.$$$\\inside.txt"));

    MM_DeleteTempFiles(context, "*.$*");

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted_file("h.$$$"), deleted_file("s.$$$")}));
    EXPECT_TRUE(fake.exists(host("dir.$$$\\inside.txt")));
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "delete_file " + host("dir.$$$")),
              0);
}

TEST_F(TempFilesTest, NamesMatchedOnlyThroughTheirShortNamesAreLeftAlone) {
    fake.add_file(host("Setup.tlbak"));  // short name SETUP~1.TLB
    fake.add_file(host("logbook.txtx")); // short name LOGBOO~1.TXT
    fake.add_file(host("Toolbar Settings.tlb"));
    // The platform's own search does list them.
    const platform::FindResult found = fake.find(host("*.tlb"));
    ASSERT_TRUE(found.search);
    EXPECT_EQ(found.search->next()->name, "Setup.tlbak");

    MM_DeleteTempFiles(context, "*.tlb");
    MM_DeleteTempFiles(context, "log*.txt");

    EXPECT_EQ(lines_of(closed_log_text()),
              std::vector<std::string>{deleted_file("Toolbar Settings.tlb")});
    EXPECT_TRUE(fake.exists(host("Setup.tlbak")));
    EXPECT_TRUE(fake.exists(host("logbook.txtx")));
}

TEST_F(TempFilesTest, RefusedFilesStayAndAreLoggedWithTheirReason) {
    fake.add_file(host("a.$$$"), "", kReadOnly);
    fake.add_file(host("b.$$$")).locked = true;
    fake.add_file(host("c.$$$"));

    MM_DeleteTempFiles(context, "*.$*");

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{
                  "Could not delete File:      " + host("a.$$$") + " (Access is denied.)",
                  "Could not delete File:      " + host("b.$$$") + " (" + fake::kInUse + ")",
                  deleted_file("c.$$$")}));
    EXPECT_TRUE(has_refusal(log_text()));
    EXPECT_TRUE(fake.exists(host("a.$$$")));
    EXPECT_TRUE(fake.exists(host("b.$$$")));
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(TempFilesTest, NothingToFindIsSilent) {
    MM_DeleteTempFiles(context, "*.$*");
    MM_DeleteTempDirs(context);
    fake.make_unlistable(kHostFolder);
    fake.add_file(host("x.$$$"));
    MM_DeleteTempFiles(context, "*.$*");
    MM_DeleteTempDirs(context);
    EXPECT_EQ(closed_log_text(), "");
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(fake.exists(host("x.$$$")));
}

TEST_F(TempFilesTest, AFailureEndsThatSearchOnlyWithItsTwoPrefixes) {
    fake.add_file(host("a.$$$"));
    fake.add_file(host("b.$$$"));
    fake.add_file(host("c.$$$"));
    fake.add_file(host("log.txt"));
    files.before = fail_on("delete_file", host("b.$$$"));

    MM_DeleteTempFiles(interposed, "*.$*");
    MM_DeleteTempFiles(interposed, "log*.txt");

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted_file("a.$$$"),
                                        "Error in MM_DeleteFiles: The device is not ready.",
                                        deleted_file("log.txt")}));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Error in MM_DeleteTempFiles: The device is not ready.");
    EXPECT_EQ(fake.boxes[0].style, platform::kMbError);
    EXPECT_TRUE(fake.exists(host("b.$$$")));
    EXPECT_TRUE(fake.exists(host("c.$$$")));
    EXPECT_EQ(fake.open_searches, 0);
}

TEST_F(TempFilesTest, AHostPathEndingInABackslashGivesADoubledOne) {
    state.VeskPath = std::string(kHostFolder) + "\\";
    fake.add_file(host("a.$$$"));
    fake.add_dir(host("p.vk$"));
    MM_DeleteTempFiles(context, "*.$*");
    MM_DeleteTempDirs(context);
    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{"Deleted File: D:\\Host\\\\a.$$$",
                                        "Deleted Directory:          D:\\Host\\\\p.vk$"}));
    EXPECT_EQ(left(), std::vector<std::string>{"cleaning1.log"});
}

TEST_F(TempFilesTest, OneListingServesTensOfThousandsOfFiles) {
    constexpr int kFiles = 20000;
    for (int n = 0; n < kFiles; ++n) {
        fake.add_file(host("t" + std::to_string(n) + ".$$$"));
    }
    int listings = 0;
    files.before = [&listings](std::string_view call, std::string_view) {
        listings += call == "list" ? 1 : 0;
    };
    MM_DeleteTempFiles(interposed, "*.$*");
    EXPECT_EQ(listings, 1);
    EXPECT_EQ(left(), std::vector<std::string>{"cleaning1.log"});
    EXPECT_EQ(lines_of(closed_log_text()).size(), static_cast<std::size_t>(kFiles));
}

// Past a few dozen files a second thread opens the next ones while the first deletes: a stop or
// a failure still ends at an item boundary, in order, and what was opened ahead is closed, never
// deleted through.
TEST(OpenedAhead, AStopOrAFailureEndsInOrderAndWhatWasOpenedAheadStays) {
    struct StopAfter : RunObserver {
        std::size_t left;
        explicit StopAfter(std::size_t items) : left(items) {}
        void item_handled(const ItemEvent&) override {
            if (--left == 0) {
                throw RunStopped{};
            }
        }
    };
    struct Case {
        const char* what;
        std::size_t deleted;
        bool fail;
    };
    for (const Case& test : {Case{"a stop after the 70th file", 70, false},
                             Case{"a failure opening the 101st file", 100, true}}) {
        InterposedWorld world;
        world.open_log();
        for (int n = 0; n < 300; ++n) {
            world.fake.add_file(host("t" + std::to_string(1000 + n) + ".$$$"));
        }
        StopAfter stop(test.fail ? 1000 : test.deleted);
        Context stopping{world.state, world.fake.os(), world.log, world.deletion, stop};
        if (test.fail) {
            world.files.before = fail_on("open_file", host("t1100.$$$"));
        }
        try {
            MM_DeleteTempFiles(stopping, "*.$*");
            EXPECT_TRUE(test.fail) << test.what << ": the run was not stopped";
        } catch (const RunStopped&) {
            EXPECT_FALSE(test.fail) << test.what;
        }
        std::vector<std::string> lines = lines_of(world.closed_log_text());
        const std::size_t deletions = static_cast<std::size_t>(std::ranges::count_if(
            lines, [](const std::string& line) { return line.starts_with("Deleted File: "); }));
        EXPECT_EQ(deletions, test.deleted) << test.what;
        EXPECT_EQ(lines[test.deleted - 1],
                  deleted_file("t" + std::to_string(999 + test.deleted) + ".$$$"))
            << test.what << ": in order";
        EXPECT_EQ(world.fake.tree(kHostFolder).size(), 300 - test.deleted + 1) << test.what;
        EXPECT_EQ(world.fake.open_files, 0) << test.what << ": every handle opened ahead closed";
        if (test.fail) {
            EXPECT_EQ(lines.back(), "Error in MM_DeleteFiles: The device is not ready.");
        }
    }
}

TEST_F(TempFilesTest, ProjectFoldersEndInDotVkDollarExactly) {
    fake.add_file(host("proj.vk$\\Main.frm"));
    fake.add_file(host("proj.vk$\\deep\\x.bin"));
    fake.add_dir(host("hid.vk$"), kHidden | kSystem);
    fake.add_file(host("note.vk$"));
    fake.add_dir(host("proj.vk$1"));
    fake.add_dir(host("vk$"));
    fake.add_file(host("Sub\\inner.vk$\\keep.txt"));

    MM_DeleteTempDirs(context);

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted_dir("hid.vk$"), deleted_dir("note.vk$"),
                                        deleted_dir("proj.vk$")}));
    EXPECT_EQ(left(),
              (std::vector<std::string>{"cleaning1.log", "proj.vk$1", "sub", "sub\\inner.vk$",
                                        "sub\\inner.vk$\\keep.txt", "vk$"}));
    EXPECT_EQ(fake.calls.back(), "shell_delete " + host("proj.vk$"));
}

TEST_F(TempFilesTest, TheSuffixIsCaseSensitive) {
    fake.add_file(host("proj.VK$\\keep.txt"));
    fake.add_file(host("Note.Vk$"));
    MM_DeleteTempDirs(context);
    EXPECT_EQ(closed_log_text(), "");
    EXPECT_EQ(left(), (std::vector<std::string>{"cleaning1.log", "note.vk$", "proj.vk$",
                                                "proj.vk$\\keep.txt"}));
}

TEST_F(TempFilesTest, LinksEndingInDotVkDollarGoWithoutTheirTargets) {
    fake.add_file("E:\\Work\\precious.frm");
    fake.add_link(host("linked.vk$"), "E:\\Work");
    fake.add_file("E:\\notes.txt");
    fake.add_file(host("file-link.vk$"), "", kReparsePoint);

    MM_DeleteTempDirs(context);

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{deleted_dir("file-link.vk$"), deleted_dir("linked.vk$")}));
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"create " + host("Cleaning1.log"),
                                                    "remove_link " + host("file-link.vk$"),
                                                    "remove_link " + host("linked.vk$")}));
    EXPECT_TRUE(fake.exists("E:\\Work\\precious.frm"));
    EXPECT_EQ(left(), std::vector<std::string>{"cleaning1.log"});
}

// The shell follows the links in a folder it deletes for good: they go first, by themselves.
TEST_F(TempFilesTest, LinksInsideAProjectFolderGoByThemselvesBeforeIt) {
    fake.add_file("E:\\Work\\precious.frm");
    fake.add_file(host("p.vk$\\Main.frm"));
    fake.add_link(host("p.vk$\\Deep\\Linked"), "E:\\Work");

    MM_DeleteTempDirs(context);

    EXPECT_EQ(lines_of(closed_log_text()), std::vector<std::string>{deleted_dir("p.vk$")});
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"create " + host("Cleaning1.log"),
                                                    "remove_link " + host("p.vk$\\Deep\\Linked"),
                                                    "shell_delete " + host("p.vk$")}));
    EXPECT_TRUE(fake.exists("E:\\Work\\precious.frm"));
    EXPECT_EQ(left(), std::vector<std::string>{"cleaning1.log"});
}

TEST_F(TempFilesTest, AProjectFolderTheShellCannotRemoveIsLoggedAsRefused) {
    fake.add_file(host("a.vk$\\open.frm")).locked = true;
    fake.add_dir(host("b.vk$"));

    MM_DeleteTempDirs(context);

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{"Could not delete Directory: " + host("a.vk$") + " (" +
                                            fake::kInUse + ")",
                                        deleted_dir("b.vk$")}));
    EXPECT_TRUE(fake.exists(host("a.vk$\\open.frm")));
    EXPECT_TRUE(has_refusal(log_text()));
}

TEST_F(TempFilesTest, AFailureEndsTheFolderSearchAndLaterEntriesStay) {
    fake.add_dir(host("a.vk$"));
    fake.add_dir(host("b.vk$"));
    fake.add_dir(host("c.vk$"));
    files.before = fail_on("shell_delete", host("b.vk$"), "The operation was canceled.");

    MM_DeleteTempDirs(interposed);

    EXPECT_EQ(
        lines_of(closed_log_text()),
        (std::vector<std::string>{deleted_dir("a.vk$"),
                                  "Error in MM_DeleteTempDirs: The operation was canceled."}));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Error in MM_DeleteTempDirs: The operation was canceled.");
    EXPECT_TRUE(fake.exists(host("b.vk$")));
    EXPECT_TRUE(fake.exists(host("c.vk$")));
    EXPECT_EQ(fake.open_searches, 0);
}

// Wine lists a Unix name as it is; joined to the folder's path it would name another file.
TEST_F(TempFilesTest, NamesThatAreNotPlainAreRefusedAndNeverJoined) {
    fake.add_file("D:\\victim.txt");
    fake.add_file(host("victim.$$$"));
    fake.add_file(host("a.$$$")).name = "x.$\\..\\..\\victim.txt";
    fake.add_file(host("b.$$$")).name = "..\\victim.$$$";
    fake.add_file(host("c.$$$")).name = "c.$$$:stream";
    fake.add_file(host("d.$$$")).name = "victim.$$$.";

    MM_DeleteTempFiles(context, "*.$*");

    const std::string refused = "Could not delete File:      D:\\Host\\";
    const std::string reason = " (a name that is not a plain file name)";
    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{
                  refused + "x.$\\..\\..\\victim.txt" + reason, refused + "..\\victim.$$$" + reason,
                  refused + "c.$$$:stream" + reason, refused + "victim.$$$." + reason,
                  deleted_file("victim.$$$")}));
    EXPECT_TRUE(fake.exists("D:\\victim.txt"));
    EXPECT_TRUE(fake.exists(host("a.$$$")));
    EXPECT_TRUE(has_refusal(log_text()));
}

TEST_F(TempFilesTest, AProjectFolderNamedOrHoldingANameThatIsNotPlainIsLeftWhole) {
    fake.add_file("D:\\Work\\precious.frm");
    fake.add_dir(host("a.vk$")).name = "..\\Work.vk$";
    fake.add_file(host("p.vk$\\Main.frm"));
    fake.add_file(host("p.vk$\\Deep\\odd")).name = "..\\..\\..\\Work\\precious.frm";

    MM_DeleteTempDirs(context);

    EXPECT_EQ(lines_of(closed_log_text()),
              (std::vector<std::string>{
                  "Could not delete Directory: D:\\Host\\..\\Work.vk$ (a name that is not a plain "
                  "file name)",
                  "Could not delete Directory: " + host("p.vk$") + " (the entry " +
                      host("p.vk$\\Deep\\..\\..\\..\\Work\\precious.frm") +
                      " in it has a name that is not a plain file name)"}));
    EXPECT_TRUE(fake.exists(host("p.vk$\\Main.frm")));
    EXPECT_TRUE(fake.exists("D:\\Work\\precious.frm"));
    EXPECT_EQ(fake.calls, std::vector<std::string>{"create " + host("Cleaning1.log")});
}

// A deletion the file system reports done is believed only once the entry is gone; one that
// waits for another program to close the file is as good as done.
TEST_F(TempFilesTest, OnlyWhatIsGoneOrPendingIsLoggedAsDeleted) {
    fake.add_file(host("a.$$$")).immutable = true;
    fake.add_file(host("b.$$$")).shared_open = true;
    fake.add_link(host("l.vk$"), "E:\\Work").immutable = true;

    MM_DeleteTempFiles(context, "*.$*");
    MM_DeleteTempDirs(context);

    EXPECT_EQ(
        lines_of(closed_log_text()),
        (std::vector<std::string>{
            "Could not delete File:      " + host("a.$$$") + " (still there after deletion)",
            deleted_file("b.$$$"),
            "Could not delete Directory: " + host("l.vk$") + " (still there after deletion)"}));
    EXPECT_TRUE(has_refusal(log_text()));
}

// The shell deletes a folder it cannot recycle for good, following the links in it.
TEST_F(TempFilesTest, ALinkInsideThatCannotBeRemovedKeepsTheShellAway) {
    fake.add_file("E:\\Work\\precious.frm");
    fake.add_file(host("p.vk$\\Main.frm"));
    fake.add_link(host("p.vk$\\Linked"), "E:\\Work").locked = true;

    MM_DeleteTempDirs(context);

    EXPECT_EQ(lines_of(closed_log_text()),
              std::vector<std::string>{"Could not delete Directory: " + host("p.vk$") +
                                       " (the link " + host("p.vk$\\Linked") +
                                       " in it cannot be removed by itself: " + fake::kInUse +
                                       ")"});
    EXPECT_TRUE(fake.exists(host("p.vk$\\Main.frm")));
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "shell_delete " + host("p.vk$")), 0);
}

TEST_F(TempFilesTest, AnEntryGoneBeforeItsTurnGetsNoLine) {
    fake.add_dir(host("a.vk$"));
    fake.add_file(host("b.$$$"));
    files.before = [this](std::string_view call, std::string_view path) {
        if (call == "open_folder" || call == "delete_file") {
            fake.erase(path);
        }
    };
    MM_DeleteTempDirs(interposed);
    MM_DeleteTempFiles(interposed, "*.$*");
    EXPECT_EQ(closed_log_text(), "");
    EXPECT_FALSE(has_refusal(log_text()));
}

} // namespace
