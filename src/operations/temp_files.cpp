#include "operations/temp_files.h"

#include "operations/removal_log.h"
#include "operations/trapped_error.h"
#include "platform/text.h"

namespace {

bool is_folder(const platform::DirEntry& entry) {
    return (entry.attributes & platform::attr::kDirectory) != 0;
}

bool is_link(const platform::DirEntry& entry) {
    return (entry.attributes & platform::attr::kReparsePoint) != 0;
}

void delete_matching_files(Context& context, std::string_view pattern) {
    const std::string& folder = context.state.VeskPath;
    const platform::FindResult found = context.os.files.find(folder + "\\" + std::string(pattern));
    if (!found.search) {
        return;
    }
    while (const auto entry = found.search->next()) {
        const std::string name = MM_TrimAtNull(entry->name);
        // The platform's search also matches 8.3 short names: "*.tlb" would find Setup.tlbak.
        if (is_folder(*entry) || !platform::wildcard_match(pattern, name)) {
            continue;
        }
        const std::string path = folder + "\\" + name;
        LogRemoval(context.log, context.os.files.delete_file(path), "File", path);
    }
}

void delete_project_folders(Context& context) {
    const std::string& folder = context.state.VeskPath;
    const platform::FindResult found = context.os.files.find(folder + "\\*");
    if (!found.search) {
        return;
    }
    while (const auto entry = found.search->next()) {
        const std::string name = MM_TrimAtNull(entry->name);
        if (!name.ends_with(kProjectFolderSuffix)) {
            continue;
        }
        const std::string path = folder + "\\" + name;
        // A link goes by itself: following it would empty a folder that is not ours.
        const platform::RemovalResult result =
            is_link(*entry) ? context.os.files.remove_link(path) : MM_ShellDelete(context, path);
        LogRemoval(context.log, result, "Directory", path);
    }
}

} // namespace

void MM_DeleteTempFiles(Context& context, std::string_view pattern) {
    try {
        delete_matching_files(context, pattern);
    } catch (const std::exception& failure) {
        // The log has always named this operation MM_DeleteFiles.
        ReportTrappedError(
            context, "Error in MM_DeleteFiles: ", "Error in MM_DeleteTempFiles: ", failure.what());
    }
}

void MM_DeleteTempDirs(Context& context) {
    try {
        delete_project_folders(context);
    } catch (const std::exception& failure) {
        ReportTrappedError(context, "Error in MM_DeleteTempDirs: ", "Error in MM_DeleteTempDirs: ",
                           failure.what());
    }
}

std::string MM_TrimAtNull(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

platform::RemovalResult MM_ShellDelete(Context& context, const std::string& path) {
    return context.os.files.shell_delete(path);
}
