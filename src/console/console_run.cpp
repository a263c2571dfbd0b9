#include "console/console_run.h"

#include "console/command_line.h"
#include "console/console_outcome.h"
#include "console/console_plan.h"
#include "console/console_policy.h"
#include "engine/session.h"
#include "operations/delete_action.h"
#include "startup/host_discovery.h"
#include "startup/main.h"

#include <exception>
#include <optional>
#include <string>
#include <variant>

namespace {

constexpr std::string_view kHowToCall = "VeskClean /? tells how to call it.";

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

int exit_code_of(RefusalReason reason) {
    switch (reason) {
    case RefusalReason::Policy:
        return kExitPolicy;
    case RefusalReason::NotAdministrator:
        return kExitNotAdministrator;
    case RefusalReason::SystemAccount:
        return kExitSystemAccount;
    case RefusalReason::NotSetUp:
        break;
    }
    return kExitNotSetUp;
}

int refused(ConsoleReporter& reporter, const RunRefusal& refusal) {
    if (refusal.reason == RefusalReason::NotSetUp) {
        return not_set_up(reporter, refusal.text);
    }
    // The policy's words are the engine's; the program says whose refusal it is.
    const std::string text =
        refusal.reason == RefusalReason::Policy ? "VeskClean: " + refusal.text : refusal.text;
    reporter.error(text);
    return reporter.finish_early(exit_code_of(refusal.reason), text);
}

// A plan refused: nothing was done.
int plan_refused(ConsoleReporter& reporter, std::string_view what, const std::string& why) {
    const std::string text =
        "VeskClean: the plan cannot be " + std::string(what) + ": " + why + ". Nothing was done.";
    reporter.error(text);
    return reporter.finish_early(kExitWrongCommandLine, text);
}

// The preview's end when it wrote a plan: the plan's file, or why there is none.
int after_planned_preview(ConsoleReporter& reporter, const ConsoleRequest& request,
                          const platform::Platform& os, const RunReport& report,
                          const SharedState& state, platform::UserInterface& ui) {
    if (!report.stopped && !report.uncovered) {
        WrittenPlan written = write_plan(*request.run.plan, request.plan_out, os.files);
        if (!written.error.empty()) {
            const std::string text = "VeskClean: no plan was written: " + written.error;
            reporter.error(text);
            return reporter.finish(kExitSomethingLeft, report, text);
        }
        reporter.tell_plan(request.plan_out, std::move(written.sha256));
    }
    return after_run(reporter, request.run.kind, state, report, ui);
}

// One pass: the engine's answer to the request, the locks, start-up, the run, its end.
int run_checked(const ConsoleRequest& request, const platform::Platform& os,
                ConsoleStreams& streams, const std::atomic<bool>& stop) {
    ConsoleReporter reporter(request, streams, stop);
    ConsoleUserInterface ui(streams);
    const auto checked = check_run(request.run, read_policy(os.registry, os.system), os.system);
    if (const auto* refusal = std::get_if<RunRefusal>(&checked)) {
        return refused(reporter, *refusal);
    }
    const AllowedRun& run = std::get<AllowedRun>(checked);
    reporter.set_left_out(run.left_out());
    CleaningLog log;
    std::optional<CleaningSession> session;
    const SessionProfiles locked =
        request.run.scope == RunScope::EveryProfile ? SessionProfiles::Each : SessionProfiles::Own;
    // A preview changes nothing and may look while a cleaning runs.
    if (request.run.changes() && !session.emplace(os.system, log, locked).held()) {
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
    const bool planned = !request.plan_out.empty();
    if (planned) {
        request.run.plan->header = plan_header(run.request(), state, os.system);
    } else if (request.run.plan) {
        if (auto wrong = host_refusal(*request.run.plan, state)) {
            return plan_refused(reporter, "applied", *wrong);
        }
    }
    DeleteAction deletion;
    Context context{state, os, log, deletion, reporter};
    const RunReport report = carry_out(context, run);
    if (planned) {
        return after_planned_preview(reporter, request, os, report, state, ui);
    }
    return after_run(reporter, request.run.kind, state, report, ui);
}

// A plan to apply gives the request its options; a plan to write is checked for its place.
int run_request(const ConsoleRequest& asked, const platform::Platform& os, ConsoleStreams& streams,
                const std::atomic<bool>& stop) {
    if (!asked.plan_in.empty()) {
        auto applied = request_from_plan(asked, os);
        if (const auto* wrong = std::get_if<std::string>(&applied)) {
            ConsoleReporter reporter(asked, streams, stop);
            return plan_refused(reporter, "applied", *wrong);
        }
        return run_checked(std::get<ConsoleRequest>(applied), os, streams, stop);
    }
    if (!asked.plan_out.empty()) {
        if (auto wrong = plan_file_refusal(asked.plan_out, os.files)) {
            ConsoleReporter reporter(asked, streams, stop);
            return plan_refused(reporter, "written", *wrong);
        }
        ConsoleRequest planning = asked;
        planning.run.plan = std::make_shared<Plan>();
        return run_checked(planning, os, streams, stop);
    }
    return run_checked(asked, os, streams, stop);
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
