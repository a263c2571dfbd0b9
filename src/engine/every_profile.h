// One run over every profile of a shared machine: the machine's options once, then each
// profile's own (its program-settings keys, its virtual stores) in its own hive and folders,
// into one log, one report and one backup with a folder for each profile.
#pragma once

#include "engine/cleaning_run.h"
#include "engine/profiles.h"

#include <functional>
#include <vector>

using ProfileBody = std::function<void(Context& inside, const Profile& profile)>;

// How a run in each profile stands to the other runs on the machine.
enum class ProfileAccess {
    // A preview: no profile's lock taken, no hive unloaded but those it loaded itself.
    Look,
    // The caller holds the lock of every profile it hands over (the running user's own).
    Held,
    // A cleaning or a restore over every profile: first every hive that a run which has ended
    // left loaded is unloaded, then each profile's lock is taken for its part. A profile that
    // another run holds is a failure the run reports, and the run goes on with the next one.
    LockEach,
};

// Says of each profile left out why, then runs body for each profile, after the profile's line
// in the log, in a context that reaches the profile's hive (loaded for the time when its user is
// not logged on, and unloaded again however the body ends) and its local application-data
// folder, with a fresh copy of the state as counted has it, and its keys shown below
// HKEY_USERS\<SID>. A hive that cannot be loaded or unloaded is a failure the run reports, and
// the run goes on with the next profile.
void in_each_profile(Context& counted, const MachineProfiles& machine, ProfileAccess access,
                     const ProfileBody& body);

// run_cleaning over every profile: the machine's options, then for each profile its own, each
// profile's keys backed up into a folder of its own (named by its SID) inside the backup.
RunReport run_cleaning_every_profile(Context& context, const CleaningOptions& options,
                                     const MachineProfiles& machine);
// preview_cleaning over every profile: what run_cleaning_every_profile would hand over, in its
// order; nothing changed, and every hive loaded for it unloaded again.
RunReport preview_every_profile(Context& context, const CleaningOptions& options,
                                const MachineProfiles& machine);
