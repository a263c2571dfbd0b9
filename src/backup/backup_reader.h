// Reading a backup back, beside where backup_action writes it. A backup is read once, through
// the handles of its folders, and checked against its records before anything is restored: the
// bytes a restore writes are the bytes that were checked.
//
// What a backup may hold: the file registry.reg (the keys, in the registry editor's format), the
// settings files a cleaning backs up (by their names), and its record contents.sha256, which
// names the size and digest of each; a backup made over every profile also holds one folder a
// profile, named by its SID, holding that profile's registry.reg and record and nothing else,
// and the whole's record names each part's record with its size and digest. Nothing in it may be
// a link.
#pragma once

#include "backup/reg_file.h"
#include "operations/context.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One deleted key: its own block and the blocks of its subkeys.
struct KeyGroup {
    std::string path; // below the part's key root
    std::vector<const RegKeyBlock*> blocks;
};

struct FileToRestore {
    std::string place;  // where it was deleted from
    std::string folder; // the folder it goes back into
    std::string name;
    std::string bytes; // as the backup's record says they were written, checked
    std::uint32_t attributes = 0;
};

// What one record covers: the machine's part, or one profile's. Not to be copied: its key
// groups point into its registry file.
struct BackupPart {
    std::string sid; // empty for the machine's part
    RegFile registry;
    std::vector<KeyGroup> keys;
    std::vector<FileToRestore> files;

    BackupPart() = default;
    BackupPart(BackupPart&&) = default;
    BackupPart& operator=(BackupPart&&) = default;
    BackupPart(const BackupPart&) = delete;
    BackupPart& operator=(const BackupPart&) = delete;
};

struct WholeBackup {
    BackupPart machine;
    std::vector<BackupPart> profiles;
};

// Why a backup cannot be used: nothing is changed.
struct Unusable {
    std::string why;
};

// The backup of the cleaning numbered number, for this user (every_profile false) or for every
// profile, where the run's state says backups are; every check made, or why it cannot be used.
std::variant<WholeBackup, Unusable> read_backup(const Context& context, int number,
                                                bool every_profile);
