// VeskClean /allusers on a shared machine: the running user's profile, a second user's that is
// logged on, a third's whose hive lies on disk, and ProfileList entries that are nobody's.
#include "console/console_run.h"
#include "engine/marker.h"
#include "engine/profiles.h"
#include "engine/session.h"
#include "log/cleaning_log.h"
#include "log_lines.h"
#include "operation_world.h"
#include "platform/registry_values.h"
#include "platform/text.h"
#include "recording_streams.h"
#include "startup/host_discovery.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <utility>

namespace {

const std::string kAdministratorsBackups = "C:\\ProgramData\\TOLM\\VESK Cleaning Wizard\\Backups";

using fake::RegKey;
using platform::RegistryRoot;
using Lines = std::vector<std::string>;

constexpr const char* kOwnSid = "S-1-5-21-1-2-3-1001";
constexpr const char* kLoggedOnSid = "S-1-5-21-1-2-3-1002";
constexpr const char* kLoggedOffSid = "S-1-5-21-1-2-3-1003";
constexpr const char* kBranch = "Software\\VB and VBA Program Settings";
constexpr const char* kStore = "\\AppData\\Local\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";
// Bob's hive as this run loads it: named by the fake's process.
constexpr const char* kOurHive = "VESK Cleaning Wizard S-1-5-21-1-2-3-1003 4242.133600000000000000";
constexpr const char* kAnotherRunsIt = ": another cleaning or restore of this profile is running";

std::string folder_of(const std::string& name) {
    return "C:\\Users\\" + name;
}

std::string settings_key(const std::string& name) {
    return std::string(kBranch) + "\\" + name;
}

bool has_line(const Lines& lines, const std::string& line) {
    return std::ranges::find(lines, line) != lines.end();
}

class EveryProfileTest : public testing::Test, protected InterposedWorld {
protected:
    EveryProfileTest() {
        fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path",
                       fake::reg_sz(kHostFolder), platform::RegistryView::Wow64_32);
        fake.add_file(std::string(kHostFolder) + "\\a.$$$");
        fake.administrator = true;
        fake.environment["SYSTEMDRIVE"] = "C:";
        fake.special_folders[platform::kCsidlLocalAppData] = folder_of("me") + "\\AppData\\Local";
        add_profile(kOwnSid, "%SystemDrive%\\Users\\me", "PC\\me");
        add_profile(kLoggedOnSid, folder_of("ann"), "PC\\ann");
        add_profile(kLoggedOffSid, folder_of("bob"), {});
        // Nobody's: the system account, a profile whose folder is gone, a temporary one.
        add_profile("S-1-5-18", "C:\\Windows\\system32\\config\\systemprofile", {});
        add_profile("S-1-5-21-1-2-3-1004", folder_of("gone"), {}, false);
        add_profile("S-1-5-21-1-2-3-1005.bak", folder_of("old"), {});
        add_profile("S-1-5-21-1-2-3-1006", folder_of("TEMP"), {});

        fake.set_value(RegistryRoot::CurrentUser, settings_key("VESK 4.0"), "Own",
                       fake::reg_sz("1"));
        fake.set_value(RegistryRoot::Users,
                       std::string(kLoggedOnSid) + "\\" + settings_key("VESK 4.2"), "Ann",
                       fake::reg_sz("2"));
        RegKey& bob = fake.add_hive_file(folder_of("bob") + "\\NTUSER.DAT");
        fake::FakePlatform::add_key_below(bob, settings_key("VESK 4.1")).values[U"bob"] = {
            "Bob", fake::reg_sz("3")};
        for (const char* name : {"me", "ann", "bob"}) {
            fake.add_file(folder_of(name) + kStore + "\\Data\\x.dat", name);
        }
    }
    void add_profile(const std::string& sid, const std::string& folder, const std::string& user,
                     bool exists = true) {
        platform::RegistryValue path = fake::reg_sz(folder);
        path.type = platform::kRegExpandSz;
        fake.set_value(RegistryRoot::LocalMachine, std::string(kProfileList) + "\\" + sid,
                       "ProfileImagePath", path);
        if (exists) {
            fake.add_dir(fake.expand_environment(folder));
        }
        if (!user.empty()) {
            fake.account_names[sid] = user;
        }
    }
    // Bob's key as his hive file holds it: what an unload wrote back.
    const RegKey* bob_key() {
        const RegKey* key = fake.hive_file(folder_of("bob") + "\\NTUSER.DAT");
        for (const std::u32string part :
             {U"software", U"vb and vba program settings", U"vesk 4.1"}) {
            const auto found = key ? key->subkeys.find(part) : key->subkeys.end();
            key = key && found != key->subkeys.end() ? &found->second : nullptr;
        }
        return key;
    }
    int run(const Lines& arguments) { return run_console(arguments, console_os, streams, stop); }

