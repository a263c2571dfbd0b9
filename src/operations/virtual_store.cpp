#include "operations/virtual_store.h"

#include "operations/folder_rules.h"

#include <vector>

namespace {

constexpr std::string_view kStoreFolder = "\\VirtualStore\\";
constexpr std::string_view kProgramFilesLeaf = "Veskpath";
constexpr std::string_view kProgramDataStore = "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";
constexpr std::string_view kCouldNotDeleteFile = "Could not delete File:";
constexpr std::string_view kCouldNotCleanDirectory = "Could not clean Directory:";
constexpr std::string_view kLinkNotFollowed = "a link, which is never followed";

// The exact look-up of a store folder, folders included: the attributes of what it finds.
std::optional<std::uint32_t> look_up(platform::FileSystem& files, const std::string& path) {
    if (!IsPlainFolderPath(path)) {
        return std::nullopt;
    }
    const platform::FindResult found = files.find(path);
    if (!found.search) {
        return std::nullopt;
    }
    while (const auto entry = found.search->next()) {
        if ((entry->attributes & (platform::attr::kHidden | platform::attr::kSystem)) == 0) {
            return entry->attributes;
        }
    }
    return std::nullopt;
}

bool is_link(std::uint32_t attributes) {
    return (attributes & platform::attr::kReparsePoint) != 0;
}

// One folder on the way down: its subfolders still to visit and the files to delete once
// they are done. The names are read in full before anything below is touched.
struct Level {
    std::size_t path_length = 0;
    std::vector<std::string> subfolders;
    std::size_t next_subfolder = 0;
    std::vector<std::string> files;
};

// Reads the folder's listing into level; false (and a refusal in the log) when it cannot be
// read. Links are left out: neither they nor anything behind them belong to the store's tree.
bool list_folder(Context& context, const std::string& folder, Level& level) {
    std::string reason;
    try {
        const platform::FindResult found = context.os.files.find(folder + "\\*");
        if (found.failed) {
            reason = found.reason;
        } else if (found.search) {
            while (const auto entry = found.search->next()) {
                if (entry->name == "." || entry->name == ".." || is_link(entry->attributes)) {
                    continue;
                }
                auto& names = (entry->attributes & platform::attr::kDirectory) != 0
                                  ? level.subfolders
                                  : level.files;
                names.push_back(entry->name);
            }
            return true;
        } else {
            return true;
        }
    } catch (const platform::Failure& failure) {
        reason = failure.what();
    }
    context.log.write_refusal(kCouldNotCleanDirectory, folder, reason);
    return false;
}

bool delete_files(Context& context, std::string& folder, const Level& level) {
    bool complete = true;
    for (const std::string& name : level.files) {
        folder.resize(level.path_length);
        folder += '\\';
        folder += name;
        const platform::RemovalResult removed = context.os.files.delete_file(folder);
        if (removed.removal == platform::Removal::Refused) {
            context.log.write_refusal(kCouldNotDeleteFile, folder, removed.reason);
            complete = false;
        }
    }
    folder.resize(level.path_length);
    return complete;
}

} // namespace

std::string MM_GetSpecialFolder(Context& context, int csidl) {
    return context.os.system.special_folder(csidl).value_or(std::string());
}

std::string MM_GetParentPath(std::string_view path) {
    const auto last = path.rfind('\\');
    if (last == std::string_view::npos) {
        return {};
    }
    return std::string(path.substr(0, last + 1));
}

std::string MM_GetVirtualStorePath(Context& context, std::string_view kind) {
    std::string store = MM_GetSpecialFolder(context, platform::kCsidlLocalAppData);
    if (kind == "PD") {
        return store.append(kProgramDataStore);
    }
    const std::string_view program_path = context.state.ProgramPath;
    // A path too short to hold a drive part has no folders to mirror.
    if (program_path.size() > 3) {
        return store.append(kStoreFolder)
            .append(MM_GetParentPath(program_path.substr(3)))
            .append(kProgramFilesLeaf);
    }
    return store.append(kStoreFolder).append(kProgramFilesLeaf);
}

bool VirtualStoreExists(const Context& context, const std::string& path) {
    return look_up(context.os.files, path).has_value();
}

void MM_CleanVirtualStore(Context& context, const std::string& path) {
    platform::claim_failures("MM_CleanVirtualStore", [&] {
        const auto attributes = look_up(context.os.files, path);
        if (!attributes) {
            context.log.write_line(path + " not found!");
            return;
        }
        bool complete = false;
        if (is_link(*attributes)) {
            context.log.write_refusal(kCouldNotCleanDirectory, path, kLinkNotFollowed);
        } else {
            complete = MM_DeleteFolderFiles(context, path);
        }
        context.log.write_line(complete ? "Path cleaned: " : "Path not fully cleaned: ", path);
    });
}

bool MM_DeleteFolderFiles(Context& context, const std::string& folder) {
    return platform::claim_failures("MM_DeleteFolderFiles", [&] {
        // An explicit stack: a store can be nested deeper than any thread's stack would allow.
        std::string path = folder;
        std::vector<Level> levels;
        bool complete = true;
        auto enter = [&] {
            Level& level = levels.emplace_back();
            level.path_length = path.size();
            if (!list_folder(context, path, level)) {
                complete = false;
            }
        };
        enter();
        while (!levels.empty()) {
            Level& level = levels.back();
            if (level.next_subfolder < level.subfolders.size()) {
                path.resize(level.path_length);
                path += '\\';
                path += level.subfolders[level.next_subfolder++];
                enter();
                continue;
            }
            if (!delete_files(context, path, level)) {
                complete = false;
            }
            levels.pop_back();
        }
        return complete;
    });
}
