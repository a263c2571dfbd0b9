#include "engine/cleaning_run.h"

#include "backup/backup_action.h"
#include "engine/line_echo.h"
#include "engine/marker.h"
#include "engine/numbered_log.h"
#include "engine/own_keep_list.h"

namespace {

// Stands between the operations and the caller's observer: counts the items into the report,
// tells the caller how far the run has come, keeps the trapped failures, and ends the run at an
// item boundary when the caller asks to stop.
class Tally final : public RunObserver {
public:
    Tally(RunObserver& caller, RunReport& report) : caller_(caller), report_(report) {}

    void operation_started(std::string_view procedure) override {
        stop_if_requested();
        operation_ = procedure;
        caller_.operation_started(procedure);
    }
    void profile_started(const Profile& profile) override { caller_.profile_started(profile); }
    void profile_left_out(const LeftOutProfile& left_out) override {
        caller_.profile_left_out(left_out);
    }
    void item_handled(const ItemEvent& item) override {
        count(item.outcome.outcome);
        caller_.item_handled(item);
        caller_.progress({++items_done_, operation_});
        stop_if_requested();
    }
    void failure_trapped(const TrappedFailure& failure) override {
        report_.trapped.push_back(failure);
        caller_.failure_trapped(failure);
    }
    bool stop_requested() override { return caller_.stop_requested(); }

    std::string_view operation() const { return operation_; }

private:
    void stop_if_requested() {
        if (caller_.stop_requested()) {
            throw RunStopped{};
        }
    }
    void count(Outcome outcome) {
        switch (outcome) {
        case Outcome::Done:
        case Outcome::Restored:
            ++report_.done;
            break;
        case Outcome::Previewed:
            ++report_.previewed;
            break;
        case Outcome::Refused:
        case Outcome::NotBackedUp:
        case Outcome::NotRestored:
            ++report_.refused;
            break;
        case Outcome::Missing:
            ++report_.missing;
            break;
        case Outcome::Kept:
            ++report_.kept;
            break;
        }
    }

    RunObserver& caller_;
    RunReport& report_;
    std::string_view operation_;
    std::size_t items_done_ = 0;
};

// An uncovered failure ends the run: the log gets it as a line of its own.
void end_run(Context& context, RunReport& report, std::string where, std::string description) {
    try {
        if (context.log.is_open() && !where.empty()) {
            context.log.write_line("Error in " + where + ": " + description);
        }
    } catch (const std::exception&) {
        // The caller reports the failure itself; the log stays as far as it got.
    }
    report.uncovered = UncoveredFailure{std::move(where), std::move(description)};
}

// The pipeline under every run, cleaning, preview and restore alike: body works with action as
// the run's action and the context's observer behind a tally that counts the items into the
// report, tells the observer the progress, keeps the trapped failures and ends the run at the
// item boundary where the observer asks to stop. An uncovered failure ends the run, logged and
// named after the operation under way when it claimed no procedure of its own.
RunReport run_pipeline(Context& context, TargetAction& action,
                       const std::function<void(Context&, RunReport&)>& body) {
    RunReport report;
    Tally tally(context.observer, report);
    Context counted{context.state, context.os, context.log, action, tally};
    try {
        body(counted, report);
    } catch (const RunStopped&) {
        report.stopped = true;
    } catch (const platform::Failure& failure) {
        end_run(counted, report,
                failure.where.empty() ? std::string(tally.operation()) : failure.where,
                failure.what());
    } catch (const std::exception& failure) {
        end_run(counted, report, std::string(tally.operation()), failure.what());
    }
    return report;
}

// A line after the operations; a log that cannot take it is a failure nobody trapped.
void write_closing_line(CleaningLog& log, RunReport& report, std::string_view line) {
    try {
        log.write_line(line);
    } catch (const std::exception& failure) {
        if (!report.uncovered) {
            report.uncovered = UncoveredFailure{{}, failure.what()};
        }
    }
}

// The end of a run with a log: after a stop the stop line comes last; a stopped or failed run's
// log is closed, any other is left open for the caller to close once it has told the user.
void end_pipeline(CleaningLog& log, RunReport& report) {
    // The user's stop is the last thing the run did.
    if (report.stopped) {
        write_closing_line(log, report, kStopLine);
    }
    if (report.uncovered || report.stopped) {
        log.close();
    }
}

} // namespace

void run_operations(Context& context, const CleaningOptions& options, const std::string& log_name,
                    std::optional<Scope> scope) {
    // What is the machine's belongs to no profile: only the lists that cover everything hold.
    context.state.keep.set_own(scope == Scope::Machine ? std::vector<std::string>{}
                                                       : read_own_keep_list(context.os.registry),
                               context.key_root);
    for (const OptionRow& row : kOptionTable) {
        if (options.*row.chosen && (!scope || row.scope == *scope)) {
            context.observer.operation_started(row.procedure);
            row.run(context, log_name);
        }
    }
}

RunReport run_logged(Context& context, TargetAction& action, MarkedRun marked,
                     std::string_view procedure, const LoggedBody& body,
                     const std::function<void(RunReport&)>& closing) {
    const LineEcho echo(context.log, context.observer);
    RunReport report = run_pipeline(context, action, [&](Context& counted, RunReport& run) {
        if (open_numbered_log(counted, run)) {
            body(counted, run.log_name);
        }
    });
    if (report.uncovered && report.uncovered->where.empty()) {
        report.uncovered->where = procedure;
    }
    if (closing) {
        closing(report);
    }
    mark_run(context, report, marked);
    end_pipeline(context.log, report);
    return report;
}

RunReport run_backed_up_cleaning(Context& context, const CleaningBody& body, MarkedRun marked) {
    BackupAction backup(context.action);
    return run_logged(
        context, backup, marked, {},
        [&](Context& counted, const std::string& log_name) {
            backup.set_folder(backup_folder_of(backups_folder(counted.state), log_name),
                              counted.state.backup_home);
            body(counted, backup, log_name);
            record_plan_leftovers(counted);
        },
        [&](RunReport& report) {
            if (backup.holds_items()) {
                report.backup_folder = backup.folder();
                write_closing_line(context.log, report,
                                   pad_to_zone("Backed up to: ") + backup.folder());
            }
        });
}

RunReport run_cleaning(Context& context, const CleaningOptions& options) {
    return run_backed_up_cleaning(
        context, [&](Context& counted, BackupAction&, const std::string& log_name) {
            run_operations(counted, options, log_name);
        });
}

namespace {

RunReport preview_with(const SharedState& state, const platform::Platform& os,
                       RunObserver& observer, const std::function<void(Context&)>& body) {
    // The key search appends to KeyList: a preview works on a copy of the state.
    SharedState previewed = state;
    CleaningLog no_log;
    BackupPreviewAction preview;
    Context previewing{previewed, os, no_log, preview, observer};
    return run_pipeline(previewing, preview, [&](Context& counted, RunReport&) { body(counted); });
}

} // namespace

RunReport run_preview(Context& context, const std::function<void(Context&)>& body) {
    return preview_with(context.state, context.os, context.observer, body);
}

RunReport preview_cleaning(Context& context, const CleaningOptions& options) {
    return preview_cleaning(context.state, context.os, context.observer, options);
}

RunReport preview_cleaning(const SharedState& state, const platform::Platform& os,
                           RunObserver& observer, const CleaningOptions& options) {
    return preview_with(state, os, observer,
                        [&](Context& counted) { run_operations(counted, options, std::string()); });
}
