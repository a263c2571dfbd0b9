// A backup made over every profile is restored whole or not at all: its parts are the ones its
// record names, each exactly as recorded, nothing in it a link, and its folder one that only
// administrators may change; what a restore writes are the bytes it checked.
#include "backup/backup_contents.h"
#include "platform/sha256.h"
#include "console/console_run.h"
#include "engine/profiles.h"
#include "log_lines.h"
#include "operation_world.h"
#include "startup/host_discovery.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;
using Lines = std::vector<std::string>;

constexpr const char* kOwnSid = "S-1-5-21-1-2-3-1001";
constexpr const char* kAnnSid = "S-1-5-21-1-2-3-1002";
const std::string kBranch = "Software\\VB and VBA Program Settings";
const std::string kBackup =
    "C:\\ProgramData\\TOLM\\VESK Cleaning Wizard\\Backups\\Cleaning1.backup";

struct Streams final : ConsoleStreams {
    void out(std::string_view line) override { output.emplace_back(line); }
    void err(std::string_view line) override { errors.emplace_back(line); }
    Lines output;
    Lines errors;
};

std::string in_backup(const std::string& name) {
    return kBackup + "\\" + name;
}

struct WholeBackupWorld : InterposedWorld {
    WholeBackupWorld() {
        fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path",
                       fake::reg_sz(kHostFolder), platform::RegistryView::Wow64_32);
        fake.administrator = true;
        for (const auto& [sid, name] : {std::pair{kOwnSid, "me"}, std::pair{kAnnSid, "ann"}}) {
            fake.set_value(RegistryRoot::LocalMachine, std::string(kProfileList) + "\\" + sid,
                           "ProfileImagePath", fake::reg_sz(std::string("C:\\Users\\") + name));
            fake.add_dir(std::string("C:\\Users\\") + name);
        }
        fake.set_value(RegistryRoot::CurrentUser, kBranch + "\\VESK 4.0", "Own",
                       fake::reg_sz("mine"));
        fake.set_value(RegistryRoot::Users, std::string(kAnnSid) + "\\" + kBranch + "\\VESK 4.2",
                       "Ann", fake::reg_sz("hers"));
        fake.add_file(std::string(kHostFolder) + "\\Vesk30.ini", "[Window]");
    }
    int run(const Lines& arguments) {
        streams = {};
        return run_console(arguments, fake.os(), streams, stop);
    }
    // Replaces one byte of the file, keeping its size.
    void change_a_byte(const std::string& path) {
        std::string& content = fake.entry(path)->content;
        content[content.size() / 2] ^= 0x20;
    }

    Streams streams;
    std::atomic<bool> stop = false;
};

TEST(WholeBackup, ARestoreOverEveryProfileTakesOnlyTheWholeBackupItsRecordNames) {
    struct Damage {
        const char* what;
        std::function<void(WholeBackupWorld&)> make;
        std::string why; // what the refusal says, in part
    };
    const std::string ann = in_backup(kAnnSid);
    const std::string own = in_backup(kOwnSid);
    const Damage damages[] = {
        {"a part missing", [&](WholeBackupWorld& w) { w.fake.erase(ann); },
         "profiles are not those its record names"},
        {"a part added",
         [&](WholeBackupWorld& w) {
             w.fake.add_file(in_backup("S-1-5-21-9-9-9-9999\\contents.sha256"));
         },
         "profiles are not those its record names"},
        {"a part renamed",
         [&](WholeBackupWorld& w) { w.fake.move_entry(ann, in_backup("S-1-5-21-1-2-3-1009")); },
         "profiles are not those its record names"},
        {"a part that is a link",
         [&](WholeBackupWorld& w) {
             w.fake.move_entry(ann, "C:\\Elsewhere");
             w.fake.add_link(ann, "C:\\Elsewhere");
         },
         "the backup holds a link, " + ann},
        {"a backed-up file that is a link",
         [](WholeBackupWorld& w) {
             w.fake.erase(in_backup("Vesk30.ini"));
             w.fake.add_file(in_backup("Vesk30.ini")).link_target = "C:\\Windows\\win.ini";
         },
         "the backup holds a link, " + in_backup("Vesk30.ini")},
        {"a part's record gone",
         [&](WholeBackupWorld& w) { w.fake.erase(ann + "\\contents.sha256"); },
         "has no record of what it holds"},
        {"the machine's record gone",
         [](WholeBackupWorld& w) { w.fake.erase(in_backup("contents.sha256")); },
         "has no record of what it holds"},
        {"a part holding a settings file",
         [&](WholeBackupWorld& w) { w.fake.add_file(ann + "\\Vesk30.ini", "planted"); },
         "a part holds its registry file and record only"},
        {"a settings file changed, its size kept",
         [](WholeBackupWorld& w) { w.change_a_byte(in_backup("Vesk30.ini")); },
         "Vesk30.ini is not what the backup's record says"},
        {"a part's registry file changed, its size kept",
         [&](WholeBackupWorld& w) { w.change_a_byte(ann + "\\registry.reg"); },
         "registry.reg is not what the backup's record says"},
        {"a part's record rewritten to match its changed registry file",
         [&](WholeBackupWorld& w) {
             w.change_a_byte(ann + "\\registry.reg");
             const std::string bytes = w.fake.content(ann + "\\registry.reg");
             w.fake.entry(ann + "\\contents.sha256")->content =
                 contents_line("registry.reg", bytes.size(), sha256_hex(bytes));
         },
         "contents.sha256 is not what the backup's record says"},
        {"a folder others may change",
         [](WholeBackupWorld& w) { w.fake.entry(kBackup)->others_may_write = true; },
         "may be changed by others than administrators"},
        {"a part's record without its line in the whole's: an earlier version's",
         [](WholeBackupWorld& w) {
             std::string& record = w.fake.entry(in_backup("contents.sha256"))->content;
             std::string kept;
             for (const std::string& line : lines_of(record)) {
                 if (line.find('\\') == std::string::npos) {
                     kept += line + "\r\n";
                 }
             }
             record = kept;
         },
         "by an earlier version"},
    };
    for (const Damage& damage : damages) {
        WholeBackupWorld world;
        ASSERT_EQ(world.run({"/allusers", "/registry", "/settings"}), 0) << damage.what;
        damage.make(world);
        const Lines before = world.fake.whole_world();

        EXPECT_EQ(world.run({"/restore:1", "/allusers"}), kExitWrongCommandLine) << damage.what;

        ASSERT_FALSE(world.streams.errors.empty()) << damage.what;
        EXPECT_NE(world.streams.errors[0].find(damage.why), std::string::npos)
            << damage.what << ": " << world.streams.errors[0];
        EXPECT_EQ(world.fake.whole_world(), before) << damage.what << ": nothing changed";
    }
}

