#include "engine/every_profile.h"

#include "backup/backup_action.h"
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
    ProfileSystem system(counted.os.system, profile);
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
    return run_backed_up_cleaning(
        context, [&](Context& counted, BackupAction& backup, const std::string& log_name) {
            run_operations(counted, options, log_name, Scope::Machine);
            in_each_profile(counted, profiles, [&](Context& inside, const Profile& profile) {
                BackupAction own(context.action, &backup);
                own.set_folder(backup.folder() + "\\" + profile.sid);
                Context backing{inside.state, inside.os,       inside.log,
                                own,          inside.observer, inside.key_root};
                run_operations(backing, options, log_name, Scope::User);
            });
        });
}

RunReport preview_every_profile(Context& context, const CleaningOptions& options,
                                const std::vector<Profile>& profiles) {
    return run_preview(context, [&](Context& counted) {
        run_operations(counted, options, std::string(), Scope::Machine);
        in_each_profile(counted, profiles, [&](Context& inside, const Profile&) {
            run_operations(inside, options, std::string(), Scope::User);
        });
    });
}
