#include "operations/virtual_store.h"

#include "operations/folder_rules.h"
#include "operations/folder_walk.h"

#include <vector>

namespace {

constexpr std::string_view kStoreFolder = "\\VirtualStore\\";
constexpr std::string_view kProgramFilesLeaf = "Veskpath";
constexpr std::string_view kProgramDataStore = "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";
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

// One folder on the way down, held open: its subfolders still to visit and the files to delete
// once they are done. The names are read in full before anything below is touched.
struct Level {
    std::unique_ptr<platform::Folder> held;
    platform::Folder* folder = nullptr;
    std::size_t path_length = 0;
    std::vector<std::string> subfolders;
    std::size_t next_subfolder = 0;
    std::vector<std::string> files;
};

// Reads the folder's listing into level; false (and a refusal) when it cannot be read or names
// an entry that is not plain. Links are left out: neither they nor anything behind them belong
// to the store's tree.
bool list_folder(Context& context, const std::string& path, Level& level) {
    std::string reason;
    try {
        bool plain = true;
        for (const platform::DirEntry& entry : level.folder->list()) {
            if (platform::is_link(entry)) {
                continue;
            }
            const bool is_folder = (entry.attributes & platform::attr::kDirectory) != 0;
            if (!is_plain_entry_name(entry.name)) {
                // Shown in the log only; never handed to the action.
                record(context,
                       {is_folder ? TargetKind::StoreFolder : TargetKind::StoreFile,
                        path + "\\" + entry.name},
                       {Outcome::Refused, std::string(kNotAPlainName)});
                plain = false;
                continue;
            }
            (is_folder ? level.subfolders : level.files).push_back(entry.name);
        }
        return plain;
    } catch (const platform::Failure& failure) {
        reason = failure.what();
    }
    record(context, {TargetKind::StoreFolder, path}, {Outcome::Refused, reason});
    return false;
}

// The subfolder name of the level's folder, held open; a link put in its place since the
// listing, or a folder that will not open, is refused and its tree left alone.
std::unique_ptr<platform::Folder> enter(Context& context, Level& level, const std::string& name,
                                        const std::string& path) {
    platform::OpenedFolder opened = level.folder->open_folder(name, platform::Use::Read);
    if (opened.folder || opened.status == platform::OpenStatus::Missing) {
        return std::move(opened.folder);
    }
    record(context, {TargetKind::StoreFolder, path}, {Outcome::Refused, opened.reason});
    return nullptr;
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
        // Every folder below the profile's own is reached through the one above it: a link
        // anywhere on the way, or put there while the walk goes on, is never followed.
        platform::OpenedFolder opened = open_folder_at(context, path, platform::Use::Read);
        FilesHandedOver handed;
        if (!opened.folder) {
            record(context, {TargetKind::StoreFolder, path}, {Outcome::Refused, opened.reason});
            handed.complete = false;
        } else {
            try {
                MM_DeleteFolderFiles(context, *opened.folder, path, handed);
            } catch (const RunStopped&) {
                // The log names the store the stop left half-emptied.
                write_store_line(context, "Path not fully cleaned: ",
                                 path + " (stopped after " + std::to_string(handed.done) +
                                     " files)");
                throw;
            }
        }
        write_store_line(
            context, handed.complete ? "Path cleaned: " : "Path not fully cleaned: ",
            handed.kept == 0 ? path : path + " (" + std::to_string(handed.kept) + " files kept)");
    });
}

void MM_DeleteFolderFiles(Context& context, platform::Folder& folder, const std::string& path,
                          FilesHandedOver& handed) {
    platform::claim_failures("MM_DeleteFolderFiles", [&] {
        // An explicit stack: a store can be nested deeper than any thread's stack would allow.
        std::string at = path;
        std::vector<Level> levels;
        auto push = [&](std::unique_ptr<platform::Folder> held, platform::Folder& opened) {
            Level& level = levels.emplace_back();
            level.held = std::move(held);
            level.folder = &opened;
            level.path_length = at.size();
            if (!list_folder(context, at, level)) {
                handed.complete = false;
            }
        };
        push(nullptr, folder);
        while (!levels.empty()) {
            Level& level = levels.back();
            if (level.next_subfolder < level.subfolders.size()) {
                at.resize(level.path_length);
                at += '\\';
                at += level.subfolders[level.next_subfolder++];
                const std::string& name = level.subfolders[level.next_subfolder - 1];
                if (auto entered = enter(context, level, name, at)) {
                    platform::Folder& opened = *entered;
                    push(std::move(entered), opened);
                } else {
                    handed.complete = false;
                }
                continue;
            }
            at.resize(level.path_length);
            hand_over_files(context, *level.folder, at, level.files, TargetKind::StoreFile, handed);
            levels.pop_back();
        }
    });
}
