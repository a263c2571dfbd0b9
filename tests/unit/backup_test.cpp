// Backups and restores on the in-memory Windows: every program-settings key and settings file is
// backed up before it goes and comes back exactly; a backup that cannot be made keeps what it
// covers; a restore takes only a whole backup of what a cleaning deletes, and only where the
// place is free.
#include "backup/backup_action.h"
#include "backup/backup_contents.h"
#include "backup/reg_file.h"
#include "platform/sha256.h"
#include "engine/cleaning_run.h"
#include "engine/restore_run.h"
#include "operation_world.h"
#include "operations/registry_settings.h"
#include "platform/registry_values.h"
#include "platform/text.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;

const std::string kBranch(kSettingsBranch);

std::string host(std::string_view name) {
    return std::string(kHostFolder) + "\\" + std::string(name);
}

std::string backup(std::string_view name) {
    return host("Cleaning1.backup\\" + std::string(name));
}

CleaningOptions keys_and_settings() {
    CleaningOptions options;
    options.registry_settings = options.configuration_settings = options.temporary_files =
        options.opengl_settings = true;
    return options;
}

CleaningOptions registry_only() {
    CleaningOptions options;
    options.registry_settings = true;
    return options;
}

struct BackupWorld : InterposedWorld {
    BackupWorld() {
        // Every type of value, in a key with a subkey, and a versioned key.
        const std::string torp = kBranch + "\\VeskTorp";
        fake.set_value(RegistryRoot::CurrentUser, torp, "", fake::reg_sz("default"));
        fake.set_value(RegistryRoot::CurrentUser, torp, "Raw", fake::reg_sz("no end", false));
        fake.set_value(RegistryRoot::CurrentUser, torp, "Say \"Ωμέγα\"", fake::reg_sz("C:\\x"));
        fake.set_value(RegistryRoot::CurrentUser, torp, "Size",
                       fake::reg_bytes(platform::kRegDword, {1, 2, 3, 4}));
        fake.set_value(RegistryRoot::CurrentUser, torp, "Big",
                       fake::reg_bytes(platform::kRegBinary, std::vector<std::uint8_t>(300, 7)));
        fake.set_value(RegistryRoot::CurrentUser, torp + "\\Recent", "Odd",
                       fake::reg_bytes(0x1234, {}));
        fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\vesk 4.1\\Empty");
        fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\Other");
        fake.add_file(host("Vesk30.ini"), "[Window]\r\nLeft=10\r\n");
        fake.add_file(host("Pomb30.ini"), "read-only", platform::attr::kReadOnly);
        fake.add_file("C:\\WINDOWS\\veskhogl.ini", "opengl");
        fake.add_file(host("a.$$$"), "temporary");
    }
    std::vector<std::string> branch() {
        std::vector<std::string> lines;
        for (const std::string& line : fake.whole_world()) {
            if (line.starts_with("Software\\VB")) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    std::string file(std::string_view path) {
        const fake::FileEntry* entry = fake.entry(path);
        return entry ? entry->content + " attributes " + std::to_string(entry->attributes)
                     : "missing";
    }
    RunReport clean(const CleaningOptions& options) {
        RunReport report = run_cleaning(interposed, options);
        log.close();
        return report;
    }
    RunReport restore(int number) {
        RunReport report = run_restore(interposed, number);
        log.close();
        return report;
    }
    // A registry file with that body, and a record that vouches for it.
    void write_registry_backup(std::u16string body) {
        fake.add_dir(host("Cleaning1.backup"));
        const std::string bytes = utf16le_bytes(reg_file_header() + body + u"\r\n");
        fake.add_file(backup("registry.reg"), bytes);
        fake.add_file(backup("contents.sha256"),
                      contents_line("registry.reg", bytes.size(), sha256_hex(bytes)));
    }
};

class BackupTest : public testing::Test, protected BackupWorld {};

TEST_F(BackupTest, KeysAndSettingsFilesAreBackedUpBeforeTheyGoAndComeBackExactly) {
    const std::vector<std::string> keys_before = branch();
    const std::string settings = file(host("Vesk30.ini"));
    const std::string opengl = file("C:\\WINDOWS\\veskhogl.ini");

    const RunReport cleaned = clean(keys_and_settings());

    EXPECT_EQ(cleaned.backup_folder, host("Cleaning1.backup"));
    EXPECT_EQ(lines_of(log_text()).back(), "Backed up to: " + host("Cleaning1.backup"));
    // In the order they were deleted; the temporary file has no backup.
    EXPECT_EQ(fake.tree(host("Cleaning1.backup")),
              (std::vector<std::string>{"contents.sha256", "pomb30.ini", "registry.reg",
                                        "vesk30.ini", "veskhogl.ini"}));
    const auto parsed = parse_reg_file(fake.content(backup("registry.reg")));
    ASSERT_TRUE(std::holds_alternative<RegFile>(parsed));
    std::vector<std::string> paths;
    for (const RegKeyBlock& key : std::get<RegFile>(parsed).keys) {
        paths.push_back(key.path);
    }
    const std::string logged_branch = "HKEY_CURRENT_USER\\" + kBranch;
    EXPECT_EQ(paths, (std::vector<std::string>{
                         logged_branch + "\\VeskTorp", logged_branch + "\\VeskTorp\\Recent",
                         logged_branch + "\\vesk 4.1", logged_branch + "\\vesk 4.1\\Empty"}));
    EXPECT_EQ(file(backup("Pomb30.ini")), file(host("Pomb30.ini"))) << "attributes kept";
    EXPECT_EQ(branch(), (std::vector<std::string>{"Software\\VB and VBA Program Settings",
                                                  "Software\\VB and VBA Program Settings\\Other"}));

    fake.calls.clear();
    const RunReport restored = restore(1);

    EXPECT_FALSE(restored.unusable);
    EXPECT_EQ(branch(), keys_before);
    EXPECT_EQ(file(host("Vesk30.ini")), settings);
    EXPECT_EQ(file("C:\\WINDOWS\\veskhogl.ini"), opengl);
    EXPECT_EQ(restored.done, 4u);
    // The read-only file was never deleted: its place is not free.
    EXPECT_EQ(restored.refused, 1u);
    EXPECT_EQ(lines_of(fake.content(host("Cleaning2.log"))),
              (std::vector<std::string>{"Restored Key: " + logged_branch + "\\VeskTorp",
                                        "Restored Key: " + logged_branch + "\\vesk 4.1",
                                        "Not restored File:          " + host("Pomb30.ini") +
                                            " (it exists again)",
                                        "Restored File:              " + host("Vesk30.ini"),
                                        "Restored File:              C:\\WINDOWS\\veskhogl.ini"}));
}

TEST_F(BackupTest, NothingIsDeletedThatCouldNotBeBackedUp) {
    fake.add_file(host("Cleaning1.backup"), "a file where the folder should go");
    const std::vector<std::string> keys_before = branch();

    const RunReport cleaned = clean(keys_and_settings());

    EXPECT_EQ(branch(), keys_before);
    EXPECT_NE(file(host("Vesk30.ini")), "missing");
    EXPECT_NE(file("C:\\WINDOWS\\veskhogl.ini"), "missing");
    EXPECT_FALSE(fake.exists(host("a.$$$"))) << "what needs no backup still goes";
    EXPECT_EQ(cleaned.refused, 5u);
    EXPECT_EQ(cleaned.backup_folder, "");
    const std::vector<std::string> lines = lines_of(log_text());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Could not back up Key:      HKEY_CURRENT_USER\\" + kBranch +
                            "\\VeskTorp (the backup folder " + host("Cleaning1.backup") +
                            " cannot be made: The file exists.)");
    EXPECT_TRUE(lines[2].starts_with("Could not back up File:     " + host("Vesk30.ini")));
    EXPECT_EQ(lines[4], "Deleted File: " + host("a.$$$"));
    EXPECT_TRUE(lines[5].starts_with("Could not back up File:     C:\\WINDOWS\\veskhogl.ini"));
}

TEST_F(BackupTest, ARunThatDeletesNoSettingsMakesNoBackup) {
    CleaningOptions temporary;
    temporary.temporary_files = true;
    EXPECT_EQ(clean(temporary).backup_folder, "");
    EXPECT_FALSE(fake.exists(host("Cleaning1.backup")));
    EXPECT_EQ(lines_of(log_text()), std::vector<std::string>{"Deleted File: " + host("a.$$$")});
}

TEST_F(BackupTest, WhatExistsAgainIsLeftAsItIs) {
    clean(keys_and_settings());
    fake.set_value(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp", "New", fake::reg_sz("kept"));
    fake.add_file(host("Vesk30.ini"), "written since");

    const RunReport restored = restore(1);

    EXPECT_EQ(restored.refused, 3u);
    EXPECT_EQ(fake.key(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp")->values.size(), 1u);
    EXPECT_EQ(fake.content(host("Vesk30.ini")), "written since");
    EXPECT_TRUE(fake.key(RegistryRoot::CurrentUser, kBranch + "\\vesk 4.1\\Empty") != nullptr);
}

// A restore writes nowhere but into the keys and files that a cleaning deletes: a backup that
// holds anything else, or that the reader does not fully understand, changes nothing at all.
TEST_F(BackupTest, ABackupThatIsNotWhollyUnderstoodRestoresNothing) {
    const std::u16string branch =
        u"\r\n[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\";
    struct Case {
        std::u16string body;
        std::string why;
    };
    for (const Case& bad : std::vector<Case>{
             {u"\r\n[HKEY_CURRENT_USER\\Software\\Classes\\x]\r\n\"a\"=\"1\"\r\n",
              "the key HKEY_CURRENT_USER\\Software\\Classes\\x is not in the program-settings "
              "branch"},
             {u"\r\n[HKEY_LOCAL_MACHINE\\Software\\VB and VBA Program Settings\\VeskMain]\r\n",
              "the key HKEY_LOCAL_MACHINE\\Software\\VB and VBA Program Settings\\VeskMain is not "
              "the current user's"},
             {branch + u"Other]\r\n",
              "the key HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Other is not one "
              "the cleaning deletes"},
             {branch + u"VeskMain\\Sub]\r\n",
              "the key HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\VeskMain\\Sub "
              "does not follow the key it lies in"},
             {branch + u"VeskMain]\r\n" + branch + u"VeskMainX\\Sub]\r\n",
              "the key HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\VeskMainX\\Sub "
              "does not follow the key it lies in"},
             {branch + u"VeskMain]\r\n\"a\"=hex:01,\r\n",
              backup("registry.reg") + ", line 4: a byte of a hex list is not two hex digits"},
         }) {
        BackupWorld world;
        world.write_registry_backup(bad.body);
        const std::vector<std::string> before = world.fake.whole_world();
        const RunReport report = world.restore(1);
        ASSERT_TRUE(report.unusable) << bad.why;
        EXPECT_EQ(*report.unusable, bad.why);
        EXPECT_EQ(world.fake.whole_world(), before);
    }

    const std::vector<std::string> before = fake.whole_world();
    EXPECT_EQ(*restore(7).unusable, "there is no backup " + host("Cleaning7.backup"));
    fake.add_file(host("Cleaning1.backup\\Vesk30.ini"));
    fake.add_file(host("Cleaning1.backup\\setup.exe"));
    EXPECT_EQ(*restore(1).unusable,
              "the backup holds setup.exe, which the cleaning never backs up");
    fake.add_dir(host("Cleaning2.backup\\Deeper"));
    EXPECT_EQ(*restore(2).unusable, "the backup holds a folder, Deeper");
    EXPECT_FALSE(fake.exists(host("Vesk30.ini.restored")));
    EXPECT_FALSE(fake.exists(host("Cleaning1.log")));
    EXPECT_NE(fake.whole_world(), before); // only the backups made above
}

std::string logged(std::string_view key) {
    return "HKEY_CURRENT_USER\\" + kBranch + "\\" + std::string(key);
}

// The log's lines about keys, refusals first as the run wrote them.
std::vector<std::string> key_lines(const std::string& text) {
    std::vector<std::string> lines;
    for (const std::string& line : lines_of(text)) {
        if (line.find(" Key:") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

bool is_link(fake::FakePlatform& fake, const std::string& path) {
    return platform::check_key(fake, RegistryRoot::CurrentUser, path,
                               platform::RegistryAccess::QueryValue)
               .state == platform::KeyState::Link;
}

// A registry link leads out of the branch: nothing behind it is read, deleted or written, be
// the link a target key, a key inside one, the branch itself, or one made before a restore.
TEST_F(BackupTest, RegistryLinksAreNeverFollowed) {
    fake.set_value(RegistryRoot::CurrentUser, "Software\\Evil", "Keep", fake::reg_sz("mine"));
    fake.add_key(RegistryRoot::CurrentUser, "Software\\Evil\\Sub");
    fake.add_key_link(RegistryRoot::CurrentUser, kBranch + "\\VeskGris", "Software\\Evil");
    fake.add_key_link(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Recent\\In",
                      "Software\\Evil");
    const auto evil = [this] {
        std::vector<std::string> lines;
        for (const std::string& line : fake.whole_world()) {
            if (line.starts_with("Software\\Evil")) {
                lines.push_back(line);
            }
        }
        return lines;
    };
    const std::vector<std::string> evil_before = evil();
    EXPECT_EQ(preview_cleaning(interposed, keys_and_settings()).refused, 2u)
        << "the preview already says which keys the cleaning will leave";

    const RunReport cleaned = clean(keys_and_settings());

    EXPECT_EQ(evil(), evil_before);
    EXPECT_TRUE(is_link(fake, kBranch + "\\VeskGris"));
    EXPECT_TRUE(is_link(fake, kBranch + "\\VeskTorp\\Recent\\In"));
    EXPECT_EQ(key_lines(log_text()),
              (std::vector<std::string>{
                  "Could not back up Key:      " + logged("VeskTorp") + " (a registry link)",
                  "Could not back up Key:      " + logged("VeskGris") + " (a registry link)",
                  "Deleted Key:  " + logged("vesk 4.1")}));
    EXPECT_EQ(cleaned.refused, 3u) << "two keys and the read-only settings file";
    const std::string registry_backup = fake.content(backup("registry.reg"));
    EXPECT_EQ(registry_backup.find(utf16le_bytes(u"Keep")), std::string::npos);

    // Made a link to a key that does not exist yet: restoring through it would make that key.
    fake.add_key_link(RegistryRoot::CurrentUser, kBranch + "\\vesk 4.1", "Software\\Evil2");
    restore(1);
    EXPECT_EQ(
        key_lines(log_text(2)),
        (std::vector<std::string>{"Not restored Key:           " + logged("vesk 4.1") +
                                  " (a registry link on the way: " + logged("vesk 4.1") + ")"}));
    EXPECT_EQ(fake.key(RegistryRoot::CurrentUser, "Software\\Evil2"), nullptr);

    // The branch itself a link: every key the search finds lies behind it.
    BackupWorld linked;
    linked.fake.key(RegistryRoot::CurrentUser, "Software")
        ->subkeys.erase(platform::fold_case("VB and VBA Program Settings"));
    linked.fake.add_key(RegistryRoot::CurrentUser, "Software\\Elsewhere\\VeskHobb");
    linked.fake.add_key_link(RegistryRoot::CurrentUser, kBranch, "Software\\Elsewhere");
    linked.clean(registry_only());
    EXPECT_NE(linked.fake.key(RegistryRoot::CurrentUser, "Software\\Elsewhere\\VeskHobb"), nullptr);
    EXPECT_EQ(key_lines(linked.log_text()),
              (std::vector<std::string>{"Could not back up Key:      " + logged("VeskHobb") +
                                        " (a registry link)"}));
}

// A tree read only in part would be backed up as if whole, and the deletion would take the rest.
TEST_F(BackupTest, AKeyTreeIsReadWholeOrRefused) {
    fake.add_key(RegistryRoot::CurrentUser, "Software\\Whole\\A\\B");
    const auto read = [this] {
        return read_key_tree(fake, "HKEY_CURRENT_USER\\", "Software\\Whole");
    };
    const auto whole = std::get<std::vector<RegKeyBlock>>(read());
    ASSERT_EQ(whole.size(), 3u);
    EXPECT_EQ(whole[2].path, "HKEY_CURRENT_USER\\Software\\Whole\\A\\B");

    fake.fail_enum_at = 0;
    EXPECT_EQ(std::get<std::string>(read()), "a subkey of Software\\Whole cannot be read");
}

// The user's own list keeps a key for a subkey deep inside it: neither backed up nor deleted,
// and no refusal.
TEST_F(BackupTest, AKeptItemIsNeitherBackedUpNorDeleted) {
    fake.set_value(RegistryRoot::CurrentUser, "Software\\TOLM\\VESK Cleaning Wizard", "Keep",
                   platform::texts_value({"hkey_current_user\\software\\vb and vba program "
                                          "settings\\VESKTORP\\RECENT",
                                          "*\\vesk30.INI", "?:\\Host\\a.$$?"}));
    const std::vector<std::string> torp_before = [&] {
        std::vector<std::string> lines;
        for (const std::string& line : branch()) {
            if (line.find("VeskTorp") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }();

    const RunReport cleaned = clean(keys_and_settings());

    EXPECT_EQ(cleaned.kept, 3u);
    EXPECT_EQ(cleaned.refused, 1u) << "the read-only settings file alone";
    const std::vector<std::string> after = branch();
    for (const std::string& line : torp_before) {
        EXPECT_NE(std::ranges::find(after, line), after.end()) << line;
    }
    EXPECT_EQ(fake.key(RegistryRoot::CurrentUser, kBranch + "\\vesk 4.1"), nullptr);
    EXPECT_EQ(file(host("Vesk30.ini")), "[Window]\r\nLeft=10\r\n attributes 32");
    EXPECT_TRUE(fake.exists(host("a.$$$")));
    EXPECT_EQ(fake.content(backup("registry.reg")).find(utf16le_bytes(u"VeskTorp")),
              std::string::npos);
    EXPECT_FALSE(fake.exists(backup("Vesk30.ini")));
    const std::vector<std::string> lines = lines_of(log_text());
    EXPECT_NE(std::ranges::find(lines, pad_to_zone("Kept Key:") + std::string(kCurrentUserRoot) +
                                           kBranch + "\\VeskTorp (on a keep list)"),
              lines.end())
        << log_text();
}

// A line break in a name would let the registry file say more than the key: the registry
// editor would read keys and deletions of the name's making. Brackets are only characters.
TEST_F(BackupTest, NamesTheRegistryFileCannotHoldAreNotDeletedAndBracketsComeBack) {
    fake.add_key(RegistryRoot::CurrentUser, "Software\\Important");
    fake.set_value(RegistryRoot::CurrentUser, kBranch + "\\VeskMain",
                   "a\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Important]", fake::reg_sz("x"));
    fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\VeskHobb\\Sub\r\n[-HKEY_CURRENT_USER]");
    fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\Vesk 4.2\nx");
    fake.set_value(RegistryRoot::CurrentUser, kBranch + "\\VeskDarl\\a]b", "[c]",
                   fake::reg_sz("kept"));
    fake.add_key(RegistryRoot::CurrentUser, kBranch + "\\VeskDarl\\[d]");
    clean(registry_only());

    const std::string why = " (a name the registry file cannot hold)";
    EXPECT_EQ(key_lines(log_text()),
              (std::vector<std::string>{
                  "Deleted Key:  " + logged("VeskTorp"),
                  "Could not back up Key:      " + logged("VeskHobb") + why,
                  "Could not back up Key:      " + logged("VeskMain") + why,
                  "Deleted Key:  " + logged("VeskDarl"), "Deleted Key:  " + logged("vesk 4.1"),
                  "Could not back up Key:      " + logged("Vesk 4.2\nx") + why}));
    EXPECT_NE(fake.key(RegistryRoot::CurrentUser, "Software\\Important"), nullptr);

    const RunReport restored = restore(1);
    EXPECT_FALSE(restored.unusable) << *restored.unusable;
    EXPECT_EQ(restored.done, 3u);
    const fake::RegKey* bracketed =
        fake.key(RegistryRoot::CurrentUser, kBranch + "\\VeskDarl\\a]b");
    ASSERT_NE(bracketed, nullptr);
    EXPECT_EQ(bracketed->values.begin()->second.first, "[c]");
    EXPECT_NE(fake.key(RegistryRoot::CurrentUser, kBranch + "\\VeskDarl\\[d]"), nullptr);
}

// A full disk in the middle of a backup: what did not fit is taken out again and its item stays;
// what was whole before is restored. "Backed up to:" names only a backup that holds something.
TEST_F(BackupTest, WhatDoesNotFitIsTakenOutAgainAndItsItemStays) {
    registry.before = [this](std::string_view call, std::string_view path) {
        if (call == "delete_key" && path.ends_with("VeskTorp")) {
            fake.backup_space = 10;
        }
    };
    const RunReport cleaned = clean(keys_and_settings());

    const std::string full = " (There is not enough space on the disk.)";
    EXPECT_EQ(
        key_lines(log_text()),
        (std::vector<std::string>{"Deleted Key:  " + logged("VeskTorp"),
                                  "Could not back up Key:      " + logged("vesk 4.1") + full}));
    EXPECT_NE(fake.key(RegistryRoot::CurrentUser, kBranch + "\\vesk 4.1"), nullptr);
    EXPECT_EQ(file(host("Vesk30.ini")), "[Window]\r\nLeft=10\r\n attributes 32");
    EXPECT_EQ(fake.tree(host("Cleaning1.backup")),
              (std::vector<std::string>{"contents.sha256", "registry.reg"}))
        << "no copy cut short is left to pass for a settings file";
    EXPECT_EQ(lines_of(log_text()).back(), "Backed up to: " + host("Cleaning1.backup"));

    fake.backup_space.reset();
    registry.before = nullptr;
    const RunReport restored = restore(1);
    EXPECT_FALSE(restored.unusable) << *restored.unusable;
    EXPECT_EQ(restored.done, 1u);
    EXPECT_NE(fake.key(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Recent"), nullptr);

    // A cut that fails too leaves a registry file that is not whole: nothing more goes in, and
    // no restore takes it.
    BackupWorld broken;
    broken.fake.fail_cut_back = true;
    broken.registry.before = [&broken](std::string_view call, std::string_view path) {
        if (call == "delete_key" && path.ends_with("VeskTorp")) {
            broken.fake.backup_space = 10;
        }
    };
    broken.clean(keys_and_settings());
    EXPECT_EQ(key_lines(broken.log_text())[1],
              "Could not back up Key:      " + logged("vesk 4.1") +
                  " (There is not enough space on the disk.; what was written of it could not be "
                  "taken back: Access is denied.)");
    broken.fake.backup_space.reset();
    const std::vector<std::string> before = broken.fake.whole_world();
    const RunReport refused = broken.restore(1);
    ASSERT_TRUE(refused.unusable);
    EXPECT_EQ(*refused.unusable,
              backup("registry.reg") +
                  " is not what the backup's record says (cut short or changed)");
    EXPECT_EQ(broken.fake.whole_world(), before);

    BackupWorld no_room;
    no_room.fake.backup_space = 0;
    const RunReport nothing = no_room.clean(keys_and_settings());
    EXPECT_EQ(nothing.backup_folder, "");
    for (const std::string& line : lines_of(no_room.log_text())) {
        EXPECT_FALSE(line.starts_with("Backed up to:")) << line;
    }
}

// A backup cut short or changed since, in any of its files or its record, restores nothing: not
// even the keys before a cut that falls exactly between two of them.
TEST_F(BackupTest, ARestoreTakesOnlyABackupThatIsWhatItsRecordSays) {
    struct Damage {
        std::function<void(BackupWorld&, std::size_t first_key_end)> make;
        std::string why;
    };
    const std::string changed = " is not what the backup's record says (cut short or changed)";
    for (const Damage& damage : std::vector<Damage>{
             {[](BackupWorld&w, std::size_t end) {
                  w.fake.entry(backup("registry.reg"))->content.resize(end);
              },
              backup("registry.reg") + changed},
             {[](BackupWorld&w, std::size_t) {
                  w.fake.entry(backup("Vesk30.ini"))->content += "x";
              },
              backup("Vesk30.ini") + changed},
             {[](BackupWorld&w, std::size_t) { w.fake.erase(backup("contents.sha256")); },
              "the backup " + host("Cleaning1.backup") +
                  " has no record of what it holds (contents.sha256)"},
             {[](BackupWorld&w, std::size_t) {
                  w.fake.entry(backup("contents.sha256"))->content.pop_back();
              },
              backup("contents.sha256") + ": line 5 is cut short"},
             {[](BackupWorld&w, std::size_t) { w.fake.add_file(backup("Qult30.ini"), "planted"); },
              "the backup's record does not name " + backup("Qult30.ini")},
             {[](BackupWorld&w, std::size_t) { w.fake.erase(backup("Vesk30.ini")); },
              "the backup's record names items that are not in " + host("Cleaning1.backup")},
         }) {
        BackupWorld world;
        std::size_t first_key_end = 0;
        world.registry.before = [&](std::string_view call, std::string_view) {
            if (call == "delete_key" && first_key_end == 0) {
                first_key_end = world.fake.content(backup("registry.reg")).size();
            }
        };
        world.clean(keys_and_settings());
        world.registry.before = nullptr;
        damage.make(world, first_key_end);
        const std::vector<std::string> before = world.fake.whole_world();
        const RunReport report = world.restore(1);
        ASSERT_TRUE(report.unusable) << damage.why;
        EXPECT_EQ(*report.unusable, damage.why);
        EXPECT_EQ(world.fake.whole_world(), before);
    }
}

// Another program may make a key while the restore works: the restore then takes back only the
// keys it made itself, and says what it could not take back.
TEST_F(BackupTest, ARestoreTakesBackOnlyWhatItMadeItself) {
    clean(keys_and_settings());
    registry.before = [this](std::string_view call, std::string_view path) {
        if (call == "create_subkey" && path == kBranch + "\\VeskTorp\\Recent") {
            fake.set_value(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Recent", "Theirs",
                           fake::reg_sz("x"));
        }
    };

    const RunReport restored = restore(1);

    const fake::RegKey* theirs =
        fake.key(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Recent");
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(theirs->values.size(), 1u) << "nothing of the backup written into their key";
    EXPECT_EQ(key_lines(log_text(2)),
              (std::vector<std::string>{
                  "Not restored Key:           " + logged("VeskTorp") + " (the key " +
                      logged("VeskTorp\\Recent") +
                      " exists already; the keys this restore made could not all be removed "
                      "again: " +
                      logged("VeskTorp") + " (Access is denied.))",
                  "Restored Key: " + logged("vesk 4.1")}));
    EXPECT_EQ(restored.refused, 2u) << "the key and the read-only file";
}

} // namespace
