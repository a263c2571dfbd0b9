// Plans: VeskClean /preview ... /plan:FILE writes what it found, and /apply:FILE cleans exactly
// that, as it was - or refuses the plan and does nothing.
#include "console/console_run.h"
#include "console/plan_file.h"
#include "engine/policy.h"
#include "log/cleaning_log.h"
#include "log_lines.h"
#include "operation_world.h"
#include "operations/registry_settings.h"
#include "recording_streams.h"
#include "startup/host_discovery.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;
using Lines = std::vector<std::string>;

constexpr const char* kPlanFile = "D:\\Plans\\vesk.plan";

class PlanTest : public testing::Test, protected InterposedWorld {
protected:
    PlanTest() {
        fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path",
                       fake::reg_sz(kHostFolder), platform::RegistryView::Wow64_32);
        fake.add_dir("D:\\Plans");
        for (const char* name : {"a.$$$", "b.$$$", "c.$$$", "d.$$$"}) {
            fake.add_file(host(name), name);
        }
        fake.set_value(RegistryRoot::CurrentUser, key("VeskMain\\Recent\\Deep"), "File",
                       fake::reg_sz("x"));
        fake.add_key(RegistryRoot::CurrentUser, key("VESK 4.1"));
    }
    static std::string host(std::string_view name) {
        return std::string(kHostFolder) + "\\" + std::string(name);
    }
    static std::string key(std::string_view name) {
        return std::string(kSettingsBranch) + "\\" + std::string(name);
    }
    int run(const Lines& arguments) {
        streams = {};
        return run_console(arguments, console_os, streams, stop);
    }
    std::string written_digest() {
        const auto read = read_plan_file(fake.content(kPlanFile));
        const auto* file = std::get_if<PlanFile>(&read);
        return file ? file->sha256 : std::string();
    }
    bool logged(std::string_view label, const std::string& path, std::string_view reason) {
        const Lines lines = lines_of(log_text());
        return std::ranges::find(lines, pad_to_zone(label) + path + " (" + std::string(reason) +
                                            ")") != lines.end();
    }

    RecordingStreams streams;
    platform::Platform console_os = fake.os();
    std::atomic<bool> stop = false;
};

TEST_F(PlanTest, AnAppliedPlanTakesWhatItListsAsItWasAndNothingElse) {
    ASSERT_EQ(run({"/preview", "/temp", "/registry", "/plan:" + std::string(kPlanFile)}), kExitDone)
        << testing::PrintToString(streams.errors);
    const std::string digest = written_digest();
    ASSERT_EQ(digest.size(), 64u);
    EXPECT_NE(std::ranges::find(streams.output, "Its SHA-256: " + digest), streams.output.end());
    EXPECT_TRUE(fake.exists(host("a.$$$"))) << "a preview changes nothing";

    // Since the preview: a file appeared, one was written to, one went; a deep value changed.
    fake.add_file(host("new.$$$"), "new");
    fake.entry(host("b.$$$"))->written = 42;
    fake.erase(host("c.$$$"));
    fake.set_value(RegistryRoot::CurrentUser, key("VeskMain\\Recent\\Deep"), "File",
                   fake::reg_sz("y"));

    // A keep list still holds for what the plan lists.
    ASSERT_EQ(run({"/apply:" + std::string(kPlanFile), "/EXPECT:" + digest, "/keep:*\\d.$$$"}),
              kExitDone)
        << testing::PrintToString(streams.errors) << log_text();
    EXPECT_FALSE(fake.exists(host("a.$$$")));
    EXPECT_FALSE(fake.key(RegistryRoot::CurrentUser, key("VESK 4.1")));
    EXPECT_TRUE(fake.exists(host("new.$$$")));
    EXPECT_TRUE(fake.exists(host("b.$$$")));
    EXPECT_TRUE(fake.key(RegistryRoot::CurrentUser, key("VeskMain")));
    EXPECT_TRUE(logged("Kept File:", host("new.$$$"), "not in the plan")) << log_text();
    EXPECT_TRUE(logged("Kept File:", host("b.$$$"), "changed since the preview"));
    EXPECT_TRUE(
        logged("Kept Key:", "HKEY_CURRENT_USER\\" + key("VeskMain"), "changed since the preview"));
    EXPECT_TRUE(logged("Not found File:", host("c.$$$"), "gone since the preview"));
    EXPECT_TRUE(logged("Kept File:", host("d.$$$"), "on a keep list"));
    EXPECT_FALSE(logged("Not found File:", host("d.$$$"), "gone since the preview"));
    EXPECT_TRUE(fake.exists(host("Cleaning1.backup\\registry.reg"))) << "backed up as ever";
}

