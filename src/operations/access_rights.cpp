#include "operations/access_rights.h"

#include "operations/folder_rules.h"
#include "operations/folder_walk.h"

#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kTool = "\\icacls.exe";
// Users (by SID, so that the name's language does not matter) get full control, inherited by
// files and subfolders, replacing what they had; /T walks the tree, /Q keeps the tool quiet.
constexpr std::string_view kGrantUsers = " /T /Q /grant:r *S-1-5-32-545:(OI)(CI)F";
constexpr std::string_view kNotChangeable = "not a folder the wizard may change";
constexpr std::string_view kNoSystemFolder = "the system folder cannot be found";
constexpr std::string_view kWaitCalledOff =
    "stopped waiting for icacls, which may still be running";

// The folder between double quotes. Backslashes before a quote escape it, so a trailing run of
// them is doubled to stay literal and leave the quote closing the argument.
std::string quoted(const std::string& folder) {
    const std::size_t kept = folder.find_last_not_of('\\') + 1;
    return '"' + folder + folder.substr(kept) + '"';
}

// A stop seen at the first folder's line waits for the second folder's: its tool has run too,
// and the log must say what became of it.
void record_each(Context& context, const std::vector<std::pair<Target, ItemOutcome>>& restored,
                 bool logged) {
    std::optional<RunStopped> stop;
    for (const auto& [folder, outcome] : restored) {
        try {
            if (logged) {
                record(context, folder, outcome);
            } else {
                context.observer.item_handled({folder, outcome});
            }
        } catch (const RunStopped& seen) {
            stop = seen;
        }
    }
    if (stop) {
        throw *stop;
    }
}

ItemOutcome grant_through_handles(const Context& context, const std::string& folder) {
    platform::OpenedFolder opened = open_folder_at(context, folder, platform::Use::ChangeRights);
    if (!opened.folder) {
        return {Outcome::Refused, opened.reason};
    }
    if (auto kept = grant_tree(*opened.folder, folder)) {
        return {Outcome::Refused, *kept};
    }
    return {Outcome::Done, {}};
}

} // namespace

ItemOutcome start_rights_tool(const Context& context, const std::string& folder) {
    // An elevated run grants more than the folder's users could grant themselves: a path that
    // they can redirect, or a file of theirs that is another's by a second name, would hand them
    // the system's files. It walks the folder through its handles and changes each entry itself.
    if (context.os.system.may_clean_every_profile()) {
        return grant_through_handles(context, folder);
    }
    // Only the system's own tool: a program of that name planted beside the wizard or on the
    // search path must not run in its place.
    const std::string system_folder = context.os.system.system_directory();
    if (system_folder.empty()) {
        return {Outcome::Refused, std::string(kNoSystemFolder)};
    }
    // The tool takes the path: the folders on it are held, so that nobody renames or replaces
    // one of them before the tool has finished.
    const platform::HeldFolders held = platform::hold_checked(context.os.files, folder);
    if (!held.reason.empty()) {
        return {Outcome::Refused, held.reason};
    }
    const std::string command_line = "icacls " + quoted(folder) + std::string(kGrantUsers);
    const platform::ProcessResult result =
        context.os.processes.run_and_wait(system_folder + std::string(kTool), command_line);
    if (!result.started) {
        return {Outcome::Refused, result.reason};
    }
    if (!result.finished) {
        return {Outcome::Refused, std::string(kWaitCalledOff)};
    }
    if (result.exit_code != 0) {
        return {Outcome::Refused, "icacls exit code " + std::to_string(result.exit_code)};
    }
    return {Outcome::Done, {}};
}

ItemOutcome MM_SetFolderPermissions(Context& context, const std::string& folder) {
    return platform::claim_failures("MM_SetFolderPermissions", [&]() -> ItemOutcome {
        // The tool would take a root as the whole drive and a wildcard as every folder it
        // matches, granting Users full control of all of it.
        if (!is_plain_folder_path(folder)) {
            return {Outcome::Refused, std::string(kNotChangeable)};
        }
        return context.action.apply(context, {TargetKind::FolderRights, folder});
    });
}

void MM_RestoreAccessRights(Context& context, const std::string& log_name) {
    platform::claim_failures("MM_RestoreAccessRights", [&] {
        std::vector<std::pair<Target, ItemOutcome>> restored;
        for (const std::string* folder : {&context.state.AppDataPath, &context.state.AuxDataPath}) {
            // A stop asked for while the first tool ran leaves the second folder as it is.
            if (!restored.empty() && context.observer.stop_requested()) {
                break;
            }
            if (!folder->empty()) {
                ItemOutcome outcome = MM_SetFolderPermissions(context, *folder);
                restored.emplace_back(Target{TargetKind::FolderRights, *folder},
                                      std::move(outcome));
            }
        }
        // The lines follow both tools' runs, so that a log that fails cannot stop the second.
        record_each(context, restored, !log_name.empty());
    });
}