    RecordingStreams streams;
    platform::Platform console_os = fake.os();
    std::atomic<bool> stop = false;
};

TEST_F(EveryProfileTest, CleansEachUsersKeysAndStoresAndTheHostFolderOnceThenRestoresThem) {
    ASSERT_EQ(run({"/allusers", "/registry", "/temp", "/store-pd"}), kExitDone)
        << testing::PrintToString(streams.errors) << log_text();
    const std::string own_key =
        "HKEY_USERS\\" + std::string(kOwnSid) + "\\" + settings_key("VESK 4.0");
    const std::string bob_shown =
        "HKEY_USERS\\" + std::string(kLoggedOffSid) + "\\" + settings_key("VESK 4.1");
    const std::string host_file = std::string(kHostFolder) + "\\a.$$$";
    EXPECT_EQ(lines_of(log_text()),
              (Lines{"Deleted File: " + host_file,
                     "Profile left out: " + folder_of("gone") +
                         " (S-1-5-21-1-2-3-1004): its folder does not exist",
                     "Profile left out: S-1-5-21-1-2-3-1005.bak: its name is not a user's SID",
                     "Profile left out: " + folder_of("TEMP") +
                         " (S-1-5-21-1-2-3-1006): a temporary profile",
                     "Profile: PC\\me, " + folder_of("me") + " (" + kOwnSid + ")",
                     "Deleted Key:  " + own_key, "Path cleaned: " + folder_of("me") + kStore,
                     "Profile: PC\\ann, " + folder_of("ann") + " (" + kLoggedOnSid + ")",
                     "Deleted Key:  HKEY_USERS\\" + std::string(kLoggedOnSid) + "\\" +
                         settings_key("VESK 4.2"),
                     "Path cleaned: " + folder_of("ann") + kStore,
                     "Profile: " + folder_of("bob") + " (" + kLoggedOffSid + ")",
                     "Deleted Key:  " + bob_shown, "Path cleaned: " + folder_of("bob") + kStore,
                     "Backed up to: " + kAdministratorsBackups + "\\Cleaning1.backup"}));
    EXPECT_FALSE(fake.key(RegistryRoot::CurrentUser, settings_key("VESK 4.0")));
    EXPECT_FALSE(
        fake.key(RegistryRoot::Users, std::string(kLoggedOnSid) + "\\" + kBranch + "\\VESK 4.2"));
    EXPECT_FALSE(bob_key());
    EXPECT_TRUE(fake.loaded_hives().empty());
    EXPECT_TRUE(fake.tree(folder_of("bob") + kStore + "\\Data").empty());
    // Beside the log every user may change a backup: one over every profile is kept where
    // only administrators may.
    const std::string backup = kAdministratorsBackups + "\\Cleaning1.backup\\";
    EXPECT_FALSE(fake.exists(std::string(kHostFolder) + "\\Cleaning1.backup"));
    for (const std::string& folder : {kAdministratorsBackups, backup + kOwnSid}) {
        EXPECT_FALSE(fake.entry(folder)->others_may_write) << folder;
    }
    for (const char* sid : {kOwnSid, kLoggedOnSid, kLoggedOffSid}) {
        EXPECT_TRUE(fake.exists(backup + sid + "\\registry.reg")) << sid;
        EXPECT_TRUE(fake.exists(backup + sid + "\\contents.sha256")) << sid;
    }
    // Nor is it the running user's own to undo from the window.
    EXPECT_EQ(fake.value_of(RegistryRoot::CurrentUser, kMarkerKey, "Backups"), "");
    EXPECT_NE(fake.value_of(RegistryRoot::CurrentUser, kMarkerKey, "LastCleaningLog"), "");

    // Alone, a user restores none of it: an administrator does.
    streams = {};
    const Lines before_restore = fake.whole_world();
    EXPECT_EQ(run({"/restore:1"}), kExitWrongCommandLine);
    EXPECT_EQ(streams.errors.at(0),
              "The backup cannot be restored: there is no backup " + std::string(kHostFolder) +
                  "\\Cleaning1.backup; if cleaning 1 was made over every profile, an "
                  "administrator restores it with VeskClean /restore:1 /allusers");
    EXPECT_EQ(fake.whole_world(), before_restore);

    // Over every profile every key comes back, the logged-off one into its hive on disk.
    streams = {};
    ASSERT_EQ(run({"/restore:1", "/allusers"}), kExitDone) << streams.errors.at(0);
    EXPECT_TRUE(fake.key(RegistryRoot::CurrentUser, settings_key("VESK 4.0")));
    EXPECT_TRUE(
        fake.key(RegistryRoot::Users, std::string(kLoggedOnSid) + "\\" + kBranch + "\\VESK 4.2"));
    ASSERT_TRUE(bob_key());
    EXPECT_EQ(bob_key()->values.at(U"bob").second.data, fake::reg_sz("3").data);
    EXPECT_TRUE(fake.loaded_hives().empty());
    EXPECT_EQ(lines_of(log_text(2))[1], "Restored Key: " + own_key);
}

