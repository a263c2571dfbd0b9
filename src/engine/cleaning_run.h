// A cleaning run apart from any window: the chosen options in, the operations in their fixed
// order, a report out. What happens on the way reaches the caller's observer, so the window and
// the console program each show it their own way.
#pragma once

#include "engine/options.h"
#include "operations/context.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The last line of a log whose run the user stopped.
inline constexpr std::string_view kStopLine = "Cleaning stopped by the user.";

enum class LogStatus {
    None,       // a preview keeps no log
    Open,       // created; the caller closes it
    NoName,     // every number taken, or the host folder cannot be listed: nothing ran
    NotCreated, // the creation failed (see uncovered): nothing ran
};

// A failure that no operation trapped: it ended the run.
struct UncoveredFailure {
    std::string where; // the procedure it arose in; empty before any operation ran
    std::string description;
};

struct RunReport {
    LogStatus log = LogStatus::None;
    std::string log_name;
    std::string log_path;
    // Items by outcome: done (deleted, rights restored, or restored from a backup), previewed,
    // refused (or left by a restore), found gone, kept for a keep list.
    std::size_t done = 0;
    std::size_t previewed = 0;
    std::size_t refused = 0;
    std::size_t missing = 0;
    std::size_t kept = 0;
    std::vector<TrappedFailure> trapped;
    std::optional<UncoveredFailure> uncovered;
    std::string backup_folder; // where the deleted keys and settings files were backed up
    // A restore's backup that cannot be used (none, or not wholly understood): nothing changed.
    std::optional<std::string> unusable;
    // The observer asked to stop: the run ended at an item boundary, and its log, if one was
    // open, got the stop line as its last and is closed.
    bool stopped = false;
};

// A cleaning and a restore keep values of their own in the marker, so that a rule for "cleaned"
// is never met by a restore. A cleaning over every profile is marked as a cleaning, but its backup
// is no user's own.
enum class MarkedRun { Cleaning, EveryProfileCleaning, Restore };

using LoggedBody = std::function<void(Context& counted, const std::string& log_name)>;
// The frame of every run that keeps a log, a cleaning, one over every profile and a restore
// alike: the log's lines told to the observer, a new numbered log, the body with action as the
// run's action, then closing (the lines after the items), the marker and the end of the
// pipeline. An uncovered failure that claimed no procedure is named after procedure, when given.
RunReport run_logged(Context& context, TargetAction& action, MarkedRun marked,
                     std::string_view procedure, const LoggedBody& body,
                     const std::function<void(RunReport&)>& closing = {});

class BackupAction;

// The chosen options' operations in the table's order (the standard panel's, then the advanced
// panel's); with a scope, only the options of that scope.
void run_operations(Context& context, const CleaningOptions& options, const std::string& log_name,
                    std::optional<Scope> scope = std::nullopt);

// What a cleaning runs once its log is open: the operations, with the run's backup.
using CleaningBody =
    std::function<void(Context& counted, BackupAction& backup, const std::string& log_name)>;
// run_cleaning's frame around any body: a new log, the backup folder beside it (or in the
// organisation's), the backup's closing line, the marker, the end of the pipeline.
RunReport run_backed_up_cleaning(Context& context, const CleaningBody& body,
                                 MarkedRun marked = MarkedRun::Cleaning);
// preview_cleaning's frame around any body: a copy of the state, no log, nothing changed.
RunReport run_preview(Context& context, const std::function<void(Context& counted)>& body);

// Cleans with the context's action: creates a new log and runs the chosen
// operations into it, every program-settings key and settings file backed up beside the log
// before it goes (the log's last line names the backup folder). The log is left open for the
// caller to close once it has told the user (the window names the log while it is still open);
// an uncovered failure is logged, closes the log and ends the run, and so does a stop the
// observer asks for (then the stop line follows the backup's).
RunReport run_cleaning(Context& context, const CleaningOptions& options);
// Walks the targets run_cleaning would hand over, in the same order, and changes nothing: no
// log, no log number, not even the shared state's key list. A key the cleaning would not back
// up, and so leave, comes out as not backed up.
RunReport preview_cleaning(Context& context, const CleaningOptions& options);
// The same from what a preview reads: the state (it works on a copy), the platform, and the
// observer that hears it.
RunReport preview_cleaning(const SharedState& state, const platform::Platform& os,
                           RunObserver& observer, const CleaningOptions& options);
