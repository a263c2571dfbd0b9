// The console program against the in-memory Windows: its command line, every exit code, what
// it prints as text, as JSON and when quiet, and the lock it shares with the window.
#include "console/command_line.h"
#include "console/console_run.h"
#include "console/detection.h"
#include "console/json.h"
#include "engine/marker.h"
#include "engine/policy.h"
#include "engine/session.h"
#include "log/cleaning_log.h"
#include "operation_world.h"
#include "operations/registry_settings.h"
#include "platform/registry_values.h"
#include "platform/text.h"
#include "recording_streams.h"
#include "startup/host_discovery.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace {

using platform::RegistryRoot;
using Lines = std::vector<std::string>;

TEST(CommandLineTest, SwitchesInAnyCaseWithEitherPrefixAddUp) {
    const ParsedCommandLine parsed =
        parse_command_line({"-Preview", "/REGISTRY", "/temp", "-json"});
    ASSERT_TRUE(parsed.request) << parsed.error;
    const ConsoleRequest& request = *parsed.request;
    EXPECT_EQ(request.run.kind, RunKind::Preview);
    EXPECT_TRUE(request.json);
    EXPECT_FALSE(request.quiet);
    EXPECT_TRUE(request.run.options.registry_settings);
    EXPECT_TRUE(request.run.options.temporary_files);
    EXPECT_FALSE(request.run.options.configuration_settings);
    EXPECT_FALSE(request.run.options.access_rights);
    EXPECT_EQ(request.run.scope, RunScope::OwnProfile);
    EXPECT_EQ(parse_command_line({"/restore:2", "-AllUsers"}).request->run.scope,
              RunScope::EveryProfile);
}

TEST(CommandLineTest, StandardIsTheWindowsFirstChoiceAndAllIsEveryOption) {
    const CleaningOptions standard = parse_command_line({"/standard"}).request->run.options;
    EXPECT_TRUE(standard.temporary_files && standard.project_folders);
    EXPECT_FALSE(standard.registry_settings || standard.configuration_settings ||
                 standard.toolbar_settings || standard.opengl_settings || standard.access_rights ||
                 standard.store_program_files || standard.store_program_data);
    const CleaningOptions all = parse_command_line({"/all", "/quiet"}).request->run.options;
    EXPECT_TRUE(all.registry_settings && all.configuration_settings && all.temporary_files &&
                all.project_folders && all.toolbar_settings && all.opengl_settings &&
                all.access_rights && all.store_program_files && all.store_program_data);
    const CleaningOptions stores =
        parse_command_line({"/store-PF", "/store-pd"}).request->run.options;
    EXPECT_TRUE(stores.store_program_files && stores.store_program_data);
}

TEST(CommandLineTest, RestoreTakesALogNumberAndNoOption) {
    const ParsedCommandLine parsed = parse_command_line({"-RESTORE:12", "/json"});
    ASSERT_TRUE(parsed.request) << parsed.error;
    EXPECT_EQ(parsed.request->run.kind, RunKind::Restore);
    EXPECT_EQ(parsed.request->run.restore_number, 12);
    EXPECT_TRUE(parsed.request->json);
    for (const Lines& line :
         {Lines{"/restore:0"}, Lines{"/restore:012"}, Lines{"/restore:32768"}, Lines{"/restore:"},
          Lines{"/restore:1x"}, Lines{"/restore:3", "/temp"}, Lines{"/restore:3", "/preview"},
          Lines{"/restore:5", "/restore:1"}}) {
        EXPECT_FALSE(parse_command_line(line).request) << testing::PrintToString(line);
    }
    EXPECT_EQ(parse_command_line({"/restore:32767"}).request->run.restore_number, 32767);
    EXPECT_EQ(parse_command_line({"/restore:5", "-RESTORE:5"}).request->run.restore_number, 5);
    EXPECT_EQ(parse_command_line({"/restore:5", "/restore:1"}).error,
              "\"/restore:1\" after /restore:5: a restore puts back one cleaning");
    for (const std::string_view wrong : {"/restore", "-Restore:0", "/restore:", "/restore:x"}) {
        EXPECT_EQ(parse_command_line({std::string(wrong)}).error,
                  "\"" + std::string(wrong) +
                      "\" names no cleaning: write /restore:N, where N is the number of the "
                      "cleaning log (1 to 32767)");
    }
}

TEST(CommandLineTest, WrongLinesSayWhy) {
    for (const Lines& line :
         {Lines{}, Lines{"/preview"}, Lines{"/json", "/quiet"}, Lines{"/temp", "x"},
          Lines{"/temp", "/tmp"}, Lines{"/temp", "/"}, Lines{"/temp", ""}, Lines{"temp"},
          Lines{"//temp"}, Lines{"/store"}}) {
        const ParsedCommandLine parsed = parse_command_line(line);
        EXPECT_FALSE(parsed.request) << testing::PrintToString(line);
        EXPECT_FALSE(parsed.error.empty());
    }
    EXPECT_EQ(parse_command_line({"/all", "/?"}).request->mode, ConsoleMode::Help);
}

TEST(CommandLineTest, KeepPatternsAddUpAsWrittenAndGoWithCleaningsAndPreviewsOnly) {
    const ParsedCommandLine parsed =
        parse_command_line({"/temp", "-KEEP:*\\VeskFont.ini", "/keep:D:\\Mine\\*"});
    ASSERT_TRUE(parsed.request) << parsed.error;
    EXPECT_EQ(parsed.request->run.keep, (Lines{"*\\VeskFont.ini", "D:\\Mine\\*"}));
    EXPECT_EQ(parse_command_line({"/detect", "/temp", "/keep:x"}).request->run.keep, Lines{"x"});
    for (const Lines& line : {Lines{"/temp", "/keep:"}, Lines{"/restore:1", "/keep:x"},
                              Lines{"/policy", "/keep:x"}, Lines{"/keep:x"}}) {
        EXPECT_FALSE(parse_command_line(line).request) << testing::PrintToString(line);
    }
}

