// Putting back what a cleaning backed up: the program-settings keys of registry.reg and the
// settings files of Cleaning<N>.backup, each only where its place is free now.
#pragma once

#include "engine/cleaning_run.h"
#include "operations/profile.h"

#include <optional>
#include <string>
#include <vector>

// Reads and checks the whole backup of the log numbered number first; only a backup that holds
// nothing but the keys and files a cleaning deletes, in a form the reader fully understands and
// exactly as its record says, is restored (report.unusable says why not), through the same
// pipeline as a cleaning, into a new numbered log ("Restored Key:", "Not restored File:", ...):
// restored items count as done, those left as refused. The log is left open for the caller to
// close, but for a stop or an uncovered failure.
// A backup made over every profile is restored only in the running user's part.
RunReport run_restore(Context& context, int number);
// run_restore over every profile: the machine's part, then each profile's part in its own hive
// (loaded for the time when its user is not logged on), as a cleaning over every profile works
// in them (ProfileAccess::LockEach).
RunReport run_restore_every_profile(Context& context, int number,
                                    const std::vector<Profile>& profiles);