// The restore writes the bytes it checked: a backup file changed, or swapped for another, once
// it was read makes no difference to what goes back.
TEST(WholeBackup, WhatIsRestoredIsWhatWasChecked) {
    WholeBackupWorld world;
    ASSERT_EQ(world.run({"/allusers", "/settings"}), 0);
    world.files.before = [&world](std::string_view call, std::string_view path) {
        if (call == "create_binary_file" && path == std::string(kHostFolder) + "\\Vesk30.ini") {
            world.fake.entry(in_backup("Vesk30.ini"))->content = "[Swapped]";
        }
    };

    EXPECT_EQ(world.run({"/restore:1", "/allusers"}), 0) << world.streams.errors.at(0);

    EXPECT_EQ(world.fake.content(std::string(kHostFolder) + "\\Vesk30.ini"), "[Window]");
}

// Before this version a backup over every profile lay beside its log, where every user may
// change it: it is refused, and the line names the way by hand.
TEST(WholeBackup, ABackupOfAnEarlierVersionBesideItsLogIsRestoredByHand) {
    WholeBackupWorld world;
    ASSERT_EQ(world.run({"/allusers", "/registry"}), 0);
    world.fake.move_entry(kBackup, std::string(kHostFolder) + "\\Cleaning1.backup");
    const Lines before = world.fake.whole_world();

    EXPECT_EQ(world.run({"/restore:1", "/allusers"}), kExitWrongCommandLine);

    EXPECT_NE(world.streams.errors.at(0).find("was made by an earlier version beside its log"),
              std::string::npos)
        << world.streams.errors.at(0);
    EXPECT_NE(world.streams.errors.at(0).find("import each registry.reg"), std::string::npos);
    EXPECT_EQ(world.fake.whole_world(), before);
    // A user alone takes none of it either.
    world.fake.administrator = false;
    EXPECT_EQ(world.run({"/restore:1"}), kExitWrongCommandLine);
    EXPECT_NE(world.streams.errors.at(0).find("was made over every profile"), std::string::npos)
        << world.streams.errors.at(0);
}

// The logs are numbered in the host folder and a backup is named after its log: a number
// whose backup is kept elsewhere already (its log deleted since) is taken.
TEST(WholeBackup, ALogNumberWhoseBackupIsKeptElsewhereIsTaken) {
    WholeBackupWorld world;
    world.fake.add_file(in_backup("contents.sha256"), "an earlier cleaning's");

    ASSERT_EQ(world.run({"/allusers", "/registry"}), 0) << world.streams.errors.at(0);

    EXPECT_TRUE(world.fake.exists(std::string(kHostFolder) + "\\Cleaning2.log"));
    EXPECT_FALSE(world.fake.exists(std::string(kHostFolder) + "\\Cleaning1.log"));
    EXPECT_TRUE(world.fake.exists(
        "C:\\ProgramData\\TOLM\\VESK Cleaning Wizard\\Backups\\Cleaning2.backup\\contents.sha256"));
    EXPECT_EQ(world.fake.content(in_backup("contents.sha256")), "an earlier cleaning's");
}

} // namespace
