// The engine's answer to a run request: the organisation's policy and the rights decide it here,
// for the window and the console program alike, and a run that changes anything learns where its
// backups go.
#include "engine/run_request.h"
#include "fake_platform.h"

#include <functional>
#include <gtest/gtest.h>
#include <variant>

namespace {

using platform::RegistryRoot;

CleaningOptions options_of(std::initializer_list<bool CleaningOptions::*> chosen) {
    CleaningOptions options;
    for (bool CleaningOptions::*member : chosen) {
        options.*member = true;
    }
    return options;
}

TEST(RunRequestTest, ThePolicyAndTheRightsDecideEveryRequest) {
    const CleaningOptions registry = options_of({&CleaningOptions::registry_settings});
    const CleaningOptions rights_and_temp =
        options_of({&CleaningOptions::access_rights, &CleaningOptions::temporary_files});
    struct Case {
        const char* what;
        std::function<void(fake::FakePlatform&)> set_up;
        RunRequest request;
        std::optional<RefusalReason> refused;
        std::string said; // part of the refusal's text, or the switches left out, comma-separated
    };
    const auto policy = [](std::string_view name, std::uint32_t value) {
        return [=](fake::FakePlatform& fake) {
            fake.set_value(RegistryRoot::LocalMachine, kPolicyKey, name, fake::reg_dword(value));
        };
    };
    const auto none = [](fake::FakePlatform&) {};
    const Case cases[] = {
        {"a cleaning where nothing is set", none, {RunKind::Clean, {}, registry, registry}, {}, ""},
        {"a cleaning under PreviewOnly",
         policy("PreviewOnly", 1),
         {RunKind::Clean, {}, registry, registry},
         RefusalReason::Policy,
         "only previews"},
        {"a restore under PreviewOnly",
         policy("PreviewOnly", 1),
         {RunKind::Restore, {}, {}, {}, 3},
         RefusalReason::Policy,
         "only previews"},
        {"a preview under PreviewOnly",
         policy("PreviewOnly", 1),
         {RunKind::Preview, {}, registry, registry},
         {},
         ""},
        {"a detection under PreviewOnly",
         policy("PreviewOnly", 1),
         {RunKind::Detect, {}, registry, registry},
         {},
         ""},
        {"a forbidden option named",
         policy("registry", 0),
         {RunKind::Preview, {}, registry, registry},
         RefusalReason::Policy,
         "forbids /registry (registry = 0 in HKEY_LOCAL_MACHINE"},
        {"a forbidden option in a group",
         policy("rights", 0),
         {RunKind::Clean, {}, rights_and_temp, {}},
         {},
         "rights"},
        {"every option of a group forbidden",
         policy("rights", 0),
         {RunKind::Clean, {}, options_of({&CleaningOptions::access_rights}), {}},
         RefusalReason::Policy,
         "forbids every option asked for, /rights"},
        {"every profile for a standard user",
         none,
         {RunKind::Preview, RunScope::EveryProfile, registry, registry},
         RefusalReason::NotAdministrator,
         "needs administrator rights"},
        {"every profile for an administrator",
         [](fake::FakePlatform& fake) { fake.administrator = true; },
         {RunKind::Clean, RunScope::EveryProfile, registry, registry},
         {},
         ""},
        {"the system account's own profile",
         [](fake::FakePlatform& fake) { fake.system_account = true; },
         {RunKind::Preview, {}, registry, registry},
         RefusalReason::SystemAccount,
         "profile is no user's"},
        {"every profile for the system account",
         [](fake::FakePlatform& fake) { fake.system_account = true; },
         {RunKind::Restore, RunScope::EveryProfile, {}, {}, 1},
         {},
         ""},
        {"the policy before the rights",
         [&](fake::FakePlatform& fake) {
             fake.system_account = true;
             policy("PreviewOnly", 1)(fake);
         },
         {RunKind::Clean, {}, registry, registry},
         RefusalReason::Policy,
         "only previews"},
        {"a backup folder the user's name cannot name",
         [](fake::FakePlatform& fake) {
             fake.user = "..";
             fake.set_value(RegistryRoot::LocalMachine, kPolicyKey, "BackupFolder",
                            fake::reg_sz("\\\\srv\\vesk"));
         },
         {RunKind::Clean, {}, registry, registry},
         RefusalReason::NotSetUp,
         "the user name \"..\" cannot name a folder"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        fake::FakePlatform fake;
        each.set_up(fake);
        const auto answer = check_run(each.request, read_policy(fake, fake), fake);
        if (each.refused) {
            ASSERT_TRUE(std::holds_alternative<RunRefusal>(answer));
            EXPECT_EQ(std::get<RunRefusal>(answer).reason, *each.refused);
            EXPECT_NE(std::get<RunRefusal>(answer).text.find(each.said), std::string::npos)
                << std::get<RunRefusal>(answer).text;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<AllowedRun>(answer));
        const AllowedRun& run = std::get<AllowedRun>(answer);
        std::string left_out;
        for (const std::string_view name : run.left_out()) {
            left_out += (left_out.empty() ? "" : ",") + std::string(name);
        }
        EXPECT_EQ(left_out, each.said);
        EXPECT_EQ(run.request().kind, each.request.kind);
        EXPECT_EQ(run.request().options.access_rights,
                  each.request.options.access_rights && each.said.empty());
    }
}

// Only a run that changes anything keeps backups: the organisation's folder wins, and a run over
// every profile without one keeps them where only administrators may change them.
TEST(RunRequestTest, ARunThatChangesAnythingLearnsWhereItsBackupsGo) {
    const CleaningOptions registry = options_of({&CleaningOptions::registry_settings});
    struct Case {
        const char* what;
        RunKind kind;
        RunScope scope;
        bool organisations_folder;
        std::string folder;
        bool administrators_only;
    };
    const Case cases[] = {
        {"a cleaning", RunKind::Clean, RunScope::OwnProfile, false, "", false},
        {"a cleaning with the organisation's folder", RunKind::Clean, RunScope::OwnProfile, true,
         "\\\\srv\\vesk\\PC1\\alice", false},
        {"a cleaning over every profile", RunKind::Clean, RunScope::EveryProfile, false,
         "C:\\ProgramData\\TOLM\\VESK Cleaning Wizard\\Backups", true},
        {"a restore over every profile", RunKind::Restore, RunScope::EveryProfile, false,
         "C:\\ProgramData\\TOLM\\VESK Cleaning Wizard\\Backups", true},
        {"over every profile with the organisation's folder", RunKind::Clean,
         RunScope::EveryProfile, true, "\\\\srv\\vesk\\PC1\\alice", false},
        {"a preview over every profile", RunKind::Preview, RunScope::EveryProfile, true, "", false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        fake::FakePlatform fake;
        fake.administrator = true;
        fake.computer = "PC1";
        fake.user = "alice";
        if (each.organisations_folder) {
            fake.set_value(RegistryRoot::LocalMachine, kPolicyKey, "BackupFolder",
                           fake::reg_sz("\\\\srv\\vesk"));
        }
        const bool restore = each.kind == RunKind::Restore;
        const RunRequest request{
            each.kind, each.scope, restore ? CleaningOptions{} : registry, {}, restore ? 1 : 0};
        const auto answer = check_run(request, read_policy(fake, fake), fake);
        ASSERT_TRUE(std::holds_alternative<AllowedRun>(answer));
        const BackupHome& home = std::get<AllowedRun>(answer).backups();
        EXPECT_EQ(home.folder, each.folder);
        EXPECT_EQ(home.administrators_only, each.administrators_only);
    }
}

} // namespace