TEST(JsonTest, QuotesBackslashesAndControlCharactersAreEscapedAndUtf8Kept) {
    EXPECT_EQ(json_string("C:\\a \"b\"\r\n\t\x01 Данные ☃"),
              "\"C:\\\\a \\\"b\\\"\\r\\n\\t\\u0001 Данные ☃\"");
    EXPECT_EQ(JsonObject().add("n", "v").add("count", 3u).add_null("log").text(),
              "{\"n\":\"v\",\"count\":3,\"log\":null}");
    EXPECT_EQ(JsonObject().add_list("none", {}).add_list("two", {"a\"", "b"}).text(),
              "{\"none\":[],\"two\":[\"a\\\"\",\"b\"]}");
}

// Whether text is whole UTF-8: every sequence complete, nothing cut.
bool is_utf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (at + length > text.size()) {
            return false;
        }
        for (std::size_t next = at + 1; next < at + length; ++next) {
            if ((static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

class ConsoleTest : public testing::Test, protected InterposedWorld {
protected:
    ConsoleTest() {
        fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path",
                       fake::reg_sz(kHostFolder), platform::RegistryView::Wow64_32);
        fake.add_file(host("a.$$$"), "temporary");
        fake.add_file(host("Main.tlb"), "toolbar");
        fake.add_file(host("Данные.$$$"), "temporary");
    }
    static std::string host(std::string_view name) {
        return std::string(kHostFolder) + "\\" + std::string(name);
    }
    int run(const Lines& arguments) { return run_console(arguments, console_os, streams, stop); }

    RecordingStreams streams;
    platform::Platform console_os = fake.os();
    std::atomic<bool> stop = false;
};

TEST_F(ConsoleTest, APreviewListsAndChangesNothingThenTheCleaningDoesJustThat) {
    const std::vector<std::string> before = fake.whole_world();
    EXPECT_EQ(run({"/preview", "/temp", "/toolbar"}), kExitDone);
    EXPECT_EQ(fake.whole_world(), before);
    EXPECT_EQ(streams.output,
              (Lines{"Would delete " + host("a.$$$"), "Would delete " + host("Данные.$$$"),
                     "Would delete " + host("Main.tlb"),
                     "3 items would be cleaned; nothing was changed."}));
    EXPECT_TRUE(streams.errors.empty());

    streams.output.clear();
    EXPECT_EQ(run({"/temp", "/toolbar"}), kExitDone);
    EXPECT_EQ(streams.output,
              (Lines{"Deleted File: " + host("a.$$$"), "Deleted File: " + host("Данные.$$$"),
                     "Deleted File: " + host("Main.tlb"),
                     "Cleaning finished. Log file has been written to: " + host("Cleaning1.log")}));
    EXPECT_EQ(lines_of(log_text()), Lines(streams.output.begin(), streams.output.end() - 1));
    EXPECT_EQ(fake.tree(kHostFolder), Lines{"cleaning1.log"});
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_FALSE(fake.cleaning_locked);
}

TEST_F(ConsoleTest, RefusalsAndTrappedFailuresEndWithOneAndGoToStandardError) {
    fake.entry(host("Main.tlb"))->attributes = platform::attr::kReadOnly;
    files.before = fail_on("delete_file", host("a.$$$"));
    EXPECT_EQ(run({"/temp", "/toolbar"}), kExitSomethingLeft);
    EXPECT_EQ(
        streams.output,
        (Lines{"Error in MM_DeleteFiles: The device is not ready.",
               "Could not delete File:      " + host("Main.tlb") + " (" + fake::kAccessDenied + ")",
               "Some items could not be cleaned; the log lists them.",
               "Cleaning finished. Log file has been written to: " + host("Cleaning1.log")}));
    EXPECT_EQ(streams.errors, Lines{"Error in MM_DeleteTempFiles: The device is not ready."});
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(ConsoleTest, JsonGivesOneObjectAnItemAndASummary) {
    fake.entry(host("Main.tlb"))->attributes = platform::attr::kReadOnly;
    EXPECT_EQ(run({"/standard", "/toolbar", "/json"}), kExitSomethingLeft);
    EXPECT_EQ(
        streams.output,
        (Lines{
            "{\"type\":\"item\",\"outcome\":\"deleted\",\"kind\":\"file\",\"path\":\"D:"
            "\\\\Host\\\\a.$$$\"}",
            "{\"type\":\"item\",\"outcome\":\"deleted\",\"kind\":\"file\",\"path\":\"D:"
            "\\\\Host\\\\Данные.$$$\"}",
            "{\"type\":\"item\",\"outcome\":\"refused\",\"kind\":\"file\",\"path\":\"D:"
            "\\\\Host\\\\Main.tlb\",\"reason\":\"Access is denied.\"}",
            "{\"type\":\"summary\",\"mode\":\"clean\",\"done\":2,\"previewed\":0,"
            "\"refused\":1,\"missing\":0,\"kept\":0,\"failures\":0,\"stopped\":false,\"log\":\"D:"
            "\\\\Host\\\\Cleaning1."
            "log\",\"backup\":null,\"exit_code\":1}"}));
}

TEST_F(ConsoleTest, QuietPrintsNothingButErrors) {
    fake.make_uncreatable(kHostFolder);
    EXPECT_EQ(run({"/temp", "/quiet", "/json"}), kExitNoLog);
    EXPECT_TRUE(streams.output.empty());
    EXPECT_EQ(streams.errors,
              (Lines{"No cleaning log could be created in: D:\\Host (Access is denied.)",
                     "Nothing was cleaned."}));
    EXPECT_TRUE(fake.exists(host("a.$$$")));
}

// The window's two texts stay as they are; the console adds what an administrator needs to find
// the fault: the registry value and the pointer file, or the folder and where it came from.
TEST_F(ConsoleTest, HostFolderErrorsNameWhatWasLookedAt) {
    const std::string value = "\"AppData Path\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\TOLM\\VESK 4.0 "
                              "(32-bit view)";
    const auto set_app_data = [&](std::string_view folder) {
        fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path", fake::reg_sz(folder),
                       platform::RegistryView::Wow64_32);
    };
    set_app_data("D:\\Gone");
    EXPECT_EQ(run({"/preview", "/temp"}), kExitNoHostFolder);
    EXPECT_EQ(streams.errors,
              (Lines{"Veskpath not found!",
                     "Looked for the folder \"D:\\Gone\", named by the value " + value + "."}));

    streams = {};
    set_app_data("");
    EXPECT_EQ(run({"/temp"}), kExitNoHostFolder);
    EXPECT_EQ(streams.errors,
              (Lines{"VESK40.DIR not found!", "Looked for the value " + value +
                                                  " and the file C:\\WINDOWS\\VESK40.DIR; "
                                                  "neither is there."}));

    streams = {};
    fake.add_file("C:\\WINDOWS\\VESK40.DIR", "\"E:\\Moved\"\r\n");
    EXPECT_EQ(run({"/temp", "/json"}), kExitNoHostFolder);
    EXPECT_EQ(streams.errors,
              (Lines{"Veskpath not found!", "Looked for the folder \"E:\\Moved\", named by "
                                            "C:\\WINDOWS\\VESK40.DIR."}));
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(fake.exists(host("a.$$$")));
}

TEST_F(ConsoleTest, EveryOtherExitCode) {
    // The fault and where to learn more: the whole usage would scroll it out of a console window.
    EXPECT_EQ(run({"/prevew", "/temp"}), kExitWrongCommandLine);
    EXPECT_EQ(streams.errors, (Lines{"VeskClean: unknown switch: \"/prevew\"",
                                     "VeskClean /? tells how to call it."}));
    EXPECT_TRUE(streams.output.empty());

    streams = {};
    EXPECT_EQ(run({"/restore:5", "/restore:1"}), kExitWrongCommandLine) << "neither is dropped";
    EXPECT_TRUE(streams.output.empty());

    streams = {};
    EXPECT_EQ(run({"/?"}), kExitDone);
    EXPECT_EQ(streams.output.front(), "Cleans the VESK suite's per-user state, as the VESK "
                                      "Cleaning Wizard does, without a window.");

    streams = {};
    fake.system_account = true;
    EXPECT_EQ(run({"/all"}), kExitSystemAccount);
    ASSERT_EQ(streams.errors.size(), 1u);
    EXPECT_NE(streams.errors[0].find(
                  "Run the program in the signed-in user's context, or VeskClean with /allusers"),
              std::string::npos);
    fake.system_account = false;

    streams = {};
    fake.cleaning_locked = true;
    EXPECT_EQ(run({"/all", "/json"}), kExitBusy);
    EXPECT_EQ(streams.errors,
              Lines{"Another cleaning is running. Try again when it has finished."});
    EXPECT_EQ(run({"/restore:1"}), kExitBusy) << "a restore changes as much as a cleaning";
    EXPECT_EQ(run({"/preview", "/temp"}), kExitDone) << "a preview changes nothing: no lock";
    fake.cleaning_locked = false;

    streams = {};
    fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path", fake::reg_sz("D:\\Gone"),
                   platform::RegistryView::Wow64_32);
    EXPECT_EQ(run({"/all"}), kExitNoHostFolder);
    EXPECT_EQ(streams.errors.front(), "Veskpath not found!");

    streams = {};
    for (int n = 1; n <= kLastLogNumber; ++n) {
        fake.add_file(host("Cleaning" + std::to_string(n) + ".log"));
    }
    fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path", fake::reg_sz(kHostFolder),
                   platform::RegistryView::Wow64_32);
    EXPECT_EQ(run({"/temp"}), kExitNoLog);
    EXPECT_EQ(streams.errors,
              (Lines{"No cleaning log could be created in: D:\\Host", "Nothing was cleaned."}));
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(ConsoleTest, RestorePutsBackWhatACleaningBackedUp) {
    fake.add_file(host("Vesk30.ini"), "[Window]");
    EXPECT_EQ(run({"/settings"}), kExitDone);
    EXPECT_FALSE(fake.exists(host("Vesk30.ini")));
    EXPECT_EQ(streams.output.end()[-2], "Backed up to: " + host("Cleaning1.backup"));

    streams = {};
    EXPECT_EQ(run({"/restore:1", "/json"}), kExitDone);
    EXPECT_EQ(fake.content(host("Vesk30.ini")), "[Window]");
    EXPECT_EQ(
        streams.output,
        (Lines{"{\"type\":\"item\",\"outcome\":\"restored\",\"kind\":\"settings file\","
               "\"path\":\"D:\\\\Host\\\\Vesk30.ini\"}",
               "{\"type\":\"summary\",\"mode\":\"restore\",\"restored\":1,\"left\":0,"
               "\"stopped\":false,\"log\":\"D:\\\\Host\\\\Cleaning2.log\",\"exit_code\":0}"}));

    streams = {};
    EXPECT_EQ(run({"/restore:1"}), kExitSomethingLeft) << "its place is taken now";
    EXPECT_EQ(streams.output.front(),
              "Not restored File:          " + host("Vesk30.ini") + " (it exists again)");

    streams = {};
    EXPECT_EQ(run({"/restore:9"}), kExitWrongCommandLine);
    EXPECT_EQ(streams.errors, (Lines{"The backup cannot be restored: there is no backup " +
                                         host("Cleaning9.backup"),
                                     "Nothing was changed."}));
}

// Ctrl+C and the like: the run ends after the item in hand, which is logged, and says so.
TEST_F(ConsoleTest, AStopEndsACleaningOrARestoreAfterTheItemInHandWithSeven) {
    files.before = [this](std::string_view call, std::string_view path) {
        stop = stop || (call == "delete_file" && path == host("a.$$$")) ||
               (call == "create_binary_file" && path == host("Pomb30.ini"));
    };
    EXPECT_EQ(run({"/temp", "/toolbar", "/json"}), kExitStopped);
    EXPECT_EQ(streams.output.back(),
              "{\"type\":\"summary\",\"mode\":\"clean\",\"done\":1,\"previewed\":0,"
              "\"refused\":0,\"missing\":0,\"kept\":0,\"failures\":0,\"stopped\":true,\"log\":\"D:"
              "\\\\Host"
              "\\\\Cleaning1.log\",\"backup\":null,\"exit_code\":7}");
    EXPECT_EQ(lines_of(log_text()),
              (Lines{"Deleted File: " + host("a.$$$"), "Cleaning stopped by the user."}));
    EXPECT_TRUE(fake.exists(host("Данные.$$$")));
    EXPECT_TRUE(fake.exists(host("Main.tlb")));
    EXPECT_FALSE(fake.cleaning_locked);

    stop = false;
    fake.add_file(host("Pomb30.ini"), "[Map]");
    fake.add_file(host("Vesk30.ini"), "[Window]");
    ASSERT_EQ(run({"/settings"}), kExitDone);
    streams = {};
    EXPECT_EQ(run({"/restore:2"}), kExitStopped);
    EXPECT_EQ(lines_of(log_text(3)), (Lines{"Restored File:              " + host("Pomb30.ini"),
                                            "Cleaning stopped by the user."}));
    EXPECT_FALSE(fake.exists(host("Vesk30.ini")));
    EXPECT_EQ(streams.output.back(),
              "The restore was stopped. Log file has been written to: " + host("Cleaning3.log"));
    EXPECT_FALSE(fake.cleaning_locked);
}

// The window and the console program share one lock: while either cleans, the other does not.
TEST_F(ConsoleTest, TheWindowWarnsOnceAndDoesNothingWhileAnotherCleaningRuns) {
    FormWorld window;
    window.fake.cleaning_locked = true;
    window.fake.add_file(std::string(kHostFolder) + "\\a.$$$");
    window.form.click(ControlId::Command1);
    ASSERT_EQ(window.fake.boxes.size(), 2u);
    EXPECT_EQ(window.fake.boxes[1].text,
              "Another cleaning is running. Try again when it has finished.");
    EXPECT_EQ(window.fake.boxes[1].style, platform::kMbWarning);
    EXPECT_TRUE(window.fake.exists(std::string(kHostFolder) + "\\a.$$$"));
    EXPECT_FALSE(window.fake.exists(std::string(kHostFolder) + "\\Cleaning1.log"));
    EXPECT_EQ(window.form.control(ControlId::Command1).caption, "Go!");
    EXPECT_EQ(window.form.control(Form1::Check1(2)).value, 1);

    window.fake.cleaning_locked = false;
    bool locked_while_shown = false;
    window.fake.on_message_box = [&](const fake::MessageBox& box) {
        if (box.style == platform::kMbInformation) {
            locked_while_shown = window.fake.cleaning_locked;
        }
    };
    window.form.click(ControlId::Command1);
    EXPECT_TRUE(locked_while_shown) << "held until the log is closed";
    EXPECT_FALSE(window.fake.cleaning_locked);
}

// A session holds the lock for its run and closes the run's log before it lets the lock go.
TEST(CleaningSessionTest, HoldsTheLockForItsRunAndClosesTheLogBeforeLettingGo) {
    World world;
    {
        const CleaningSession session(world.fake, world.log);
        ASSERT_TRUE(session.held());
        CleaningLog other_log;
        EXPECT_FALSE(CleaningSession(world.fake, other_log).held()) << "one cleaning at a time";
        world.open_log();
        EXPECT_TRUE(world.fake.cleaning_locked);
        EXPECT_EQ(world.fake.locked_profiles, std::set{platform::fold_case(world.fake.user_sid)});
    }
    EXPECT_FALSE(world.log.is_open());
    EXPECT_FALSE(world.fake.cleaning_locked);
    EXPECT_TRUE(world.fake.locked_profiles.empty());

    // A run in another session holds the user's profile: this session holds nothing either.
    const auto other_session = world.fake.lock_profile(world.fake.user_sid);
    EXPECT_FALSE(CleaningSession(world.fake, world.log).held());
    EXPECT_FALSE(world.fake.cleaning_locked);
    EXPECT_TRUE(CleaningSession(world.fake, world.log, SessionProfiles::Each).held())
        << "a run over every profile takes each one's as it comes to it";
}

// ---- The organisation's policy, /detect and the marker.

class ConsolePolicyTest : public ConsoleTest {
protected:
    void set_policy(RegistryRoot root, std::string_view name, platform::RegistryValue value) {
        fake.set_value(root, kPolicyKey, name, std::move(value));
    }
    std::string marker(std::string_view name) {
        return fake.value_of(RegistryRoot::CurrentUser, kMarkerKey, name);
    }
};

TEST_F(ConsolePolicyTest, AForbiddenOptionOrACleaningUnderPreviewOnlyIsRefusedWithNine) {
    fake.add_file(host("Vesk30.ini"), "[Window]");
    set_policy(RegistryRoot::LocalMachine, "settings", fake::reg_dword(0));
    const std::vector<std::string> before = fake.whole_world();

    EXPECT_EQ(run({"/temp", "-Settings"}), kExitPolicy);
    EXPECT_EQ(streams.errors, Lines{"VeskClean: your organisation's policy forbids /settings "
                                    "(settings = 0 in HKEY_LOCAL_MACHINE\\Software\\Policies\\TOLM"
                                    "\\VESK Cleaning Wizard)."});
    EXPECT_TRUE(streams.output.empty());
    EXPECT_EQ(run({"/preview", "/settings", "/json"}), kExitPolicy);
    EXPECT_TRUE(streams.output.back().starts_with("{\"type\":\"summary\",\"mode\":\"preview\","));
    EXPECT_NE(streams.output.back().find("\"error\":\"VeskClean: your organisation's policy "
                                         "forbids /settings"),
              std::string::npos);
    EXPECT_EQ(fake.whole_world(), before);

    // /all means the allowed ones among its options.
    streams = {};
    EXPECT_EQ(run({"/all"}), kExitDone);
    EXPECT_TRUE(fake.exists(host("Vesk30.ini")));
    EXPECT_FALSE(fake.exists(host("a.$$$")));

    // /standard when both its options are forbidden: nothing left to run.
    set_policy(RegistryRoot::CurrentUser, "temp", fake::reg_dword(0));
    set_policy(RegistryRoot::CurrentUser, "projects", fake::reg_dword(0));
    streams = {};
    EXPECT_EQ(run({"/standard"}), kExitPolicy);
    EXPECT_EQ(streams.errors,
              Lines{"VeskClean: your organisation's policy forbids every option asked for, /temp "
                    "(temp = 0 in HKEY_CURRENT_USER\\Software\\Policies\\TOLM\\VESK Cleaning "
                    "Wizard)."});

    // Previews only: no cleaning, no restore; previews and detection go on.
    set_policy(RegistryRoot::CurrentUser, "PreviewOnly", fake::reg_dword(1));
    fake.add_file(host("Main.tlb"), "toolbar");
    const std::vector<std::string> previews_only = fake.whole_world();
    for (const Lines& line : {Lines{"/toolbar"}, Lines{"/restore:1"}}) {
        streams = {};
        EXPECT_EQ(run(line), kExitPolicy) << line[0];
        EXPECT_EQ(streams.errors,
                  Lines{"VeskClean: Your organisation allows only previews here: nothing may be "
                        "cleaned or restored (PreviewOnly = 1 in HKEY_CURRENT_USER\\Software\\"
                        "Policies\\TOLM\\VESK Cleaning Wizard)."});
    }
    EXPECT_EQ(run({"/preview", "/toolbar"}), kExitDone);
    EXPECT_EQ(run({"/detect", "/toolbar"}), kExitSomethingLeft);
    EXPECT_EQ(fake.whole_world(), previews_only);
    EXPECT_FALSE(fake.cleaning_locked);
}

TEST_F(ConsolePolicyTest, PolicyShowsEachSettingWhereItComesFromAndWhatItIgnored) {
    set_policy(RegistryRoot::LocalMachine, "toolbar", fake::reg_dword(0));
    set_policy(RegistryRoot::LocalMachine, "BackupFolder", fake::reg_expand_sz("\\\\srv\\vesk"));
    set_policy(RegistryRoot::CurrentUser, "toolbar", fake::reg_dword(1));
    set_policy(RegistryRoot::CurrentUser, "rights", fake::reg_dword(0));
    set_policy(RegistryRoot::CurrentUser, "PreviewOnly", fake::reg_sz("1"));
    // The keep lists of both add up.
    set_policy(RegistryRoot::LocalMachine, "Keep", platform::texts_value({"*\\VeskFont.ini"}));
    set_policy(RegistryRoot::CurrentUser, "keep", platform::texts_value({"D:\\Mine\\*"}));

    EXPECT_EQ(run({"/POLICY"}), kExitDone);

    const std::string machine =
        "HKEY_LOCAL_MACHINE\\Software\\Policies\\TOLM\\VESK Cleaning Wizard";
    const std::string user = "HKEY_CURRENT_USER\\Software\\Policies\\TOLM\\VESK Cleaning Wizard";
    EXPECT_EQ(
        streams.output,
        (Lines{"The organisation's policy, read from " + machine + " (machine), then from " + user +
                   " (user); a value the machine sets wins.",
               "registry      default  allowed", "settings      default  allowed",
               "temp          default  allowed", "projects      default  allowed",
               "toolbar       machine  forbidden", "opengl        default  allowed",
               "rights        user     forbidden", "store-pf      default  allowed",
               "store-pd      default  allowed", "PreviewOnly   default  off: cleaning allowed",
               "BackupFolder  machine  \\\\srv\\vesk (this user's backups: "
               "\\\\srv\\vesk\\PC1\\alice)",
               "Keep          machine  *\\VeskFont.ini", "Keep          user     D:\\Mine\\*",
               "Taken as absent: PreviewOnly in " + user + " (a REG_SZ, not a REG_DWORD)"}));
    EXPECT_TRUE(streams.errors.empty());

    // For inventory: the same, one object a setting, then one for each value not taken.
    streams = {};
    EXPECT_EQ(run({"/policy", "-JSON"}), kExitDone);
    const auto setting = [](std::string_view name, std::string_view value, std::string_view source,
                            std::string_view effect) {
        return "{\"type\":\"setting\",\"name\":\"" + std::string(name) +
               "\",\"value\":" + std::string(value) + ",\"source\":\"" + std::string(source) +
               "\",\"taken\":" + (source == "default" ? "false" : "true") + "," +
               std::string(effect) + "}";
    };
    const std::string allowed = "\"allowed\":true";
    EXPECT_EQ(streams.output,
              (Lines{setting("registry", "null", "default", allowed),
                     setting("settings", "null", "default", allowed),
                     setting("temp", "null", "default", allowed),
                     setting("projects", "null", "default", allowed),
                     setting("toolbar", "0", "machine", "\"allowed\":false"),
                     setting("opengl", "null", "default", allowed),
                     setting("rights", "0", "user", "\"allowed\":false"),
                     setting("store-pf", "null", "default", allowed),
                     setting("store-pd", "null", "default", allowed),
                     setting("PreviewOnly", "null", "default", "\"previews_only\":false"),
                     setting("BackupFolder", "\"\\\\\\\\srv\\\\vesk\"", "machine",
                             "\"backups\":\"\\\\\\\\srv\\\\vesk\\\\PC1\\\\alice\""),
                     "{\"type\":\"keep\",\"pattern\":\"*\\\\VeskFont.ini\",\"source\":\"machine\"}",
                     "{\"type\":\"keep\",\"pattern\":\"D:\\\\Mine\\\\*\",\"source\":\"user\"}",
                     "{\"type\":\"ignored\",\"name\":\"PreviewOnly\",\"source\":\"user\","
                     "\"taken\":false,\"why\":\"a REG_SZ, not a REG_DWORD\"}"}));

    for (const Lines& wrong :
         {Lines{"/policy", "/temp"}, Lines{"/policy", "/quiet"}, Lines{"/policy", "/allusers"},
          Lines{"/policy", "/detect"}, Lines{"/policy", "/keep:x"}}) {
        EXPECT_EQ(run(wrong), kExitWrongCommandLine) << wrong[1];
    }
}

// Where the backups go comes out as a folder, null beside the log, or why there is none.
TEST_F(ConsolePolicyTest, PolicyAsJsonSaysWhereThisUsersBackupsGo) {
    const auto backup_folder_line = [&]() {
        streams = {};
        EXPECT_EQ(run({"/policy", "/json"}), kExitDone);
        return streams.output.at(kOptionTable.size() + 1);
    };
    EXPECT_EQ(backup_folder_line(),
              "{\"type\":\"setting\",\"name\":\"BackupFolder\",\"value\":null,\"source\":"
              "\"default\",\"taken\":false,\"backups\":null}");
    set_policy(RegistryRoot::CurrentUser, "PreviewOnly", fake::reg_dword(7));
    set_policy(RegistryRoot::CurrentUser, "BackupFolder", fake::reg_sz("E:\\Backups"));
    fake.user = "..";
    EXPECT_EQ(backup_folder_line(),
              "{\"type\":\"setting\",\"name\":\"BackupFolder\",\"value\":\"E:\\\\Backups\","
              "\"source\":\"user\",\"taken\":true,\"backups\":null,\"error\":\"the user name "
              "\\\"..\\\" cannot name a folder\"}");
    EXPECT_EQ(streams.output.at(kOptionTable.size()),
              "{\"type\":\"setting\",\"name\":\"PreviewOnly\",\"value\":7,\"source\":\"user\","
              "\"taken\":true,\"previews_only\":true}");
}

// /all and /standard run what the policy allows; every output names what it left out, where a
// reader of that output looks: before the closing line, on /detect's one line ahead of any
// failure (whose text may be cut), in the JSON summary.
TEST_F(ConsolePolicyTest, WhatThePolicyLeftOutOfAllOrStandardIsSaidInEveryOutput) {
    set_policy(RegistryRoot::LocalMachine, "toolbar", fake::reg_dword(0));
    set_policy(RegistryRoot::CurrentUser, "rights", fake::reg_dword(0));
    set_policy(RegistryRoot::CurrentUser, "projects", fake::reg_dword(0));
    const std::string note = "Left out by your organisation's policy: /projects, /toolbar, /rights";
    const std::string would = "Would delete " + host("a.$$$");
    struct Case {
        Lines arguments;
        int exit_code;
        Lines output;
    };
    const Case cases[] = {
        {{"/preview", "/all"},
         kExitDone,
         {would, "Would delete " + host("Данные.$$$"), note,
          "2 items would be cleaned; nothing was changed."}},
        {{"/preview", "/standard"},
         kExitDone,
         {would, "Would delete " + host("Данные.$$$"),
          "Left out by your organisation's policy: /projects",
          "2 items would be cleaned; nothing was changed."}},
        {{"/preview", "/temp"},
         kExitDone,
         {would, "Would delete " + host("Данные.$$$"),
          "2 items would be cleaned; nothing was changed."}},
        {{"/detect", "/all"},
         kExitSomethingLeft,
         {"2 items would be cleaned: 2 files. " + note + "."}},
        {{"/detect", "/all", "/json"},
         kExitSomethingLeft,
         {"{\"type\":\"summary\",\"mode\":\"detect\",\"cleaned\":2,\"kinds\":{\"file\":2},"
          "\"left\":0,\"failures\":0,\"left_out_by_policy\":[\"projects\",\"toolbar\",\"rights\"],"
          "\"exit_code\":1}"}},
        {{"/detect", "/all", "/quiet"}, kExitSomethingLeft, {}},
    };
    const std::vector<std::string> before = fake.whole_world();
    for (const Case& each : cases) {
        SCOPED_TRACE(testing::PrintToString(each.arguments));
        streams = {};
        EXPECT_EQ(run(each.arguments), each.exit_code);
        EXPECT_EQ(streams.output, each.output);
        EXPECT_TRUE(streams.errors.empty());
    }
    EXPECT_EQ(fake.whole_world(), before);

    // A failure's text comes after the note: cut to the detection's bound, it never takes it.
    files.before = fail_on("list", kHostFolder, std::string(3000, 'x'));
    streams = {};
    EXPECT_EQ(run({"/detect", "/all"}), kExitSomethingLeft);
    ASSERT_EQ(streams.output.size(), 1u);
    EXPECT_TRUE(streams.output[0].starts_with("Nothing to clean. " + note + "; Error in "))
        << streams.output[0].substr(0, 200);
    files.before = nullptr;

    streams = {};
    EXPECT_EQ(run({"/all"}), kExitDone);
    EXPECT_EQ(streams.output.end()[-2], note);
    const Lines logged = lines_of(log_text());
    EXPECT_EQ(std::ranges::count(logged, note), 0) << "the log keeps its format";
    EXPECT_TRUE(fake.exists(host("Main.tlb")));
    streams = {};
    EXPECT_EQ(run({"/preview", "/all", "/json"}), kExitDone);
    EXPECT_NE(streams.output.back().find(
                  ",\"left_out_by_policy\":[\"projects\",\"toolbar\",\"rights\"],"),
              std::string::npos);
}

TEST_F(ConsolePolicyTest, DetectSaysInOneLineWhatWouldBeCleanedAndExitsOneUntilNothingIs) {
    fake.add_key_link(RegistryRoot::CurrentUser, std::string(kSettingsBranch) + "\\VeskMain",
                      "Software\\Elsewhere");
    const std::vector<std::string> before = fake.whole_world();

    EXPECT_EQ(run({"/detect", "/temp", "/toolbar", "/registry"}), kExitSomethingLeft);
    EXPECT_EQ(streams.output, Lines{"3 items would be cleaned: 3 files; 1 item would be left as "
                                    "it is: 1 key."});
    EXPECT_EQ(run({"/detect", "/temp", "/toolbar", "/json"}), kExitSomethingLeft);
    EXPECT_EQ(streams.output.back(),
              "{\"type\":\"summary\",\"mode\":\"detect\",\"cleaned\":3,\"kinds\":{\"file\":3},"
              "\"left\":0,\"failures\":0,\"exit_code\":1}");
    EXPECT_EQ(streams.output.size(), 2u);
    EXPECT_TRUE(streams.errors.empty());
    EXPECT_EQ(fake.whole_world(), before) << "no log, no marker, nothing deleted";

    ASSERT_EQ(run({"/temp", "/toolbar", "/quiet"}), kExitDone);
    streams = {};
    EXPECT_EQ(run({"-DETECT", "/temp", "/toolbar", "/registry"}), kExitDone);
    EXPECT_EQ(streams.output, Lines{"Nothing to clean; 1 item would be left as it is: 1 key."});
    EXPECT_EQ(run({"/detect", "/temp", "/quiet"}), kExitDone);
    EXPECT_EQ(streams.output.size(), 1u);
    EXPECT_TRUE(streams.errors.empty());
}

// What the organisation's list and the command line's name is kept: a project folder for a file
// deep inside it. The preview, the JSON and the log say so; /detect counts only what goes, and
// keeping is no refusal.
TEST_F(ConsolePolicyTest, KeptItemsAreSaidEverywhereCountedByNoneAndRefuseNothing) {
    set_policy(RegistryRoot::LocalMachine, "Keep", platform::texts_value({"*\\MAIN.tlb"}));
    fake.add_file(host("proj.vk$\\sub\\keep.txt"), "mine");
    fake.add_file(host("other.vk$\\x.txt"), "old");
    const Lines options = {"/temp", "/toolbar", "/projects", "/keep:*\\Keep.txt"};
    const auto with = [&](Lines first) {
        first.insert(first.end(), options.begin(), options.end());
        return first;
    };

    EXPECT_EQ(run(with({"/preview"})), kExitDone);
    for (const std::string& line :
         {"Would keep " + host("Main.tlb") + " (on a keep list)",
          "Would keep " + host("proj.vk$") + " (on a keep list)",
          "Would delete " + host("other.vk$"),
          std::string("3 items would be cleaned and 2 kept; nothing was changed.")}) {
        EXPECT_NE(std::ranges::find(streams.output, line), streams.output.end()) << line;
    }
    streams = {};
    EXPECT_EQ(run(with({"/detect"})), kExitSomethingLeft);
    EXPECT_EQ(streams.output, Lines{"3 items would be cleaned: 2 files, 1 project folder."});
    streams = {};
    EXPECT_EQ(run({"/preview", "/toolbar", "/json"}), kExitDone);
    EXPECT_EQ(streams.output.front(),
              "{\"type\":\"item\",\"outcome\":\"kept\",\"kind\":\"file\",\"path\":\"D:\\\\Host\\\\"
              "Main.tlb\",\"reason\":\"on a keep list\"}");

    EXPECT_EQ(run(with({"/quiet"})), kExitDone);
    const Lines logged = lines_of(log_text());
    for (const std::string& line :
         {pad_to_zone("Kept File:") + host("Main.tlb") + " (on a keep list)",
          pad_to_zone("Kept Directory:") + host("proj.vk$") + " (on a keep list)",
          pad_to_zone("Deleted Directory:") + host("other.vk$")}) {
        EXPECT_NE(std::ranges::find(logged, line), logged.end()) << line << "\n" << log_text();
    }
    EXPECT_TRUE(fake.exists(host("Main.tlb")));
    EXPECT_TRUE(fake.exists(host("proj.vk$\\sub\\keep.txt")));
    EXPECT_FALSE(fake.exists(host("other.vk$")));
    EXPECT_FALSE(fake.exists(host("a.$$$")));
}

// A detection tool takes anything on standard error for its own failure and reads at most
// 2,048 bytes: every outcome, the wrong ones too, is one short line of standard output.
TEST_F(ConsolePolicyTest, DetectPutsEveryOutcomeOnOneShortLineOfStandardOutput) {
    const auto one_line = [&](const Lines& arguments, int expected_code) {
        streams = {};
        EXPECT_EQ(run(arguments), expected_code) << arguments.back();
        EXPECT_TRUE(streams.errors.empty()) << arguments.back();
        EXPECT_EQ(streams.output.size(), 1u) << arguments.back();
        EXPECT_LE(streams.output.front().size() + 2, kMostDetectionBytes);
        return streams.output.front();
    };
    EXPECT_EQ(one_line({"/detect", "/nonsense"}, kExitWrongCommandLine),
              "VeskClean: unknown switch: \"/nonsense\"; VeskClean /? tells how to call it.");
    EXPECT_EQ(one_line({"/detect", "/preview", "/temp"}, kExitWrongCommandLine),
              "VeskClean: /detect takes no /preview and no /restore; VeskClean /? tells how to "
              "call it.");
    set_policy(RegistryRoot::LocalMachine, "opengl", fake::reg_dword(0));
    EXPECT_EQ(one_line({"/detect", "/opengl"}, kExitPolicy).substr(0, 52),
              "VeskClean: your organisation's policy forbids /openg");
    // A failure the preview traps: remediation is needed, if only to report it.
    files.before = fail_on("list", kHostFolder, std::string(3000, 'x'));
    const std::string failed = one_line({"/detect", "/toolbar"}, kExitSomethingLeft);
    EXPECT_EQ(failed.substr(0, 50), "Nothing to clean; Error in MM_DeleteTempFiles: xxx");
    EXPECT_TRUE(failed.ends_with("xxx...")) << "cut, and says so";
    // Cut before a character that does not fit whole, wherever the limit falls in it.
    for (const std::string lead : {"", "x", "xx"}) {
        std::string snowmen = lead;
        for (int i = 0; i < 1000; ++i) {
            snowmen += "\u2603";
        }
        files.before = fail_on("list", kHostFolder, snowmen);
        const std::string cut = one_line({"/detect", "/toolbar"}, kExitSomethingLeft);
        EXPECT_TRUE(is_utf8(cut)) << lead.size();
        EXPECT_TRUE(cut.ends_with("\u2603...")) << lead.size();
    }
    fake.system_account = true;
    EXPECT_EQ(one_line({"/detect", "/temp"}, kExitSystemAccount).substr(0, 35),
              "The local system account's profile ");
    fake.system_account = false;
    fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path", fake::reg_sz("D:\\Gone"),
                   platform::RegistryView::Wow64_32);
    EXPECT_EQ(
        one_line({"/detect", "/temp"}, kExitNoHostFolder),
        "Veskpath not found! Looked for the folder \"D:\\Gone\", named by the value \"AppData "
        "Path\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\TOLM\\VESK 4.0 (32-bit view).");
}

