#include "console/console_run.h"

#include "backup/backup_action.h"
#include "console/command_line.h"
#include "console/console_policy.h"
#include "console/detection.h"
#include "console/json.h"
#include "engine/every_profile.h"
#include "engine/profiles.h"
#include "engine/restore_run.h"
#include "engine/session.h"
#include "operations/delete_action.h"
#include "startup/host_discovery.h"
#include "startup/main.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace {

constexpr std::string_view kSystemAccount =
    "VeskClean runs as the local system account, whose profile is no user's: nothing was done. "
    "Run it in the signed-in user's context, or with /allusers to clean every profile.";
constexpr std::string_view kHowToCall = "VeskClean /? tells how to call it.";
constexpr std::string_view kNeedsAdministrator =
    "VeskClean /allusers needs administrator rights: run it from an elevated command prompt, or "
    "as the system account. Nothing was done.";

std::string_view outcome_name(const ItemEvent& item) {
    switch (item.outcome.outcome) {
    case Outcome::Restored:
        return "restored";
    case Outcome::NotRestored:
        return "not restored";
    case Outcome::Done:
        return words_of(item.target.kind).json_done;
    case Outcome::Previewed:
        return words_of(item.target.kind).json_previewed;
    case Outcome::Refused:
        return "refused";
    case Outcome::NotBackedUp:
        return "not backed up";
    case Outcome::Missing:
        break;
    }
    return "missing";
}

// The preview's line for an item: what would be done, or what would not and why.
std::string preview_line(const ItemEvent& item) {
    const KindWords& words = words_of(item.target.kind);
    const std::string path = shown_path(item.target, item.key_root);
    if (item.outcome.outcome == Outcome::Previewed) {
        return std::string(words.would) + path;
    }
    return std::string(words.would_not) + path + " (" + item.outcome.reason + ")";
}

// Tells the run as the command line asked: text, JSON or nothing on standard output; errors on
// standard error in every case.
class ConsoleReporter final : public RunObserver {
public:
    ConsoleReporter(const ConsoleRequest& request, ConsoleStreams& streams,
                    const std::atomic<bool>& stop)
        : request_(request), streams_(streams), stop_(stop) {}

    void item_handled(const ItemEvent& item) override {
        if (request_.mode == ConsoleMode::Detect) {
            detection_.count(item);
        } else if (request_.json) {
            JsonObject object;
            object.add("type", "item")
                .add("outcome", outcome_name(item))
                .add("kind", words_of(item.target.kind).json)
                .add("path", shown_path(item.target, item.key_root));
            if (!item.outcome.reason.empty()) {
                object.add("reason", item.outcome.reason);
            }
            if (profile_) {
                object.add("user", profile_->sid).add("profile", profile_->folder);
            }
            out(object.text());
        } else if (request_.mode == ConsoleMode::Preview &&
                   item.outcome.outcome != Outcome::Missing) {
            out(preview_line(item));
        }
    }
    void failure_trapped(const TrappedFailure& failure) override {
        if (request_.mode == ConsoleMode::Detect) {
            detection_.add_failure(failure.box_text);
            return;
        }
        streams_.err(failure.box_text);
        if (request_.json) {
            out(JsonObject().add("type", "failure").add("message", failure.box_text).text());
        }
    }
    void line_written(std::string_view line) override {
        if (!request_.json) {
            out(line);
        }
    }
    bool stop_requested() override { return stop_.load(); }
    void profile_started(const Profile& profile) override {
        profile_ = profile;
        // A cleaning's text output has the line from the log; a preview keeps none.
        if (request_.mode == ConsoleMode::Preview && !request_.json) {
            out(profile_line(profile));
        }
    }
    void profile_left_out(const LeftOutProfile& left_out) override {
        if (request_.mode == ConsoleMode::Preview && !request_.json) {
            out(left_out_line(left_out));
        }
    }

