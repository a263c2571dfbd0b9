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

// The attributes of the entry at path itself, hidden and system ones included; nullopt when
// there is none.
std::optional<std::uint32_t> attributes_of(platform::FileSystem& files, const std::string& path) {
    const platform::FindResult found = files.find(path);
    const auto entry = found.search ? found.search->next() : std::nullopt;
    if (!entry) {
        return std::nullopt;
    }
    return entry->attributes;
}

// The first folder on the way down to a store that is a link, or an empty text when there is
// none: through it the walk would leave the store's own tree. The way starts at the local
// application-data folder, where the system keeps the stores (the folders above it are the
// profile's own, which a link may move without harm); for any other path below its drive.
std::string link_on_the_way(Context& context, const std::string& path) {
    const std::string local = MM_GetSpecialFolder(context, platform::kCsidlLocalAppData);
    const bool below_local = !local.empty() && path.size() > local.size() &&
                             path.compare(0, local.size(), local) == 0 &&
                             path[local.size()] == '\\';
    for (std::size_t end = below_local ? local.size() : path.find('\\', kDrivePart);
         end != std::string::npos; end = path.find('\\', end + 1)) {
        std::string folder = path.substr(0, end);
        const auto attributes = attributes_of(context.os.files, folder);
        if (attributes && platform::is_link(*attributes)) {
            return folder;
        }
    }
    return {};
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

// Reads the folder's listing into level; false (and a refusal) when it cannot be read or names
// an entry that is not plain. Links are left out: neither they nor anything behind them belong
// to the store's tree.
bool list_folder(Context& context, const std::string& folder, Level& level) {
    std::string reason;
    try {
        const platform::FindResult found = context.os.files.find(folder + "\\*");
        if (!found.failed) {
            bool plain = true;
            while (const auto entry = found.search ? found.search->next() : std::nullopt) {
                if (entry->name == "." || entry->name == ".." || platform::is_link(*entry)) {
                    continue;
                }
                const bool is_folder = (entry->attributes & platform::attr::kDirectory) != 0;
                if (!is_plain_entry_name(entry->name)) {
                    // Shown in the log only; never handed to the action as a path.
                    record(context,
                           {is_folder ? TargetKind::StoreFolder : TargetKind::StoreFile,
                            folder + "\\" + entry->name},
                           {Outcome::Refused, std::string(kNotAPlainName)});
                    plain = false;
                    continue;
                }
                (is_folder ? level.subfolders : level.files).push_back(entry->name);
            }
            return plain;
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

std::string MM_GetVirtualStorePath(Context& context, StoreKind kind) {
    std::string store = MM_GetSpecialFolder(context, platform::kCsidlLocalAppData);
    if (kind == StoreKind::ProgramData) {
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

bool store_is_mirrored(const SharedState& state, StoreKind kind) {
    const std::string_view program_path = state.ProgramPath;
    return kind != StoreKind::ProgramFiles ||
           (program_path.size() > kDrivePart &&
            !MM_GetParentPath(program_path.substr(kDrivePart)).empty());
}

bool store_exists(const Context& context, StoreKind kind, const std::string& path) {
    return store_is_mirrored(context.state, kind) && virtual_store_exists(context, path);
}

void clean_store(Context& context, StoreKind kind, const std::string& path) {
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
        const std::string link = link_on_the_way(context, path);
        bool complete = false;
        if (platform::is_link(*attributes) || !link.empty()) {
            const std::string reason =
                link.empty() ? std::string(kLinkNotFollowed)
                             : "its folder " + link + " is " + std::string(kLinkNotFollowed);
            record(context, {TargetKind::StoreFolder, path}, {Outcome::Refused, reason});
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