// A detection tool reads standard error as the detection's own failure: with /json the summary
// holds whatever went wrong, and with /quiet nothing is said at all.
TEST_F(ConsolePolicyTest, DetectWithJsonOrQuietWritesNothingToStandardErrorWhateverFails) {
    struct Fault {
        const char* label;
        std::function<void()> make;
        int code;
    };
    // Each fault is met earlier in a run than the one before it, which it leaves in place.
    const Fault faults[] = {
        {"trapped", [&] { files.before = fail_on("list", kHostFolder); }, kExitSomethingLeft},
        {"no host folder",
         [&] {
             fake.set_value(RegistryRoot::LocalMachine, kHostKey, "AppData Path",
                            fake::reg_sz("D:\\Gone"), platform::RegistryView::Wow64_32);
         },
         kExitNoHostFolder},
        {"system account", [&] { fake.system_account = true; }, kExitSystemAccount},
        {"policy", [&] { set_policy(RegistryRoot::LocalMachine, "toolbar", fake::reg_dword(0)); },
         kExitPolicy},
    };
    for (const Fault& fault : faults) {
        fault.make();
        streams = {};
        EXPECT_EQ(run({"/detect", "/toolbar", "/json"}), fault.code) << fault.label;
        EXPECT_TRUE(streams.errors.empty()) << fault.label;
        ASSERT_EQ(streams.output.size(), 1u) << fault.label;
        EXPECT_TRUE(streams.output[0].starts_with("{\"type\":\"summary\",\"mode\":\"detect\""))
            << streams.output[0];
        EXPECT_TRUE(
            streams.output[0].ends_with(",\"exit_code\":" + std::to_string(fault.code) + "}"))
            << streams.output[0];

        streams = {};
        EXPECT_EQ(run({"/detect", "/toolbar", "/quiet"}), fault.code) << fault.label;
        EXPECT_TRUE(streams.errors.empty()) << fault.label;
        EXPECT_TRUE(streams.output.empty()) << fault.label;
    }
}