    // A closing line of the text output.
    void say(std::string_view line) {
        if (!request_.json) {
            out(line);
        }
    }
    // The options the policy took out of /all or /standard, told before the closing lines.
    void set_left_out(std::vector<std::string_view> switches) { left_out_ = std::move(switches); }
    void say_left_out() {
        if (!left_out_.empty()) {
            say(left_out_text(left_out_));
        }
    }
    std::string left_out_note() const { return left_out_text(left_out_); }
    void error(std::string_view line) { streams_.err(line); }
    // The JSON output's last object.
    int finish(int exit_code, const RunReport& report, std::string_view error = {}) {
        if (request_.json && request_.mode == ConsoleMode::Restore) {
            finish_restore_summary(exit_code, report, error);
        } else if (request_.json && request_.mode == ConsoleMode::Detect) {
            finish_detection_summary(exit_code, error);
        } else if (request_.json) {
            JsonObject summary;
            summary.add("type", "summary")
                .add("mode", request_.mode == ConsoleMode::Preview ? "preview" : "clean")
                .add("done", report.done)
                .add("previewed", report.previewed)
                .add("refused", report.refused)
                .add("missing", report.missing)
                .add("failures", report.trapped.size() + (report.uncovered ? 1u : 0u))
                .add_flag("stopped", report.stopped);
            add_path(summary, "log", report.log_path);
            add_path(summary, "backup", report.backup_folder);
            finish_summary(summary, exit_code, error);
        }
        return exit_code;
    }
    DetectionTally& detection() { return detection_; }
    // The summary of a run that ended before it began.
    int finish_early(int exit_code, std::string_view error) {
        return finish(exit_code, RunReport{}, error);
    }

private:
    // A restore's summary says what it put back and what it left.
    void finish_restore_summary(int exit_code, const RunReport& report, std::string_view error) {
        JsonObject summary;
        summary.add("type", "summary")
            .add("mode", "restore")
            .add("restored", report.done)
            .add("left", report.refused)
            .add_flag("stopped", report.stopped);
        add_path(summary, "log", report.log_path);
        finish_summary(summary, exit_code, error);
    }
    void finish_detection_summary(int exit_code, std::string_view error) {
        JsonObject summary;
        summary.add("type", "summary").add("mode", "detect");
        detection_.add_counts(summary);
        finish_summary(summary, exit_code, error);
    }
    void out(std::string_view line) {
        if (!request_.quiet) {
            streams_.out(line);
        }
    }
    static void add_path(JsonObject& summary, std::string_view name, const std::string& path) {
        if (path.empty()) {
            summary.add_null(name);
        } else {
            summary.add(name, path);
        }
    }
    void finish_summary(JsonObject& summary, int exit_code, std::string_view error) {
        if (!left_out_.empty()) {
            summary.add_list("left_out_by_policy", left_out_);
        }
        if (!error.empty()) {
            summary.add("error", error);
        }
        out(summary.add("exit_code", static_cast<std::uint64_t>(exit_code)).text());
    }

    const ConsoleRequest& request_;
    ConsoleStreams& streams_;
    const std::atomic<bool>& stop_;
    std::optional<Profile> profile_; // the profile whose items come now, in a run over all
    DetectionTally detection_;
    std::vector<std::string_view> left_out_;
};

// The line after start-up's own message for a console's administrator, who cannot ask the
// window's user what was looked at: the registry value and the pointer file, or the folder.
std::string what_was_looked_at(StartOutcome outcome, const SharedState& state,
                               const platform::Platform& os) {
    // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string here.
    std::string value("\"");
    value.append(kAppDataValue).append("\" of HKEY_LOCAL_MACHINE\\").append(kHostKey);
    value.append(" (32-bit view)");
    std::string pointer_file = MM_GetWindowsDir(os.system);
    if (pointer_file.empty()) {
        pointer_file.append(kDirFileName).append(" in the Windows folder, which is unknown");
    } else {
        pointer_file.append("\\").append(kDirFileName);
    }
    std::string text("Looked for ");
    if (outcome == StartOutcome::NoPointerFile) {
        text.append("the value ").append(value).append(" and the file ").append(pointer_file);
        return text.append("; neither is there.");
    }
    text.append("the folder \"").append(state.VeskPath).append("\", named by ");
    if (state.AppDataPath.empty()) {
        text.append(pointer_file);
    } else {
        text.append("the value ").append(value);
    }
    return text.append(".");
}

// A failure before anything ran: nothing was done, and the run cannot say more than why.
int not_set_up(ConsoleReporter& reporter, std::string_view why) {
    const std::string error = "The run could not be set up: " + std::string(why);
    reporter.error(error);
    reporter.error("Nothing was done.");
    return reporter.finish_early(kExitNotSetUp, error);
}

int after_preview(ConsoleReporter& reporter, const RunReport& report) {
    reporter.say_left_out();
    if (report.stopped) {
        reporter.say("The preview was stopped; nothing was changed.");
        return reporter.finish(kExitStopped, report);
    }
    const std::size_t items = report.previewed + report.refused;
    reporter.say(std::to_string(items) + (items == 1 ? " item" : " items") +
                 " would be cleaned; nothing was changed.");
    const bool clean = report.refused == 0 && report.trapped.empty() && !report.uncovered;
    return reporter.finish(clean ? kExitDone : kExitSomethingLeft, report);
}

