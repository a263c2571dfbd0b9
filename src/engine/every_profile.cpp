#include "engine/every_profile.h"

#include "backup/backup_action.h"
#include "engine/profile_hive.h"
#include "engine/profile_views.h"
#include "operations/trapped_error.h"

namespace {

constexpr std::string_view kSkipped = "Profile skipped: ";
constexpr std::string_view kNotUnloaded = "Hive not unloaded: ";
constexpr std::string_view kLeftoverUnloaded = "Hive unloaded: ";

void report_release(Context& counted, const ProfileHive& hive,
                    const std::optional<std::string>& failed) {
    if (failed) {
        report_trapped_error(counted, kNotUnloaded, kNotUnloaded,
                             "HKEY_USERS\\" + hive.name() + " (" + *failed + ")");
    }
}

// A run that was killed left these loaded, and each keeps its user from logging on, whether
// that user is logged on now or listed at all.
void unload_leftover_hives(Context& counted) {
    platform::Registry& registry = counted.os.registry;
    for (const HiveOfOurs& hive : hives_of_ours(registry)) {
        if (loader_runs(hive, counted.os.system)) {
            continue;
        }
        const std::string shown = "HKEY_USERS\\" + hive.name;
        const auto failed = unload_hive_trying(registry, counted.os.system, hive.name);
        if (!failed) {
            if (counted.log.is_open()) {
                counted.log.write_line(std::string(kLeftoverUnloaded) + shown +
                                       ", left by a run that ended without unloading it");
            }
        } else if (platform::check_key(registry, platform::RegistryRoot::Users, hive.name,
                                       platform::RegistryAccess::QueryValue)
                       .state != platform::KeyState::Missing) {
            // Not when another cleaning unloaded it meanwhile.
            report_trapped_error(counted, kNotUnloaded, kNotUnloaded, shown + " (" + *failed + ")");
        }
    }
}

void run_in_profile(Context& counted, const Profile& profile, ProfileAccess access,
                    const SharedState& initial, const ProfileBody& body) {
    std::unique_ptr<platform::CleaningLock> lock;
    if (access == ProfileAccess::LockEach &&
        !(lock = counted.os.system.lock_profile(profile.sid))) {
        report_trapped_error(counted, kSkipped, kSkipped,
                             profile_name(profile) +
                                 ": another cleaning or restore of this profile is running");
        return;
    }
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

void in_each_profile(Context& counted, const MachineProfiles& machine, ProfileAccess access,
                     const ProfileBody& body) {
    if (access == ProfileAccess::LockEach) {
        unload_leftover_hives(counted);
    }
    for (const LeftOutProfile& left_out : machine.left_out) {
        counted.observer.profile_left_out(left_out);
        if (counted.log.is_open()) {
            counted.log.write_line(left_out_line(left_out));
        }
    }
    // Each profile starts from the state as start-up left it: its own keys are found anew.
    const SharedState initial = counted.state;
    for (const Profile& profile : machine.profiles) {
        counted.observer.profile_started(profile);
        if (counted.log.is_open()) {
            counted.log.write_line(profile_line(profile));
        }
        run_in_profile(counted, profile, access, initial, body);
    }
}

RunReport run_cleaning_every_profile(Context& context, const CleaningOptions& options,
                                     const MachineProfiles& machine) {
    return run_backed_up_cleaning(
        context,
        [&](Context& counted, BackupAction& backup, const std::string& log_name) {
            run_operations(counted, options, log_name, Scope::Machine);
            in_each_profile(counted, machine, ProfileAccess::LockEach,
                            [&](Context& inside, const Profile& profile) {
                                BackupAction own(context.action, &backup);
                                own.set_folder(backup.folder() + "\\" + profile.sid);
                                Context backing{inside.state, inside.os,       inside.log,
                                                own,          inside.observer, inside.key_root};
                                run_operations(backing, options, log_name, Scope::User);
                            });
        },
        MarkedRun::EveryProfileCleaning);
}

RunReport preview_every_profile(Context& context, const CleaningOptions& options,
                                const MachineProfiles& machine) {
    return run_preview(context, [&](Context& counted) {
        run_operations(counted, options, std::string(), Scope::Machine);
        in_each_profile(counted, machine, ProfileAccess::Look,
                        [&](Context& inside, const Profile&) {
                            run_operations(inside, options, std::string(), Scope::User);
                        });
    });
}
