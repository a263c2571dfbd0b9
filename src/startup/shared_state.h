// The state that start-up establishes and every other procedure reads, under the names the
// program has always used for it. Main owns one instance for the program's life.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SharedState {
    std::string VeskPath;             // the host folder; set once by Main
    std::vector<std::string> KeyList; // program-settings keys to delete; grows with each search
    std::vector<std::string> IniList; // the host's settings files
    std::string AppDataPath;
    std::string AuxDataPath;
    std::string ProgramPath;
    // Where the backups go when the organisation's policy names a folder for them:
    // <BackupFolder>\<computer>\<user>. Empty: beside the logs, in VeskPath.
    std::string backup_home;
};
