// The marker that device-management tools read in their detection rules: when the user's last
// cleaning or restore ended, with which exit code, its log, and the program's version.
#pragma once

#include "engine/cleaning_run.h"

#include <cstdint>
#include <string_view>

// Below HKEY_CURRENT_USER.
inline constexpr std::string_view kMarkerKey = "Software\\TOLM\\VESK Cleaning Wizard";
// The version resource's, as the release checks find it in the programs.
inline constexpr std::string_view kVersion = "1.02.0006";

// The exit code the console program gives a cleaning or a restore whose log was opened.
std::uint32_t exit_code_of(const RunReport& report);

// Writes LastCleaningTime (ISO 8601, UTC), LastCleaningExitCode and LastCleaningLog for a
// cleaning, LastRestoreTime, LastRestoreExitCode and LastRestoreLog for a restore, and Version
// for both, for a run whose log was opened, before the log's last line; a cleaning of the user's
// own that made a backup also adds its number to Backups (see own_backups.h). A marker that cannot
// be written gets a line in the log and changes nothing else: not the run's outcome, not its
// report.
void mark_run(Context& context, const RunReport& report, MarkedRun run);
