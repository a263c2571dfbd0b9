#include "console/console_outcome.h"

#include "console/console_run.h"
#include "engine/session.h"
#include "startup/main.h"

#include <string>

namespace {

// How the closing lines name a run that changes things.
struct ChangeWords {
    std::string_view noun;         // "The cleaning was stopped."
    std::string_view finished;     // its last line when it ran to its end
    std::string_view no_log;       // ... followed by the host folder
    std::string_view nothing_done; // after the line that no log could be made
    std::string_view some_left;    // when an item was refused; empty: nothing said
};

constexpr ChangeWords kCleaningWords = {"cleaning", "Cleaning finished.", kNoLogIn, kNothingCleaned,
                                        "Some items could not be cleaned; the log lists them."};
constexpr ChangeWords kRestoreWords = {
    "restore", "Restore finished.", "No log could be created in:", "Nothing was restored.", {}};

int after_preview(ConsoleReporter& reporter, const RunReport& report) {
    reporter.say_left_out();
    if (report.stopped) {
        reporter.say("The preview was stopped; nothing was changed.");
        return reporter.finish(kExitStopped, report);
    }
    const std::size_t items = report.previewed + report.refused;
    const std::string kept =
        report.kept == 0 ? std::string() : " and " + std::to_string(report.kept) + " kept";
    reporter.say(std::to_string(items) + (items == 1 ? " item" : " items") + " would be cleaned" +
                 kept + "; nothing was changed.");
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

// A cleaning's or a restore's end: nothing done without a log, else what the log holds.
int after_change(ConsoleReporter& reporter, const ChangeWords& words, const SharedState& state,
                 const RunReport& report, platform::UserInterface& ui) {
    if (report.unusable) {
        const std::string error = "The backup cannot be restored: " + *report.unusable;
        reporter.error(error);
        reporter.error("Nothing was changed.");
        return reporter.finish(kExitWrongCommandLine, report, error);
    }
    if (report.log == LogStatus::NoName || report.log == LogStatus::NotCreated) {
        const std::string why =
            report.uncovered ? " (" + report.uncovered->description + ")" : std::string();
        const std::string error = std::string(words.no_log) + " " + state.VeskPath + why;
        reporter.error(error);
        reporter.error(words.nothing_done);
        return reporter.finish(kExitNoLog, report, error);
    }
    if (report.uncovered && report.log == LogStatus::None) {
        return not_set_up(reporter, report.uncovered->description);
    }
    reporter.say_left_out();
    const std::string written = " Log file has been written to: " + report.log_path;
    if (report.uncovered) {
        report_fatal_failure(ui, report.uncovered->where, report.uncovered->description);
        reporter.say("The " + std::string(words.noun) + " ended early." + written);
        return reporter.finish(kExitSomethingLeft, report, report.uncovered->description);
    }
    if (report.stopped) {
        reporter.say("The " + std::string(words.noun) + " was stopped." + written);
        return reporter.finish(kExitStopped, report);
    }
    if (report.refused > 0 && !words.some_left.empty()) {
        reporter.say(words.some_left);
    }
    reporter.say(std::string(words.finished) + written);
    const bool clean = report.refused == 0 && report.trapped.empty();
    return reporter.finish(clean ? kExitDone : kExitSomethingLeft, report);
}

} // namespace

int not_set_up(ConsoleReporter& reporter, std::string_view why) {
    const std::string error = "The run could not be set up: " + std::string(why);
    reporter.error(error);
    reporter.error("Nothing was done.");
    return reporter.finish_early(kExitNotSetUp, error);
}

int after_run(ConsoleReporter& reporter, RunKind kind, const SharedState& state,
              const RunReport& report, platform::UserInterface& ui) {
    switch (kind) {
    case RunKind::Preview:
        return after_preview(reporter, report);
    case RunKind::Detect:
        return after_detection(reporter, report);
    case RunKind::Clean:
        return after_change(reporter, kCleaningWords, state, report, ui);
    case RunKind::Restore:
        break;
    }
    return after_change(reporter, kRestoreWords, state, report, ui);
}
