#include "startup/main.h"

#include "model/name_tables.h"
#include "startup/host_discovery.h"

namespace {

// The key's AppData Path, else the pointer file. nullopt: the program must end.
std::optional<std::string> choose_host_folder(SharedState& state, const platform::Platform& os,
                                              platform::UserInterface& ui) {
    if (!state.AppDataPath.empty()) {
        return state.AppDataPath;
    }
    return MM_ReadDirFile(os, ui, MM_GetWindowsDir(os.system));
}

// A path that is empty, blank or not fully qualified would make every cleaning path
// relative to the current drive, so it counts as not found. An existing file still passes.
bool host_folder_exists(const std::string& path, platform::FileSystem& files) {
    return is_fully_qualified(path) &&
           platform::finds_entry(files, path, platform::Lookup::FoldersIncluded);
}

StartOutcome start(SharedState& state, const platform::Platform& os, platform::UserInterface& ui) {
    MM_ReadHostPaths(state, os.registry);
    const auto folder = choose_host_folder(state, os, ui);
    if (!folder) {
        return StartOutcome::NoPointerFile;
    }
    state.VeskPath = *folder;
    if (!host_folder_exists(state.VeskPath, os.files)) {
        ui.message_box("Veskpath not found!", platform::kMbWarning);
        return StartOutcome::NoHostFolder;
    }
    MF_FillIniList(state);
    MF_FillKeyList(state);
    return StartOutcome::Started;
}

} // namespace

StartOutcome start_program(SharedState& state, const platform::Platform& os,
                           platform::UserInterface& ui) {
    try {
        return start(state, os, ui);
    } catch (const platform::Failure& failure) {
        report_fatal_failure(ui, failure.where.empty() ? "Main" : failure.where, failure.what());
    } catch (const std::exception& failure) {
        report_fatal_failure(ui, "Main", failure.what());
    }
    return StartOutcome::Failed;
}

bool Main(SharedState& state, const platform::Platform& os, platform::UserInterface& ui) {
    return start_program(state, os, ui) == StartOutcome::Started;
}

void report_fatal_failure(platform::UserInterface& ui, std::string_view where,
                          std::string_view description) {
    std::string text = "An error occurred in ";
    text += where;
    text += ":\r\n";
    text += description;
    text += "\r\n\r\nThe program will now end.";
    ui.message_box(text, platform::kMbError);
}
