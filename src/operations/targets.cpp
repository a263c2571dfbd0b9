#include "operations/targets.h"

#include "operations/access_rights.h"
#include "operations/context.h"
#include "operations/temp_files.h"

namespace {

constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER\\";

ItemOutcome outcome_of(const platform::RemovalResult& result) {
    switch (result.removal) {
    case platform::Removal::Deleted:
        return {Outcome::Done, {}};
    case platform::Removal::Refused:
        return {Outcome::Refused, result.reason};
    case platform::Removal::Missing:
        break;
    }
    return {Outcome::Missing, result.reason};
}

// A deletion the platform reports done counts once the entry is gone: a file the file system
// will not let go (an immutable one), or a link whose target went instead, stays.
ItemOutcome confirmed(const Context& context, const Target& target,
                      const platform::RemovalResult& result) {
    if (result.removal == platform::Removal::Deleted && context.os.files.still_there(target.path)) {
        return {Outcome::Refused, "still there after deletion"};
    }
    return outcome_of(result);
}

platform::RemovalResult delete_key(const Context& context, const std::string& path) {
    // Without the NT family the platform cannot remove a key that still has subkeys.
    return context.state.IsWinNT
               ? context.os.registry.delete_key_tree(platform::RegistryRoot::CurrentUser, path)
               : context.os.registry.delete_key(platform::RegistryRoot::CurrentUser, path);
}

// The log's words for what became of a target of each kind: after a deletion (none where the
// log names only what could not be done) and after a refusal.
struct Labels {
    std::string_view done;
    std::string_view refused;
};

Labels labels_of(TargetKind kind) {
    switch (kind) {
    case TargetKind::Key:
        return {"Deleted Key:", "Could not delete Key:"};
    case TargetKind::SettingsFile:
    case TargetKind::File:
        return {"Deleted File:", "Could not delete File:"};
    case TargetKind::ProjectFolder:
    case TargetKind::ProjectLink:
        return {"Deleted Directory:", "Could not delete Directory:"};
    case TargetKind::StoreFile:
        return {{}, "Could not delete File:"};
    case TargetKind::StoreFolder:
        return {{}, "Could not clean Directory:"};
    case TargetKind::FolderRights:
        break;
    }
    return {"Permissions Set For: ", "Permissions Not Set For: "};
}

void write_log_line(CleaningLog& log, const Target& target, const ItemOutcome& outcome) {
    const Labels labels = labels_of(target.kind);
    switch (outcome.outcome) {
    case Outcome::Done:
        if (!labels.done.empty()) {
            log.write_line(labels.done, shown_path(target));
        }
        break;
    case Outcome::Refused:
        log.write_refusal(labels.refused, shown_path(target), outcome.reason);
        break;
    case Outcome::NotBackedUp:
        log.write_refusal(target.kind == TargetKind::Key ? "Could not back up Key:"
                                                         : "Could not back up File:",
                          shown_path(target), outcome.reason);
        break;
    case Outcome::Previewed:
    case Outcome::Missing:
        break;
    }
}

} // namespace

std::string shown_path(const Target& target) {
    if (target.kind == TargetKind::Key) {
        return std::string(kCurrentUser) + target.path;
    }
    return target.path;
}

ItemOutcome DeleteAction::apply(const Context& context, const Target& target) {
    switch (target.kind) {
    case TargetKind::Key:
        return outcome_of(delete_key(context, target.path));
    case TargetKind::SettingsFile:
    case TargetKind::File:
    case TargetKind::StoreFile:
        return confirmed(context, target, context.os.files.delete_file(target.path));
    case TargetKind::ProjectFolder:
        return outcome_of(MM_ShellDelete(context, target.path));
    case TargetKind::ProjectLink:
        return confirmed(context, target, context.os.files.remove_link(target.path));
    case TargetKind::FolderRights:
        return start_rights_tool(context, target.path);
    case TargetKind::StoreFolder:
        break;
    }
    throw platform::Failure("A store folder is never handed to an action.");
}

ItemOutcome PreviewAction::apply(const Context& /*context*/, const Target& /*target*/) {
    return {Outcome::Previewed, {}};
}

ItemOutcome apply_action(const Context& context, const Target& target) {
    return context.action.apply(context, target);
}

void record(Context& context, const Target& target, const ItemOutcome& outcome) {
    if (context.log.is_open()) {
        write_log_line(context.log, target, outcome);
    }
    context.observer.item_handled({target, outcome});
}

ItemOutcome hand_over(Context& context, const Target& target) {
    ItemOutcome outcome = apply_action(context, target);
    record(context, target, outcome);
    return outcome;
}