TEST_F(PlanTest, APlanForAnotherPlaceOrChangedOrNotTheApprovedOneIsRefusedAndNothingIsDone) {
    ASSERT_EQ(run({"/preview", "/temp", "/plan:" + std::string(kPlanFile)}), kExitDone);
    const std::string plan = fake.content(kPlanFile);
    EXPECT_EQ(run({"/preview", "/temp", "/plan:" + std::string(kPlanFile)}), kExitWrongCommandLine)
        << "a plan is never written over";
    EXPECT_EQ(run({"/preview", "/temp", "/plan:vesk.plan"}), kExitWrongCommandLine);

    const auto refused = [&](const Lines& arguments, const std::string& why) {
        const Lines before = fake.whole_world();
        EXPECT_EQ(run(arguments), kExitWrongCommandLine) << why;
        ASSERT_FALSE(streams.errors.empty()) << why;
        EXPECT_NE(streams.errors.front().find(why), std::string::npos) << streams.errors.front();
        EXPECT_EQ(fake.whole_world(), before) << why;
    };
    const std::string apply = "/apply:" + std::string(kPlanFile);
    refused({apply, "/expect:" + std::string(64, '0')}, "not the one expected");
    fake.user = "bob";
    refused({apply}, "made for another user, alice");
    fake.user = "alice";
    fake.computer = "PC2";
    refused({apply}, "made on another computer, PC1");
    fake.computer = "PC1";
    fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path", fake::reg_sz("E:\\Other"),
                   platform::RegistryView::Wow64_32);
    fake.add_dir("E:\\Other");
    refused({apply}, "made for another host folder, D:\\Host");
    fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path", fake::reg_sz(kHostFolder),
                   platform::RegistryView::Wow64_32);

    std::string altered = plan;
    altered.replace(altered.find("a.$$$"), 5, "A.$$$");
    fake.add_file("D:\\Plans\\altered.plan", altered);
    refused({"/apply:D:\\Plans\\altered.plan"}, "changed after it was written");

    // Writing a plan is a preview; applying one, a cleaning.
    fake.set_value(RegistryRoot::CurrentUser, kPolicyKey, "PreviewOnly", fake::reg_dword(1));
    EXPECT_EQ(run({apply}), kExitPolicy);
    EXPECT_EQ(run({"/preview", "/temp", "/plan:D:\\Plans\\second.plan"}), kExitDone);
}

TEST(PlanFileTest, OnlyAWholeUnchangedPlanIsRead) {
    Plan plan;
    plan.header = {"PC1", "alice", "D:\\Host \"x\"", true, {"temp", "registry"}};
    plan.add("file", "D:\\Host\\a.$$$", "size 1, written 2");
    plan.add("key", "HKEY_USERS\\S-1-5-21-1\\Software\\K", "tree 00");
    const std::string text = plan_file_text(plan).text;
    const auto read = read_plan_file(text);
    ASSERT_TRUE(std::holds_alternative<PlanFile>(read)) << std::get<std::string>(read);
    const PlanFile& file = std::get<PlanFile>(read);
    EXPECT_EQ(file.sha256, plan_file_text(plan).sha256);
    EXPECT_EQ(file.plan.header.host, plan.header.host);
    EXPECT_TRUE(file.plan.header.every_profile);
    EXPECT_EQ(file.plan.header.options, plan.header.options);
    ASSERT_EQ(file.plan.items().size(), 2u);
    EXPECT_EQ(file.plan.items()[1].path, "HKEY_USERS\\S-1-5-21-1\\Software\\K");
    EXPECT_EQ(file.plan.items()[0].identity, "size 1, written 2");

    const std::string end = text.substr(text.rfind("{\"type\":\"end\""));
    const std::string body = text.substr(0, text.size() - end.size());
    for (const std::string& wrong :
         {std::string(), text.substr(0, text.size() - 2), body, text.substr(1),
          body + "{\"type\":\"item\"}\r\n" + end, text + text}) {
        EXPECT_TRUE(std::holds_alternative<std::string>(read_plan_file(wrong))) << wrong;
    }
}

} // namespace