// A profile's own keep list holds for its items alone, written as its user sees their keys; the
// command line's holds for everyone, and the host folder is no profile's.
TEST_F(EveryProfileTest, EachProfilesOwnKeepListCoversItsItemsAndTheCommandLinesEveryonesItems) {
    fake.set_value(
        RegistryRoot::Users, std::string(kLoggedOnSid) + "\\Software\\TOLM\\VESK Cleaning Wizard",
        "Keep",
        platform::texts_value({"HKEY_CURRENT_USER\\" + settings_key("vesk 4.*"), "*\\x.dat"}));
    // The host folder is no profile's: the running user's own list does not hold for it.
    fake.set_value(RegistryRoot::CurrentUser, "Software\\TOLM\\VESK Cleaning Wizard", "Keep",
                   platform::texts_value({"*\\a.$$$"}));

    ASSERT_EQ(run({"/allusers", "/registry", "/temp", "/store-pd", "/keep:*\\VESK 4.1"}), kExitDone)
        << log_text();

    const Lines logged = lines_of(log_text());
    const std::string ann_key =
        "HKEY_USERS\\" + std::string(kLoggedOnSid) + "\\" + settings_key("VESK 4.2");
    const std::string bob_key_shown =
        "HKEY_USERS\\" + std::string(kLoggedOffSid) + "\\" + settings_key("VESK 4.1");
    for (const std::string& line :
         {"Deleted File: " + std::string(kHostFolder) + "\\a.$$$",
          "Deleted Key:  HKEY_USERS\\" + std::string(kOwnSid) + "\\" + settings_key("VESK 4.0"),
          "Path cleaned: " + folder_of("me") + kStore,
          pad_to_zone("Kept Key:") + ann_key + " (on a keep list)",
          pad_to_zone("Kept File:") + folder_of("ann") + kStore + "\\Data\\x.dat (on a keep list)",
          "Path cleaned: " + folder_of("ann") + kStore + " (1 files kept)",
          pad_to_zone("Kept Key:") + bob_key_shown + " (on a keep list)",
          "Path cleaned: " + folder_of("bob") + kStore}) {
        EXPECT_TRUE(has_line(logged, line)) << line << "\n" << log_text();
    }
    EXPECT_TRUE(
        fake.key(RegistryRoot::Users, std::string(kLoggedOnSid) + "\\" + kBranch + "\\VESK 4.2"));
    EXPECT_TRUE(fake.exists(folder_of("ann") + kStore + "\\Data\\x.dat"));
    EXPECT_TRUE(bob_key());
    EXPECT_FALSE(fake.exists(folder_of("me") + kStore + "\\Data\\x.dat"));
    // A kept key is not backed up: only the one deleted is.
    const std::string backup = kAdministratorsBackups + "\\Cleaning1.backup\\";
    EXPECT_TRUE(fake.exists(backup + kOwnSid + "\\registry.reg"));
    EXPECT_FALSE(fake.exists(backup + kLoggedOnSid + "\\registry.reg"));
}

