#include "operations/virtual_store.h"

#include "operations/folder_rules.h"

#include <vector>

namespace {

constexpr std::string_view kStoreFolder = "\\VirtualStore\\";
constexpr std::string_view kProgramFilesLeaf = "Veskpath";
constexpr std::string_view kProgramDataStore = "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";
constexpr std::string_view kLinkNotFollowed = "a link, which is never followed";
constexpr std::size_t kDrivePart = 3;

// The exact look-up of a store folder, folders included: the attributes of what it finds.
std::optional<std::uint32_t> look_up(platform::FileSystem& files, const std::string& path) {
    if (!is_plain_folder_path(path)) {
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

// The store's closing line. A preview keeps no log.
void write_store_line(Context& context, std::string_view label, std::string_view path) {
    if (context.log.is_open()) {
        context.log.write_line(label, path);
    }
}

void write_missing_store(Context& context, const std::string& path) {
    if (context.log.is_open()) {
        context.log.write_line(path + " not found!");
    }
}

// One folder on the way down: its subfolders still to visit and the files to delete once
// they are done. The names are read in full before anything below is touched.
struct Level {
    std::size_t path_length = 0;
    std::vector<std::string> subfolders;
    std::size_t next_subfolder = 0;
    std::vector<std::string> files;
};

// Reads the folder's listing into level; false (and a refusal) when it cannot be read. Links
// are left out: neither they nor anything behind them belong to the store's tree.
bool list_folder(Context& context, const std::string& folder, Level& level) {
    std::string reason;
    try {
        const platform::FindResult found = context.os.files.find(folder + "\\*");
        if (!found.failed) {
            while (const auto entry = found.search ? found.search->next() : std::nullopt) {
                if (entry->name == "." || entry->name == ".." || platform::is_link(*entry)) {
                    continue;
                }
                auto& names = (entry->attributes & platform::attr::kDirectory) != 0
                                  ? level.subfolders
                                  : level.files;
                names.push_back(entry->name);
            }
            return true;
        }
        reason = found.reason;
    } catch (const platform::Failure& failure) {
        reason = failure.what();
    }
    record(context, {TargetKind::StoreFolder, folder}, {Outcome::Refused, reason});
    return false;
}

bool delete_files(Context& context, std::string& folder, const Level& level) {
    bool complete = true;
    for (const std::string& name : level.files) {
        folder.resize(level.path_length);
        folder += '\\';
        folder += name;
        if (hand_over(context, {TargetKind::StoreFile, folder}).outcome == Outcome::Refused) {
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
    if (program_path.size() > kDrivePart) {
        return store.append(kStoreFolder)
            .append(MM_GetParentPath(program_path.substr(kDrivePart)))
            .append(kProgramFilesLeaf);
    }
    return store.append(kStoreFolder).append(kProgramFilesLeaf);
}

bool virtual_store_exists(const Context& context, const std::string& path) {
    return look_up(context.os.files, path).has_value();
}

bool store_is_mirrored(const SharedState& state, std::string_view kind) {
    const std::string_view program_path = state.ProgramPath;
    return kind != "PF" || (program_path.size() > kDrivePart &&
                            !MM_GetParentPath(program_path.substr(kDrivePart)).empty());
}

bool store_exists(const Context& context, std::string_view kind, const std::string& path) {
    return store_is_mirrored(context.state, kind) && virtual_store_exists(context, path);
}

void clean_store(Context& context, std::string_view kind, const std::string& path) {
    if (store_is_mirrored(context.state, kind)) {
        MM_CleanVirtualStore(context, path);
    } else {
        write_missing_store(context, path);
    }
}

void MM_CleanVirtualStore(Context& context, const std::string& path) {
    platform::claim_failures("MM_CleanVirtualStore", [&] {
        const auto attributes = look_up(context.os.files, path);
        if (!attributes) {
            write_missing_store(context, path);
            return;
        }
        bool complete = false;
        if (platform::is_link(*attributes)) {
            record(context, {TargetKind::StoreFolder, path},
                   {Outcome::Refused, std::string(kLinkNotFollowed)});
        } else {
            complete = MM_DeleteFolderFiles(context, path);
        }
        write_store_line(context, complete ? "Path cleaned: " : "Path not fully cleaned: ", path);
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
