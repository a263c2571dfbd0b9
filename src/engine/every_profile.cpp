#include "engine/every_profile.h"

#include "backup/backup_action.h"
#include "engine/line_echo.h"
#include "engine/marker.h"
#include "engine/numbered_log.h"
#include "engine/profiles.h"
#include "operations/trapped_error.h"

namespace {

constexpr std::string_view kSkipped = "Profile skipped: ";
constexpr std::string_view kNotUnloaded = "Hive not unloaded: ";

void report_release(Context& counted, const ProfileHive& hive,
                    const std::optional<std::string>& failed) {
    if (failed) {
        report_trapped_error(counted, kNotUnloaded, kNotUnloaded,
                             "HKEY_USERS\\" + hive.name() + " (" + *failed + ")");
    }
}

void run_in_profile(Context& counted, const Profile& profile, const SharedState& initial,
                    const ProfileBody& body) {
    ProfileHive hive(counted.os.registry, counted.os.system, profile);
    if (hive.failure()) {
        report_trapped_error(counted, kSkipped, kSkipped,
                             profile_name(profile) +
                                 ": its registry hive cannot be loaded: " + *hive.failure());
        return;
    }
    ProfileRegistry registry(counted.os.registry, hive.name());
    ProfileSystem system(counted.os.system, local_app_data_of(profile));
    SharedState state = initial;
    const std::string key_root = key_root_of(profile);
    Context inside{state,
                   {registry, counted.os.files, system, counted.os.processes},
                   counted.log,
                   counted.action,
                   counted.observer,
                   key_root};
    try {
        body(inside, profile);
    } catch (...) {
        // A stop or a failure ends the run; the hive goes first, and a hive that stays is said.
        report_release(counted, hive, hive.release());
        throw;
    }
    report_release(counted, hive, hive.release());
}

// The chosen options of that scope, in the table's order.
void run_scope(Context& context, const CleaningOptions& options, Scope scope,
               const std::string& log_name) {
    for (const OptionRow& row : kOptionTable) {
        if (row.scope == scope && options.*row.chosen) {
            context.observer.operation_started(row.procedure);
            row.run(context, log_name);
        }
    }
}

} // namespace

void in_each_profile(Context& counted, const std::vector<Profile>& profiles,
                     const ProfileBody& body) {
    // Each profile starts from the state as start-up left it: its own keys are found anew.
    const SharedState initial = counted.state;
    for (const Profile& profile : profiles) {
        counted.observer.profile_started(profile);
        if (counted.log.is_open()) {
            counted.log.write_line(profile_line(profile));
        }
        run_in_profile(counted, profile, initial, body);
    }
}

RunReport run_cleaning_every_profile(Context& context, const CleaningOptions& options,
                                     const std::vector<Profile>& profiles) {
    const LineEcho echo(context.log, context.observer);
    BackupAction backup(context.action);
    bool backed_up = false;
    RunReport report = run_pipeline(context, backup, [&](Context& counted, RunReport& run) {
        if (!open_numbered_log(counted, run)) {
            return;
        }
        backup.set_folder(backup_folder_of(backups_folder(counted.state), run.log_name),
                          folders_above_backups(counted.state));
        run_scope(counted, options, Scope::Machine, run.log_name);
        in_each_profile(counted, profiles, [&](Context& inside, const Profile& profile) {
            BackupAction own(context.action, &backup);
            own.set_folder(backup.folder() + "\\" + profile.sid);
            Context backing{inside.state, inside.os,       inside.log,
                            own,          inside.observer, inside.key_root};
            try {
                run_scope(backing, options, Scope::User, run.log_name);
            } catch (...) {
                backed_up = backed_up || own.holds_items();
                throw;
            }
            backed_up = backed_up || own.holds_items();
        });
    });
    if (backed_up || backup.holds_items()) {
        report.backup_folder = backup.folder();
        write_closing_line(context.log, report, pad_to_zone("Backed up to: ") + backup.folder());
    }
    mark_run(context, report);
    end_pipeline(context.log, report);
    return report;
}

RunReport preview_every_profile(Context& context, const CleaningOptions& options,
                                const std::vector<Profile>& profiles) {
    SharedState state = context.state;
    CleaningLog no_log;
    BackupPreviewAction preview;
    Context previewing{state, context.os, no_log, preview, context.observer};
    return run_pipeline(previewing, preview, [&](Context& counted, RunReport&) {
        run_scope(counted, options, Scope::Machine, std::string());
        in_each_profile(counted, profiles, [&](Context& inside, const Profile&) {
            run_scope(inside, options, Scope::User, std::string());
        });
    });
}
