// The organisation's policy as the registry holds it: the machine's values over the user's,
// values that cannot be taken, and the backups' home it gives each user.
#include "engine/policy.h"
#include "fake_platform.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;
using platform::RegistryView;

const OptionRow& row_named(std::string_view name) {
    return *std::ranges::find(kOptionTable, name, &OptionRow::switch_name);
}

struct PolicyWorld {
    void set(RegistryRoot root, std::string_view name, platform::RegistryValue value) {
        fake.set_value(root, kPolicyKey, name, std::move(value));
    }
    Policy read() { return read_policy(fake, fake); }
    fake::FakePlatform fake;
};

class PolicyTest : public testing::Test, protected PolicyWorld {};

TEST_F(PolicyTest, TheMachinesValueWinsTheUsersCountsWhereTheMachineSetsNone) {
    set(RegistryRoot::LocalMachine, "registry", fake::reg_dword(0));
    set(RegistryRoot::CurrentUser, "REGISTRY", fake::reg_dword(1));
    set(RegistryRoot::CurrentUser, "settings", fake::reg_dword(0));
    set(RegistryRoot::LocalMachine, "PreviewOnly", fake::reg_dword(0));
    set(RegistryRoot::CurrentUser, "PreviewOnly", fake::reg_dword(1));
    set(RegistryRoot::CurrentUser, "toolbar", fake::reg_dword(7));
    // The 32-bit view is not where the machine's policy is written.
    fake.set_value(RegistryRoot::LocalMachine, kPolicyKey, "rights", fake::reg_dword(0),
                   RegistryView::Wow64_32);

    const Policy policy = read();

    EXPECT_FALSE(policy.allows(row_named("registry")));
    EXPECT_EQ(where_set(policy.setting_of(row_named("registry"))),
              "registry = 0 in HKEY_LOCAL_MACHINE\\Software\\Policies\\TOLM\\VESK Cleaning Wizard");
    EXPECT_FALSE(policy.allows(row_named("settings")));
    EXPECT_EQ(policy.setting_of(row_named("settings")).source, PolicySource::User);
    EXPECT_TRUE(policy.allows(row_named("toolbar"))) << "any number but 0 allows";
    for (const std::string_view allowed : {"temp", "projects", "opengl", "rights", "store-pd"}) {
        EXPECT_TRUE(policy.allows(row_named(allowed))) << allowed;
        EXPECT_EQ(policy.setting_of(row_named(allowed)).source, PolicySource::Default);
    }
    EXPECT_FALSE(policy.previews_only());
    EXPECT_EQ(policy.preview_only.source, PolicySource::Machine);
    EXPECT_TRUE(policy.backup_folder.text.empty());
    EXPECT_TRUE(policy.ignored.empty());
}

TEST_F(PolicyTest, AValueThatCannotBeTakenIsAbsentAndNamed) {
    set(RegistryRoot::LocalMachine, "temp", fake::reg_sz("0"));
    set(RegistryRoot::CurrentUser, "temp", fake::reg_dword(0));
    set(RegistryRoot::LocalMachine, "toolbar", fake::reg_bytes(platform::kRegDword, {0, 0, 0}));
    set(RegistryRoot::LocalMachine, "PreviewOnly", fake::reg_bytes(11, {1, 0, 0, 0, 0, 0, 0, 0}));
    set(RegistryRoot::LocalMachine, "BackupFolder", fake::reg_dword(1));
    set(RegistryRoot::CurrentUser, "BackupFolder", fake::reg_expand_sz("Backups\\%USERNAME%"));
    set(RegistryRoot::CurrentUser, "store_pf", fake::reg_dword(0));
    set(RegistryRoot::CurrentUser, "", fake::reg_sz(""));

    const Policy policy = read();

    EXPECT_FALSE(policy.allows(row_named("temp"))) << "the user's value stands in";
    EXPECT_TRUE(policy.allows(row_named("toolbar")));
    EXPECT_FALSE(policy.previews_only());
    EXPECT_TRUE(policy.backup_folder.text.empty());
    std::vector<std::string> ignored;
    for (const IgnoredValue& value : policy.ignored) {
        ignored.push_back((value.source == PolicySource::Machine ? "machine " : "user ") +
                          value.name + ": " + value.why);
    }
    EXPECT_EQ(ignored, (std::vector<std::string>{
                           "machine BackupFolder: a REG_DWORD, not a REG_EXPAND_SZ",
                           "machine PreviewOnly: a REG_QWORD, not a REG_DWORD",
                           "machine temp: a REG_SZ, not a REG_DWORD",
                           "machine toolbar: a REG_DWORD of 3 bytes, not 4",
                           "user BackupFolder: \"Backups\\%USERNAME%\" is not a full path",
                           "user store_pf: not a setting of this program",
                       }));
}

TEST_F(PolicyTest, TheBackupFolderIsExpandedAndHoldsAFolderForEachComputerAndUser) {
    fake.environment["SHARE"] = "vesk";
    set(RegistryRoot::LocalMachine, "BackupFolder", fake::reg_expand_sz("\\\\srv\\%share%\\"));
    set(RegistryRoot::CurrentUser, "BackupFolder", fake::reg_sz("D:\\Mine"));

    const Policy policy = read();

    EXPECT_EQ(policy.backup_folder.text, "\\\\srv\\vesk");
    EXPECT_EQ(backup_home(policy, fake).folder, "\\\\srv\\vesk\\PC1\\alice");
    EXPECT_EQ(backup_home(policy, fake).base, "\\\\srv\\vesk");
    fake.user = "..";
    EXPECT_THROW(backup_home(policy, fake), platform::Failure) << "a name is one folder, no more";
    EXPECT_EQ(backup_home(Policy(), fake).folder, "") << "no folder: beside the log";
}

} // namespace
