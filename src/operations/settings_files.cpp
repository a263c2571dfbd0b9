#include "operations/settings_files.h"

#include "operations/folder_walk.h"
#include "operations/trapped_error.h"
#include "startup/host_discovery.h"

#include <string>

namespace {

// Hands the settings file name of folder over, read and deleted through the handle that found
// it. Hidden and system files and folders of the same name count as absent and are left alone.
void delete_if_ordinary_file(Context& context, platform::Folder& folder,
                             const std::string& folder_path, const std::string& name) {
    const platform::Use use =
        context.action.deletes() ? platform::Use::Delete : platform::Use::Read;
    const platform::OpenedFile opened = folder.open_file(name, use);
    const Target target{TargetKind::SettingsFile, folder_path + "\\" + name, &folder, name,
                        opened.file.get()};
    switch (opened.status) {
    case platform::OpenStatus::Missing:
    case platform::OpenStatus::WrongKind:
        return;
    case platform::OpenStatus::Link:
    case platform::OpenStatus::Refused:
        record(context, target, {Outcome::Refused, opened.reason});
        return;
    case platform::OpenStatus::Opened:
        break;
    }
    const std::uint32_t attributes = opened.file->attributes();
    if ((attributes & (platform::attr::kHidden | platform::attr::kSystem)) != 0) {
        return;
    }
    if (platform::is_link(attributes)) {
        record(context, target, {Outcome::Refused, std::string(platform::kLinkNotFollowed)});
        return;
    }
    hand_over(context, target);
}

} // namespace

void MM_DeleteIniFiles(Context& context) {
    trap_failures(context, "Error in MM_DeleteIniFiles: ", "Error in MM_DeleteIniFiles: ", [&] {
        const std::string& host = context.state.VeskPath;
        // A host folder that cannot be opened holds no file to find.
        const platform::OpenedFolder opened = open_folder_at(context, host, platform::Use::Read);
        if (!opened.folder) {
            return;
        }
        for (const std::string& name : context.state.IniList) {
            delete_if_ordinary_file(context, *opened.folder, host, name);
        }
    });
}

void MM_DeleteOpenGLSettings(Context& context) {
    platform::claim_failures("MM_DeleteOpenGLSettings", [&context] {
        const std::string windows_dir = MM_GetWindowsDir(context.os.system);
        // Without a Windows directory the path would name the root of the current drive.
        if (windows_dir.empty()) {
            return;
        }
        const platform::OpenedFolder opened = open_windows_folder(context, windows_dir);
        if (opened.folder) {
            delete_if_ordinary_file(context, *opened.folder, windows_dir,
                                    std::string(kOpenGLSettingsFile));
        }
    });
}
