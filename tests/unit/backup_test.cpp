// Backups and restores on the in-memory Windows: every program-settings key and settings file is
// backed up before it goes and comes back exactly; a backup that cannot be made keeps what it
// covers; a restore takes only a whole backup of what a cleaning deletes, and only where the
// place is free.
#include "backup/backup_contents.h"
#include "backup/reg_file.h"
#include "backup/sha256.h"
#include "engine/cleaning_run.h"
#include "engine/restore_run.h"
#include "operation_world.h"
#include "operations/registry_settings.h"

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
    RestoreReport restore(int number) {
        RestoreReport report = run_restore(interposed, number);
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
    EXPECT_EQ(
        fake.tree(host("Cleaning1.backup")),
        (std::vector<std::string>{"contents.sha256", "pomb30.ini", "registry.reg", "vesk30.ini",
                                  "veskhogl.ini"}));
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
    const RestoreReport restored = restore(1);

    EXPECT_FALSE(restored.unusable);
    EXPECT_EQ(branch(), keys_before);
    EXPECT_EQ(file(host("Vesk30.ini")), settings);
    EXPECT_EQ(file("C:\\WINDOWS\\veskhogl.ini"), opengl);
    EXPECT_EQ(restored.restored, 4u);
    // The read-only file was never deleted: its place is not free.
    EXPECT_EQ(restored.left, 1u);
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

    const RestoreReport restored = restore(1);

    EXPECT_EQ(restored.left, 3u);
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
             {branch + u"VeskMain]\r\n\"a\"=hex:01,\r\n",
              backup("registry.reg") + ", line 4: a byte of a hex list is not two hex digits"},
         }) {
        BackupWorld world;
        world.write_registry_backup(bad.body);
        const std::vector<std::string> before = world.fake.whole_world();
        const RestoreReport report = world.restore(1);
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

} // namespace
