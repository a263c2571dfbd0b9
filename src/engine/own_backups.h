// The user's own cleanings that have a backup: the window's undo lists them. A backup beside the
// logs is every user's to see, so the cleaning notes its number in the user's part of the
// registry (value Backups of the program's key, beside the run marker) and only those are listed.
// A run over every profile notes none: its backups are the administrators' to restore.
#pragma once

#include "operations/context.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kBackupsValue = "Backups";
// The newest numbers kept in the value; an older backup is still restored by its number.
inline constexpr std::size_t kOwnBackupsNoted = 100;

// Adds the number to the value in key (the program's key, open for writing); the reason when it
// cannot be written.
std::optional<std::string> note_own_backup(platform::RegistryKey& key, int number);
// The numbers the value holds, oldest first; none when it is missing or not a REG_MULTI_SZ.
std::vector<int> own_backup_numbers(platform::Registry& registry);

struct OwnBackup {
    int number = 0;
    std::optional<std::uint64_t> made; // its record's last write, in the system's ticks
    std::size_t keys = 0;
    std::vector<std::string> files; // the settings files' names
    std::string unusable;           // why it cannot be restored; empty when it can
};

// The user's noted backups that are still where a restore looks (the state's backup home),
// newest first, each read and checked as a restore reads it.
std::vector<OwnBackup> own_backups(const Context& context);