int after_detection(ConsoleReporter& reporter, const RunReport& report) {
    if (report.stopped) {
        reporter.say("The detection was stopped; nothing was changed.");
        return reporter.finish(kExitStopped, report);
    }
    DetectionTally& found = reporter.detection();
    if (report.uncovered) {
        found.add_failure("Error in " + report.uncovered->where + ": " +
                          report.uncovered->description);
    }
    reporter.say(found.text(reporter.left_out_note()));
    return reporter.finish(found.finds_work() ? kExitSomethingLeft : kExitDone, report);
}

int after_cleaning(ConsoleReporter& reporter, const SharedState& state, const RunReport& report,
                   platform::UserInterface& ui) {
    if (report.log == LogStatus::NoName || report.log == LogStatus::NotCreated) {
        const std::string why =
            report.uncovered ? " (" + report.uncovered->description + ")" : std::string();
        const std::string error = std::string(kNoLogIn) + " " + state.VeskPath + why;
        reporter.error(error);
        reporter.error(kNothingCleaned);
        return reporter.finish(kExitNoLog, report, error);
    }
    reporter.say_left_out();
    if (report.uncovered) {
        report_fatal_failure(ui, report.uncovered->where, report.uncovered->description);
        reporter.say("The cleaning ended early. Log file has been written to: " + report.log_path);
        return reporter.finish(kExitSomethingLeft, report, report.uncovered->description);
    }
    if (report.stopped) {
        reporter.say("The cleaning was stopped. Log file has been written to: " + report.log_path);
        return reporter.finish(kExitStopped, report);
    }
    if (report.refused > 0) {
        reporter.say("Some items could not be cleaned; the log lists them.");
    }
    reporter.say("Cleaning finished. Log file has been written to: " + report.log_path);
    const bool clean = report.refused == 0 && report.trapped.empty();
    return reporter.finish(clean ? kExitDone : kExitSomethingLeft, report);
}

int after_restore(ConsoleReporter& reporter, const SharedState& state, const RunReport& report,
                  platform::UserInterface& ui) {
    if (report.unusable) {
        const std::string error = "The backup cannot be restored: " + *report.unusable;
        reporter.error(error);
        reporter.error("Nothing was changed.");
        return reporter.finish(kExitWrongCommandLine, report, error);
    }
    if (report.log == LogStatus::NoName || report.log == LogStatus::NotCreated) {
        const std::string error = "No log could be created in: " + state.VeskPath;
        reporter.error(error);
        reporter.error("Nothing was restored.");
        return reporter.finish(kExitNoLog, report, error);
    }
    if (report.uncovered && report.log == LogStatus::None) {
        return not_set_up(reporter, report.uncovered->description);
    }
    if (report.uncovered) {
        report_fatal_failure(ui, report.uncovered->where, report.uncovered->description);
        reporter.say("The restore ended early. Log file has been written to: " + report.log_path);
        return reporter.finish(kExitSomethingLeft, report, report.uncovered->description);
    }
    if (report.stopped) {
        reporter.say("The restore was stopped. Log file has been written to: " + report.log_path);
        return reporter.finish(kExitStopped, report);
    }
    reporter.say("Restore finished. Log file has been written to: " + report.log_path);
    const bool clean = report.refused == 0 && report.trapped.empty();
    return reporter.finish(clean ? kExitDone : kExitSomethingLeft, report);
}

int run_every_profile(const ConsoleRequest& request, const CleaningOptions& options,
                      Context& context, ConsoleReporter& reporter, platform::UserInterface& ui) {
    const MachineProfiles machine = find_profiles(context.os);
    if (request.mode == ConsoleMode::Preview) {
        return after_preview(reporter, preview_every_profile(context, options, machine));
    }
    if (request.mode == ConsoleMode::Detect) {
        return after_detection(reporter, preview_every_profile(context, options, machine));
    }
    if (request.mode == ConsoleMode::Restore) {
        return after_restore(
            reporter, context.state,
            run_restore_every_profile(context, request.restore_number, machine.profiles), ui);
    }
    return after_cleaning(reporter, context.state,
                          run_cleaning_every_profile(context, options, machine), ui);
}