// Nothing ran, and nothing could: said on standard error, and nothing changed.
TEST_F(ConsolePolicyTest, ARunThatCannotBeSetUpDoesNothingAndEndsWithTen) {
    fake.add_file(host("Vesk30.ini"), "[Window]");
    ASSERT_EQ(run({"/settings"}), kExitDone);
    set_policy(RegistryRoot::LocalMachine, "BackupFolder", fake::reg_sz("\\\\srv\\vesk"));
    const std::vector<std::string> before = fake.whole_world();
    struct Names {
        const char* computer;
        const char* user;
        std::string why;
    };
    for (const Names& names :
         {Names{"A\\B", "alice", "the computer name \"A\\B\" cannot name a folder"},
          Names{"PC1", "..", "the user name \"..\" cannot name a folder"}}) {
        fake.computer = names.computer;
        fake.user = names.user;
        streams = {};
        EXPECT_EQ(run({"/temp", "/json"}), kExitNotSetUp) << names.why;
        EXPECT_EQ(streams.errors,
                  (Lines{"The run could not be set up: " + names.why, "Nothing was done."}));
        EXPECT_TRUE(streams.output.back().ends_with(",\"exit_code\":10}")) << streams.output.back();
        EXPECT_EQ(fake.whole_world(), before);
    }

    // The backup that a restore would read cannot be: nothing has run yet.
    fake.computer = "PC1";
    fake.user = "alice";
    fake.make_unreadable(host("Cleaning1.backup\\contents.sha256"));
    set_policy(RegistryRoot::LocalMachine, "BackupFolder", fake::reg_sz(""));
    streams = {};
    EXPECT_EQ(run({"/restore:1"}), kExitNotSetUp);
    EXPECT_EQ(streams.errors,
              (Lines{"The run could not be set up: " + std::string(fake::kAccessDenied),
                     "Nothing was done."}));
    EXPECT_FALSE(fake.exists(host("Cleaning2.log")));
}

