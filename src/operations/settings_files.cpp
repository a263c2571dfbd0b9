#include "operations/settings_files.h"

#include "operations/trapped_error.h"
#include "startup/host_discovery.h"

#include <string>

namespace {

// Hidden and system files and folders of the same name count as absent and are left alone.
void delete_if_ordinary_file(Context& context, const std::string& path) {
    if (platform::finds_entry(context.os.files, path, platform::Lookup::OrdinaryFiles)) {
        hand_over(context, {TargetKind::SettingsFile, path});
    }
}

} // namespace

void MM_DeleteIniFiles(Context& context) {
    trap_failures(context, "Error in MM_DeleteIniFiles: ", "Error in MM_DeleteIniFiles: ", [&] {
        for (const std::string& name : context.state.IniList) {
            delete_if_ordinary_file(context, context.state.VeskPath + "\\" + name);
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
        delete_if_ordinary_file(context, windows_dir + "\\" + std::string(kOpenGLSettingsFile));
    });
}
