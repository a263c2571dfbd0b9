// Putting back what a cleaning backed up: the program-settings keys of registry.reg and the
// settings files of Cleaning<N>.backup, each only where its place is free now.
#pragma once

#include "engine/cleaning_run.h"

#include <optional>
#include <string>

struct RestoreReport {
    // Why the backup cannot be used (none, or not understood); nothing was changed then.
    std::optional<std::string> unusable;
    LogStatus log = LogStatus::None;
    std::string log_name;
    std::string log_path;
    std::size_t restored = 0;
    std::size_t left = 0; // found in its place again, or refused by the platform
    std::optional<UncoveredFailure> uncovered;
    // The observer asked to stop: the restore ended after an item, with the stop line last.
    bool stopped = false;
};

// Reads and checks the whole backup of the log numbered number first; only a backup that holds
// nothing but the keys and files a cleaning deletes, in a form the reader fully understands, is
// restored, into a new numbered log ("Restored Key:", "Not restored File:", ...). The observer
// is asked after every item whether to stop. The log is left open for the caller to close.
RestoreReport run_restore(Context& context, int number);
