#include "operations/delete_action.h"

#include "operations/access_rights.h"
#include "operations/temp_files.h"

namespace {

// A file the walk reached through its folder: through its own handle when the walk opened it.
// The platform says Deleted only once it is gone.
platform::RemovalResult delete_entry(const Target& target) {
    if (target.file) {
        return target.file->delete_now();
    }
    if (!target.folder) {
        throw platform::Failure("A file is handed over without its folder.");
    }
    return target.folder->delete_file(target.name);
}

} // namespace

ItemOutcome DeleteAction::apply(const Context& context, const Target& target) {
    switch (target.kind) {
    case TargetKind::Key:
        return outcome_of(platform::delete_key_tree(
            context.os.registry, platform::RegistryRoot::CurrentUser, target.path));
    case TargetKind::SettingsFile:
    case TargetKind::File:
    case TargetKind::StoreFile:
        return outcome_of(delete_entry(target));
    case TargetKind::ProjectFolder:
        return outcome_of(delete_project_folder(context, target));
    case TargetKind::ProjectLink:
        if (!target.folder) {
            throw platform::Failure("A link is handed over without its folder.");
        }
        return outcome_of(target.folder->remove_link(target.name));
    case TargetKind::FolderRights:
        return start_rights_tool(context, target.path);
    case TargetKind::StoreFolder:
        break;
    }
    throw platform::Failure("A store folder is never handed to an action.");
}
