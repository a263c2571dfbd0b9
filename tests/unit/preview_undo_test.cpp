// The window's preview and undo: the cleaning takes exactly what is left ticked, what cannot be
// ticked says why, the keep lists are written and read, and a cleaning is undone.
#include "engine/marker.h"
#include "engine/own_backups.h"
#include "engine/own_keep_list.h"
#include "engine/policy.h"
#include "platform/registry_values.h"
#include "platform/utc_time.h"
#include "world.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using Id = ControlId;
using platform::RegistryRoot;

std::string host(std::string_view name) {
    return std::string(kHostFolder) + "\\" + std::string(name);
}

struct PreviewWorld : World {
    explicit PreviewWorld(std::vector<std::string> organisation_keeps = {},
                          bool previews_only = false) {
        if (!organisation_keeps.empty()) {
            fake.set_value(RegistryRoot::LocalMachine, kPolicyKey, kKeepValue,
                           platform::texts_value(organisation_keeps));
        }
        if (previews_only) {
            fake.set_value(RegistryRoot::LocalMachine, kPolicyKey, "PreviewOnly",
                           fake::reg_dword(1));
        }
        form.Form_Load();
    }
    const PreviewRow& row(std::size_t preview, std::string_view path) const {
        const auto& rows = dialogs.previews.at(preview);
        const auto found = std::ranges::find(rows, path, &PreviewRow::path);
        EXPECT_NE(found, rows.end()) << path;
        return *found;
    }
    ScriptedDialogs dialogs;
    Form1 form{context, fake, dialogs};
};

// The dialog's answer: every row as it came, but the named ones unticked.
PreviewAnswer unticking(const std::vector<PreviewRow>& rows, std::string_view path,
                        bool always_keep) {
    PreviewAnswer answer{PreviewChoice::Clean, {}, always_keep};
    for (const PreviewRow& row : rows) {
        answer.ticked.push_back(row.ticked && row.path != path);
    }
    return answer;
}

TEST(WindowPreviewTest, TheCleaningTakesExactlyTheItemsLeftTicked) {
    struct Case {
        bool always_keep;
        std::string_view reason;
        std::vector<std::string> own_list;
    };
    const Case cases[] = {
        {false, "not in the plan", {}},
        {true, "on a keep list", {host("b.$$$")}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.reason);
        PreviewWorld world;
        for (const char* name : {"a.$$$", "b.$$$", "log.txt"}) {
            world.fake.add_file(host(name), "x");
        }
        world.dialogs.on_preview = [&](const std::vector<PreviewRow>& rows) {
            return unticking(rows, host("b.$$$"), each.always_keep);
        };
        world.form.click(Id::Command4);

        const PreviewRow& kept = world.row(0, host("b.$$$"));
        EXPECT_TRUE(kept.can_tick && kept.ticked);
        EXPECT_EQ(kept.group, "Delete Temporary VESK Files");
        EXPECT_EQ(kept.kind, "File");
        EXPECT_TRUE(world.dialogs.could_clean.at(0));
        EXPECT_TRUE(world.fake.boxes.at(0).text.starts_with("Do you really want to delele:"));
        EXPECT_FALSE(world.fake.exists(host("a.$$$")));
        EXPECT_FALSE(world.fake.exists(host("log.txt")));
        EXPECT_TRUE(world.fake.exists(host("b.$$$")));
        EXPECT_NE(world.log_text().find(pad_to_zone("Kept File:") + host("b.$$$") + " (" +
                                        std::string(each.reason) + ")"),
                  std::string::npos)
            << world.log_text();
        EXPECT_EQ(read_own_keep_list(world.fake), each.own_list);
        EXPECT_EQ(world.fake.boxes.back().text,
                  "Cleaning finished. Log file has been written to:\r\n" + host("Cleaning1.log"));
        EXPECT_EQ(world.form.control(Id::Command1).caption, "Done");
    }
}

// What a keep list keeps is shown unticked with its list, and stays so; removing an entry from
// the user's list previews anew, where the item may go. Under PreviewOnly nothing is cleaned.
TEST(WindowPreviewTest, KeptItemsSayWhichListKeepsThemUntilTheUserRemovesTheEntry) {
    for (const bool previews_only : {false, true}) {
        SCOPED_TRACE(previews_only ? "only previews" : "cleanings allowed");
        PreviewWorld world({"*\\org.$$$"}, previews_only);
        ASSERT_FALSE(write_own_keep_list(world.fake, {host("mine.$$$"), "*.none"}));
        for (const char* name : {"org.$$$", "mine.$$$"}) {
            world.fake.add_file(host(name), "x");
        }
        int shown = 0;
        world.dialogs.on_preview = [&](const std::vector<PreviewRow>& rows) {
            return ++shown == 1 ? PreviewAnswer{PreviewChoice::EditKeepList, {}, false}
                                : PreviewAnswer{PreviewChoice::Clean,
                                                std::vector<bool>(rows.size(), true), false};
        };
        world.dialogs.on_keep_list = [](const std::vector<std::string>& patterns) {
            return std::vector<std::string>(patterns.begin() + 1, patterns.end());
        };
        world.form.click(Id::Command4);

        const PreviewRow& organisation = world.row(0, host("org.$$$"));
        EXPECT_FALSE(organisation.can_tick || organisation.ticked);
        EXPECT_EQ(organisation.note, "Kept by your organisation");
        const PreviewRow& own = world.row(0, host("mine.$$$"));
        EXPECT_FALSE(own.can_tick || own.ticked);
        EXPECT_EQ(own.note, "On your keep list");
        ASSERT_EQ(world.dialogs.previews.size(), 2u);
        EXPECT_TRUE(world.row(1, host("mine.$$$")).can_tick);
        EXPECT_EQ(read_own_keep_list(world.fake), std::vector<std::string>{"*.none"});
        EXPECT_EQ(world.dialogs.could_clean.at(1), !previews_only);
        EXPECT_TRUE(world.fake.exists(host("org.$$$")));
        EXPECT_EQ(world.fake.exists(host("mine.$$$")), previews_only);
    }
}