// A rule for "cleaned at least once" reads the cleaning's values, which a restore leaves alone.
TEST_F(ConsolePolicyTest, ACleaningAndARestoreEachLeaveTheirOwnMarkerWithTheirExitCode) {
    fake.add_file(host("Vesk30.ini"), "[Window]");
    fake.entry(host("Main.tlb"))->attributes = platform::attr::kReadOnly;
    fake.now = {2025, 12, 31, 23, 5, 9};
    EXPECT_EQ(run({"/settings", "/toolbar"}), kExitSomethingLeft);
    const Lines cleaning = {"2025-12-31T23:05:09Z", "1", host("Cleaning1.log")};
    const auto values = [&](std::string_view run) {
        const std::string last = "Last" + std::string(run);
        return Lines{marker(last + "Time"), marker(last + "ExitCode"), marker(last + "Log")};
    };
    EXPECT_EQ(values("Cleaning"), cleaning);
    EXPECT_EQ(values("Restore"), (Lines{"", "", ""}));
    EXPECT_EQ(marker("Version"), "1.02.0006");

    fake.now = {2026, 1, 2, 3, 4, 5};
    EXPECT_EQ(run({"/restore:1"}), kExitDone);
    EXPECT_EQ(values("Restore"), (Lines{"2026-01-02T03:04:05Z", "0", host("Cleaning2.log")}));
    EXPECT_EQ(values("Cleaning"), cleaning);
    EXPECT_EQ(marker("Version"), "1.02.0006");
}