// A plan over every profile names each profile's keys under HKEY_USERS and binds them all.
TEST_F(EveryProfileTest, APlanOverEveryProfileTakesEachProfilesItemsAsTheyWere) {
    fake.add_dir("D:\\Plans");
    ASSERT_EQ(run({"/allusers", "/preview", "/registry", "/plan:D:\\Plans\\all.plan"}), kExitDone)
        << testing::PrintToString(streams.errors);
    fake.set_value(RegistryRoot::Users, std::string(kLoggedOnSid) + "\\" + settings_key("VESK 4.2"),
                   "Ann", fake::reg_sz("changed"));
    fake.key(RegistryRoot::CurrentUser, kBranch)->subkeys.erase(platform::fold_case("VESK 4.0"));

    ASSERT_EQ(run({"/apply:D:\\Plans\\all.plan"}), kExitDone)
        << testing::PrintToString(streams.errors) << log_text();
    EXPECT_FALSE(bob_key());
    EXPECT_TRUE(
        fake.key(RegistryRoot::Users, std::string(kLoggedOnSid) + "\\" + kBranch + "\\VESK 4.2"));
    const Lines logged = lines_of(log_text());
    const std::string users = "HKEY_USERS\\";
    for (const std::string& line :
         {pad_to_zone("Kept Key:") + users + kLoggedOnSid + "\\" + settings_key("VESK 4.2") +
              " (changed since the preview)",
          pad_to_zone("Not found Key:") + users + kOwnSid + "\\" + settings_key("VESK 4.0") +
              " (gone since the preview, or its profile was not cleaned)"}) {
        EXPECT_TRUE(has_line(logged, line)) << line << "\n" << log_text();
    }
}

TEST_F(EveryProfileTest, OnlyAnAdministratorOrTheSystemAccountRunsItAndAPreviewChangesNothing) {
    fake.administrator = false;
    const Lines before = fake.whole_world();
    EXPECT_EQ(run({"/allusers", "/registry"}), kExitNotAdministrator);
    EXPECT_EQ(fake.whole_world(), before);
    EXPECT_NE(streams.errors.at(0).find("needs administrator rights"), std::string::npos);

    fake.system_account = true; // a device-management tool's context: no own profile
    streams = {};
    EXPECT_EQ(run({"/allusers", "/registry", "/preview", "/json"}), kExitDone);
    EXPECT_EQ(fake.whole_world(), before);
    EXPECT_TRUE(fake.loaded_hives().empty());
    EXPECT_EQ(streams.output.at(2),
              "{\"type\":\"item\",\"outcome\":\"would delete\",\"kind\":\"key\",\"path\":"
              "\"HKEY_USERS\\\\S-1-5-21-1-2-3-1003\\\\Software\\\\VB and VBA Program Settings\\\\"
              "VESK 4.1\",\"user\":\"S-1-5-21-1-2-3-1003\",\"profile\":\"C:\\\\Users\\\\bob\"}");
    EXPECT_EQ(streams.output.size(), 4u) << "three profiles' keys and the summary";

    // Detection adds up every profile's finds into its one line.
    streams = {};
    EXPECT_EQ(run({"/allusers", "/registry", "/detect"}), kExitSomethingLeft);
    EXPECT_EQ(streams.output, (Lines{"3 items would be cleaned: 3 keys."}));
    EXPECT_TRUE(streams.errors.empty());
    EXPECT_EQ(fake.whole_world(), before);
}

TEST_F(EveryProfileTest, AHiveThatWillNotLoadOrUnloadIsSaidAndTheRestIsCleaned) {
    fake.unloadable_hive_files.insert(fake::path_key(folder_of("bob") + "\\NTUSER.DAT"));
    EXPECT_EQ(run({"/allusers", "/registry"}), kExitSomethingLeft);
    EXPECT_TRUE(bob_key());
    EXPECT_FALSE(fake.key(RegistryRoot::CurrentUser, settings_key("VESK 4.0")));
    EXPECT_TRUE(has_line(lines_of(log_text()),
                         "Profile skipped: " + folder_of("bob") + " (" + kLoggedOffSid +
                             "): its registry hive cannot be loaded: " + fake::kInUse))
        << log_text();
    EXPECT_EQ(streams.errors.size(), 1u);

    // Held for a moment by another program: tried again until it lets go.
    fake.unloadable_hive_files.clear();
    fake.fail_unloads = 3;
    streams = {};
    EXPECT_EQ(run({"/allusers", "/registry"}), kExitDone);
    EXPECT_EQ(fake.pauses.size(), 3u);
    EXPECT_TRUE(fake.loaded_hives().empty());

    // Held for good: the run says so and fails.
    fake.fail_unloads = 1000;
    EXPECT_EQ(run({"/allusers", "/registry"}), kExitSomethingLeft);
    EXPECT_EQ(lines_of(log_text(3)).back(), "Hive not unloaded: HKEY_USERS\\" +
                                                std::string(kOurHive) + " (" + fake::kAccessDenied +
                                                ")");
}

