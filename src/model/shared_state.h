// The state that start-up establishes and every other procedure reads, under the names the
// program has always used for it. Main owns one instance for the program's life.
#pragma once

#include "model/keep_list.h"
#include "model/plan.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Where a run's backups go, when not beside its log.
struct BackupHome {
    std::string base;   // a folder that must exist: the organisation's, or %ProgramData%
    std::string folder; // base and the folders below it that a backup makes where missing
    // Made for administrators alone (a run over every profile), and restored only while so.
    bool administrators_only = false;
};

struct SharedState {
    std::string VeskPath;             // the host folder; set once by Main
    std::vector<std::string> KeyList; // program-settings keys to delete; grows with each search
    std::vector<std::string> IniList; // the host's settings files
    std::string AppDataPath;
    std::string AuxDataPath;
    std::string ProgramPath;
    // Where the backups go when the organisation's policy names a folder for them
    // (<BackupFolder>\<computer>\<user>), or a run over every profile keeps them for
    // administrators. An empty folder: beside the logs, in VeskPath.
    BackupHome backup_home;
    // What the run leaves alone: the organisation's and the command line's patterns, which the
    // run sets, and the list of the profile being cleaned, read as its cleaning starts.
    KeepList keep;
    // A preview that writes a plan fills plan_made; a cleaning that applies a plan takes only
    // what plan_applied lists, as it was. Shared by the copies a run over every profile makes.
    std::shared_ptr<Plan> plan_made;
    std::shared_ptr<Plan> plan_applied;
};