int run_request(const ConsoleRequest& request, const platform::Platform& os,
                ConsoleStreams& streams, const std::atomic<bool>& stop) {
    ConsoleReporter reporter(request, streams, stop);
    ConsoleUserInterface ui(streams);
    const Policy policy = read_policy(os.registry, os.system);
    if (const auto refused = refusal_by_policy(request, policy)) {
        reporter.error(*refused);
        return reporter.finish_early(kExitPolicy, *refused);
    }
    const CleaningOptions options = options_allowed(request, policy);
    reporter.set_left_out(left_out_by_policy(request, policy));
    if (request.all_users) {
        // The one run where the system account is right: device-management tools run as it.
        if (!os.system.may_clean_every_profile()) {
            reporter.error(kNeedsAdministrator);
            return reporter.finish_early(kExitNotAdministrator, kNeedsAdministrator);
        }
    } else if (os.system.runs_as_system_account()) {
        reporter.error(kSystemAccount);
        return reporter.finish_early(kExitSystemAccount, kSystemAccount);
    }
    // A preview changes nothing and may look while a cleaning runs.
    const bool changes = request.mode == ConsoleMode::Clean || request.mode == ConsoleMode::Restore;
    CleaningLog log;
    std::optional<CleaningSession> session;
    const SessionProfiles locked = request.all_users ? SessionProfiles::Each : SessionProfiles::Own;
    if (changes && !session.emplace(os.system, log, locked).held()) {
        reporter.error(kAnotherCleaningRuns);
        return reporter.finish_early(kExitBusy, kAnotherCleaningRuns);
    }
    SharedState state;
    if (const StartOutcome started = start_program(state, os, ui);
        started != StartOutcome::Started) {
        if (started != StartOutcome::Failed) {
            reporter.error(what_was_looked_at(started, state, os));
        }
        return reporter.finish_early(kExitNoHostFolder, "the host folder was not found");
    }
    if (changes) {
        try {
            state.backup_home = backup_home(policy, os.system);
            // The organisation's folder is theirs to protect; otherwise a run over every
            // profile keeps its backups where only administrators may change them.
            if (request.all_users && state.backup_home.folder.empty()) {
                state.backup_home = administrators_backup_home(os.system);
            }
        } catch (const platform::Failure& failure) {
            return not_set_up(reporter, failure.what());
        }
    }
    DeleteAction deletion;
    Context context{state, os, log, deletion, reporter};
    if (request.all_users) {
        return run_every_profile(request, options, context, reporter, ui);
    }
    if (request.mode == ConsoleMode::Preview) {
        return after_preview(reporter, preview_cleaning(context, options));
    }
    if (request.mode == ConsoleMode::Detect) {
        return after_detection(reporter, preview_cleaning(context, options));
    }
    if (request.mode == ConsoleMode::Restore) {
        return after_restore(reporter, state, run_restore(context, request.restore_number), ui);
    }
    return after_cleaning(reporter, state, run_cleaning(context, options), ui);
}

// What the program would print, and even that the line is wrong, on one line of standard
// output: a detection tool takes anything on standard error for a failure of its own.
int run_detection(const ParsedCommandLine& parsed, const platform::Platform& os,
                  ConsoleStreams& streams, const std::atomic<bool>& stop) {
    OneLineStreams line(streams,
                        !parsed.request || (!parsed.request->json && !parsed.request->quiet));
    int exit_code = kExitWrongCommandLine;
    if (!parsed.request) {
        line.err("VeskClean: " + parsed.error + "; " + std::string(kHowToCall));
    } else {
        // A failure nothing trapped goes on the line too, not to standard error.
        try {
            exit_code = run_request(*parsed.request, os, line, stop);
        } catch (const std::exception& failure) {
            line.err(std::string("VeskClean: ") + failure.what());
            exit_code = kExitSomethingLeft;
        }
    }
    line.write();
    return exit_code;
}

} // namespace

int ConsoleUserInterface::message_box(std::string_view text, int style) {
    while (true) {
        const auto end = text.find("\r\n");
        streams_.err(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 2);
    }
    // Nobody can answer: a question is never taken as a yes.
    return style == platform::kMbQuestionYesNo ? platform::kIdNo : platform::kIdOk;
}

int run_console(const std::vector<std::string>& arguments, const platform::Platform& os,
                ConsoleStreams& streams, const std::atomic<bool>& stop) {
    const ParsedCommandLine parsed = parse_command_line(arguments);
    if (asks_for_detection(arguments) &&
        !(parsed.request && parsed.request->mode == ConsoleMode::Help)) {
        return run_detection(parsed, os, streams, stop);
    }
    if (!parsed.request) {
        // The fault and where to learn more, not the whole usage: in a console window of
        // default size that would scroll the one line that matters out of sight.
        streams.err("VeskClean: " + parsed.error);
        streams.err(kHowToCall);
        return kExitWrongCommandLine;
    }
    if (parsed.request->mode == ConsoleMode::Help) {
        for (const std::string_view line : usage_lines()) {
            streams.out(line);
        }
        return kExitDone;
    }
    if (parsed.request->mode == ConsoleMode::Policy) {
        const Policy policy = read_policy(os.registry, os.system);
        for (const std::string& line : parsed.request->json ? policy_json_lines(policy, os.system)
                                                            : policy_lines(policy, os.system)) {
            streams.out(line);
        }
        return kExitDone;
    }
    return run_request(*parsed.request, os, streams, stop);
}