// The stop unloads the hive before the run ends, and a hive that stays is said before the stop.
TEST_F(EveryProfileTest, AStopInsideALoadedHiveStillUnloadsItOrSaysItCannot) {
    registry.before = [this](std::string_view call, std::string_view path) {
        stop = stop || (call == "delete_key" && path.starts_with(kOurHive));
    };
    EXPECT_EQ(run({"/allusers", "/registry", "/store-pd"}), kExitStopped);
    EXPECT_TRUE(fake.loaded_hives().empty());
    EXPECT_EQ(lines_of(log_text()).back(), "Cleaning stopped by the user.");
    EXPECT_TRUE(fake.exists(folder_of("bob") + kStore + "\\Data\\x.dat"));

    stop = false;
    fake.fail_unloads = 1000;
    fake::FakePlatform::add_key_below(*fake.hive_file(folder_of("bob") + "\\NTUSER.DAT"),
                                      settings_key("VESK 4.1"));
    EXPECT_EQ(run({"/allusers", "/registry", "/store-pd"}), kExitStopped);
    const Lines lines = lines_of(log_text(2));
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
              (Lines{"Hive not unloaded: HKEY_USERS\\" + std::string(kOurHive) + " (" +
                         fake::kAccessDenied + ")",
                     "Backed up to: " + kAdministratorsBackups + "\\Cleaning2.backup",
                     "Cleaning stopped by the user."}));
    EXPECT_EQ(streams.errors, Lines{lines.end()[-3]});
}

TEST_F(EveryProfileTest, ARestoreThatSkipsAProfileEndsWithOne) {
    ASSERT_EQ(run({"/allusers", "/registry"}), kExitDone);
    fake.unloadable_hive_files.insert(fake::path_key(folder_of("bob") + "\\NTUSER.DAT"));
    EXPECT_EQ(run({"/restore:1", "/allusers"}), kExitSomethingLeft);
    EXPECT_TRUE(fake.key(RegistryRoot::CurrentUser, settings_key("VESK 4.0")));
    EXPECT_FALSE(bob_key());
}

// Every user's entry of ProfileList is cleaned or said to be left out, and why, in the log and
// in a preview's text, without changing the exit code. Temporary profiles are exactly the
// folders Windows makes for them.
TEST_F(EveryProfileTest, EveryUsersEntryIsCleanedOrSaidToBeLeftOut) {
    add_profile("S-1-5-21-1-2-3-1007", folder_of("Templeton"), {});
    fake.add_hive_file(folder_of("Templeton") + "\\NTUSER.DAT");
    fake.add_file(folder_of("Templeton") + kStore + "\\x.dat");
    add_profile("S-1-5-21-1-2-3-1008", folder_of("TEMP.PC"), {});
    add_profile("S-1-5-21-1-2-3-1009", folder_of("Temp.PC.001"), {});
    add_profile("S-1-5-21-1-2-3-1010", "Users\\relative", {}, false);
    add_profile("S-1-5-21-1-2-3-1011", "%BROKEN%\\x", {}, false);
    fake.unexpandable.insert("%BROKEN%\\x");
    fake.add_key(RegistryRoot::LocalMachine, std::string(kProfileList) + "\\S-1-5-21-1-2-3-1012");

    const MachineProfiles machine = find_profiles(fake.os());
    Lines cleaned;
    for (const Profile& profile : machine.profiles) {
        cleaned.push_back(profile.sid);
    }
    EXPECT_EQ(cleaned, (Lines{kOwnSid, kLoggedOnSid, kLoggedOffSid, "S-1-5-21-1-2-3-1007"}));
    Lines left_out;
    for (const LeftOutProfile& left : machine.left_out) {
        left_out.push_back(left.profile.sid + ": " + left.why);
    }
    EXPECT_EQ(left_out,
              (Lines{"S-1-5-21-1-2-3-1004: its folder does not exist",
                     "S-1-5-21-1-2-3-1005.bak: its name is not a user's SID",
                     "S-1-5-21-1-2-3-1006: a temporary profile",
                     "S-1-5-21-1-2-3-1008: a temporary profile",
                     "S-1-5-21-1-2-3-1009: a temporary profile",
                     "S-1-5-21-1-2-3-1010: its folder is not a full path",
                     "S-1-5-21-1-2-3-1011: its folder cannot be expanded (The data area passed "
                     "to a system call is too small.)",
                     "S-1-5-21-1-2-3-1012: it names no folder"}));

    const std::string temporary =
        "Profile left out: " + folder_of("TEMP.PC") + " (S-1-5-21-1-2-3-1008): a temporary profile";
    EXPECT_EQ(run({"/allusers", "/store-pd", "/preview"}), kExitDone);
    EXPECT_TRUE(has_line(streams.output, temporary));
    EXPECT_EQ(run({"/allusers", "/store-pd"}), kExitDone);
    EXPECT_TRUE(has_line(lines_of(log_text()), temporary));
    EXPECT_TRUE(has_line(lines_of(log_text()),
                         "Profile left out: %BROKEN%\\x (S-1-5-21-1-2-3-1011): its folder cannot "
                         "be expanded (The data area passed to a system call is too small.)"));
    EXPECT_FALSE(fake.exists(folder_of("Templeton") + kStore + "\\x.dat"));
}