TEST_F(ConsolePolicyTest, AMarkerThatCannotBeWrittenIsALineInTheLogAndNothingMore) {
    fake.add_file(host("Vesk30.ini"), "[Window]");
    fake.add_key(RegistryRoot::CurrentUser, kMarkerKey).deny_full_access = true;
    const std::string not_written =
        "Could not write Key:        HKEY_CURRENT_USER\\Software\\TOLM\\VESK Cleaning Wizard (";

    EXPECT_EQ(run({"/temp", "/settings"}), kExitDone);

    EXPECT_EQ(
        lines_of(log_text()),
        (Lines{"Deleted File: " + host("Vesk30.ini"), "Deleted File: " + host("a.$$$"),
               "Deleted File: " + host("Данные.$$$"), "Backed up to: " + host("Cleaning1.backup"),
               not_written + "Access is denied.)"}));
    EXPECT_EQ(streams.output.back(),
              "Cleaning finished. Log file has been written to: " + host("Cleaning1.log"));
    EXPECT_EQ(run({"/restore:1"}), kExitDone);
    EXPECT_EQ(lines_of(log_text(2)).back(), not_written + "Access is denied.)");
    EXPECT_TRUE(streams.errors.empty());
}

// The backups' home itself is the window's test and the end-to-end test's: here, a folder out of
// reach takes no backup, and what it would have held stays.
TEST_F(ConsolePolicyTest, ABackupFolderOutOfReachLeavesWhatItWouldHaveHeld) {
    fake.add_file(host("Pomb30.ini"), "[Map]");
    set_policy(RegistryRoot::LocalMachine, "BackupFolder", fake::reg_sz("E:\\Gone"));

    EXPECT_EQ(run({"/settings"}), kExitSomethingLeft);

    EXPECT_EQ(fake.content(host("Pomb30.ini")), "[Map]");
    EXPECT_EQ(streams.output.front(),
              "Could not back up File:     " + host("Pomb30.ini") +
                  " (the folder E:\\Gone cannot be opened: " + fake::kPathNotFound + ")");
}

} // namespace