struct UndoWorld : PreviewWorld {
    using PreviewWorld::PreviewWorld;
    // A cleaning of the settings files through the standard panel.
    void clean_settings() {
        fake.add_file(host("Vesk30.ini"), "[Window]");
        form.click(Form1::Check1(1));
        form.click(Id::Command1);
    }
};

TEST(WindowUndoTest, TheChosenCleaningIsRestoredAndItsLogNamed) {
    UndoWorld world;
    world.clean_settings();
    ASSERT_FALSE(world.fake.exists(host("Vesk30.ini")));
    world.dialogs.on_undo = [](const std::vector<UndoRow>& rows) { return rows.front().number; };
    world.form.click(Id::Command5);

    ASSERT_EQ(world.dialogs.undos.size(), 1u);
    const UndoRow& row = world.dialogs.undos[0].at(0);
    EXPECT_EQ(row.number, 1);
    EXPECT_EQ(row.holds, "0 keys, 1 file (Vesk30.ini)");
    EXPECT_TRUE(row.made.ends_with(" UTC")) << row.made;
    EXPECT_EQ(world.fake.content(host("Vesk30.ini")), "[Window]");
    EXPECT_EQ(world.fake.boxes.back().text,
              "Restore finished. Log file has been written to:\r\n" + host("Cleaning2.log"));
    EXPECT_EQ(world.fake.value_of(RegistryRoot::CurrentUser, kMarkerKey, "LastRestoreLog"),
              host("Cleaning2.log"));
}

// Only the user's own backups are offered, and none where only previews are allowed.
TEST(WindowUndoTest, NothingIsOfferedThatIsNotTheUsersToRestore) {
    struct Case {
        const char* what;
        bool previews_only;
        bool forget_the_note;
        std::string_view told;
    };
    const Case cases[] = {
        {"another user's backup", false, true, "None of your cleanings has a backup to restore."},
        {"only previews", true, false, "Your organisation allows only previews here"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        UndoWorld world({}, each.previews_only);
        if (each.forget_the_note) {
            // Its backup lies beside the logs, as every user's does.
            world.clean_settings();
            world.fake.set_value(RegistryRoot::CurrentUser, kMarkerKey, kBackupsValue,
                                 platform::texts_value({}));
        } else {
            world.fake.set_value(RegistryRoot::CurrentUser, kMarkerKey, kBackupsValue,
                                 platform::texts_value({"1"}));
        }
        world.fake.boxes.clear();
        const std::vector<std::string> before = world.fake.whole_world();
        world.form.click(Id::Command5);
        EXPECT_TRUE(world.dialogs.undos.empty());
        ASSERT_EQ(world.fake.boxes.size(), 1u);
        EXPECT_TRUE(world.fake.boxes[0].text.starts_with(each.told)) << world.fake.boxes[0].text;
        EXPECT_EQ(world.fake.whole_world(), before);
    }
}

TEST(OwnBackupsTest, NumbersAreNotedOnceNewestLastAndTimesReadAsUtc) {
    fake::FakePlatform fake;
    const platform::CreatedKey key =
        platform::create_key(fake, RegistryRoot::CurrentUser, kMarkerKey);
    for (int number = 1; number <= static_cast<int>(kOwnBackupsNoted) + 2; ++number) {
        ASSERT_FALSE(note_own_backup(*key.key, number));
    }
    ASSERT_FALSE(note_own_backup(*key.key, 5));
    const std::vector<int> numbers = own_backup_numbers(fake);
    ASSERT_EQ(numbers.size(), kOwnBackupsNoted);
    EXPECT_EQ(numbers.front(), 3);
    EXPECT_EQ(numbers.back(), 5);
    EXPECT_EQ(std::ranges::count(numbers, 5), 1);

    EXPECT_EQ(platform::shown_utc(platform::utc_time_of(0)), "1601-01-01 00:00 UTC");
    EXPECT_EQ(platform::shown_utc(platform::utc_time_of(134412233990000000)),
              "2026-12-08 17:09 UTC");
    EXPECT_EQ(platform::shown_utc(platform::utc_time_of(125963423990000000)),
              "2000-02-29 23:59 UTC");
}

} // namespace