// A hive that a run of the program left loaded: a detection leaves it alone; a cleaning unloads
// it once its run has ended, and says so, whoever's it is; while its run runs, it is that run's.
struct Leftover {
    const char* label;
    std::string sid;
    std::string folder;                        // where its NTUSER.DAT is
    std::optional<platform::ProcessId> loader; // nullopt: named by an earlier version
    bool loader_runs;
    int failing_unloads;
    int cleaning_exit;
    std::string line; // the cleaning's log line about it, "<hive>" standing for its key
};

void PrintTo(const Leftover& row, std::ostream* out) {
    *out << row.label;
}

class LeftoverHiveTest : public EveryProfileTest, public testing::WithParamInterface<Leftover> {};

TEST_P(LeftoverHiveTest, IsUnloadedOnlyByACleaningAndOnlyOnceItsRunHasEnded) {
    const Leftover& row = GetParam();
    const std::string file = row.folder + "\\NTUSER.DAT";
    if (!fake.hive_file(file)) {
        fake.add_hive_file(file);
    }
    std::string name = "VESK Cleaning Wizard " + row.sid;
    if (row.loader) {
        name += " " + std::to_string(row.loader->id) + "." + std::to_string(row.loader->started);
        if (row.loader_runs) {
            fake.other_processes.push_back(*row.loader);
        }
    }
    ASSERT_FALSE(fake.load_hive(name, file));

    EXPECT_EQ(run({"/allusers", "/registry", "/detect"}), kExitSomethingLeft);
    EXPECT_EQ(fake.loaded_hives(), Lines{name}) << "a detection unloads no hive but its own";

    fake.fail_unloads = row.failing_unloads;
    EXPECT_EQ(run({"/allusers", "/registry"}), row.cleaning_exit);
    std::string line = row.line;
    line.replace(line.find("<hive>"), 6, "HKEY_USERS\\" + name);
    EXPECT_TRUE(has_line(lines_of(log_text()), line)) << log_text();
    const bool stays = row.loader_runs || row.failing_unloads > 0;
    EXPECT_EQ(fake.loaded_hives(), stays ? Lines{name} : Lines{});
}

const std::string kUnloaded =
    "Hive unloaded: <hive>, left by a run that ended without unloading it";

INSTANTIATE_TEST_SUITE_P(
    EveryCase, LeftoverHiveTest,
    testing::Values(
        Leftover{"LoaderRuns", kLoggedOffSid, folder_of("bob"), platform::ProcessId{77, 1}, true, 0,
                 kExitSomethingLeft,
                 "Profile skipped: " + folder_of("bob") + " (" + kLoggedOffSid +
                     "): its registry hive cannot be loaded: another run of the program has it "
                     "loaded as <hive>"},
        Leftover{"LoaderEnded", kLoggedOffSid, folder_of("bob"), platform::ProcessId{78, 1}, false,
                 0, kExitDone, kUnloaded},
        Leftover{"IdTakenByAnotherProcess", kLoggedOffSid, folder_of("bob"),
                 platform::ProcessId{4242, 1}, false, 0, kExitDone, kUnloaded},
        Leftover{"EarlierVersion", kLoggedOffSid, folder_of("bob"), std::nullopt, false, 0,
                 kExitDone, kUnloaded},
        Leftover{"UserLoggedOn", kLoggedOnSid, folder_of("ann"), platform::ProcessId{78, 1}, false,
                 0, kExitDone, kUnloaded},
        Leftover{"ProfileNoLongerListed", "S-1-5-21-1-2-3-1020", folder_of("left"),
                 platform::ProcessId{78, 1}, false, 0, kExitDone, kUnloaded},
        Leftover{"UnloadFails", "S-1-5-21-1-2-3-1020", folder_of("left"),
                 platform::ProcessId{78, 1}, false, 20, kExitSomethingLeft,
                 "Hive not unloaded: <hive> (" + std::string(fake::kAccessDenied) + ")"}),
    [](const testing::TestParamInfo<Leftover>& param) { return std::string(param.param.label); });

// The system account's run over every profile in its session, and a user's own run in the
// user's: whichever comes second leaves the profile alone and says so.
TEST_F(EveryProfileTest, TwoSessionsNeverCleanOneProfileAtOnce) {
    fake.system_account = true;
    RecordingStreams inner_streams;
    bool inside = false;
    int inner_code = -1;
    // Another session: its own session lock, free there, and its own account.
    const auto in_other_session = [&](bool system_account, const Lines& arguments) {
        inside = true;
        const bool outer_account = std::exchange(fake.system_account, system_account);
        const bool outer_session = std::exchange(fake.cleaning_locked, false);
        inner_code = run_console(arguments, console_os, inner_streams, stop);
        fake.system_account = outer_account;
        fake.cleaning_locked = outer_session;
    };
    registry.before = [&](std::string_view call, std::string_view path) {
        if (!inside && call == "delete_key" && path.starts_with(kOwnSid)) {
            in_other_session(false, {"/registry"});
        }
    };
    EXPECT_EQ(run({"/allusers", "/registry"}), kExitDone);
    EXPECT_EQ(inner_code, kExitBusy) << "the user's own run, while the system's is in its profile";
    EXPECT_EQ(inner_streams.errors, Lines{std::string(kAnotherCleaningRuns)});
    EXPECT_TRUE(fake.locked_profiles.empty());

    fake.set_value(RegistryRoot::CurrentUser, settings_key("VESK 4.0"), "Own", fake::reg_sz("1"));
    fake.system_account = false;
    inside = false;
    inner_streams = {};
    registry.before = [&](std::string_view call, std::string_view) {
        if (!inside && call == "delete_key") {
            in_other_session(true, {"/allusers", "/registry"});
        }
    };
    EXPECT_EQ(run({"/registry"}), kExitDone);
    EXPECT_EQ(inner_code, kExitSomethingLeft) << "the system's run, while the user's runs";
    EXPECT_TRUE(has_line(lines_of(log_text(3)), "Profile skipped: PC\\me, " + folder_of("me") +
                                                    " (" + kOwnSid + ")" + kAnotherRunsIt))
        << log_text(3);
    EXPECT_EQ(inner_streams.errors.size(), 1u);
    EXPECT_FALSE(fake.key(RegistryRoot::CurrentUser, settings_key("VESK 4.0")));
    EXPECT_TRUE(fake.locked_profiles.empty());
}

TEST(ProfileTest, UserSidsAreTheMachinesAndDomainsAccountsOnly) {
    for (const char* sid :
         {"S-1-5-21-1-2-3-1001", "S-1-5-21-3623811015-3361044348-30300820-1013"}) {
        EXPECT_TRUE(is_user_sid(sid)) << sid;
    }
    for (const char* sid : {"S-1-5-18", "S-1-5-21-", "S-1-5-21-1--2", "S-1-5-21-1-2.bak",
                            "S-1-5-21-1-2-", "S-1-5-21-1\\..\\x", "s-1-5-21-1"}) {
        EXPECT_FALSE(is_user_sid(sid)) << sid;
    }
}

} // namespace
