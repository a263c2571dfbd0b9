#include "operations/temp_files.h"

#include "operations/folder_rules.h"
#include "operations/folder_walk.h"
#include "operations/trapped_error.h"
#include "platform/text.h"

#include <optional>
#include <vector>

namespace {

bool is_folder(const platform::DirEntry& entry) {
    return (entry.attributes & platform::attr::kDirectory) != 0;
}

// Removes every link in the folder and the folders below it by itself, never what it leads to;
// the reason when one cannot be removed. A folder that cannot be entered is passed over: the
// shell cannot get into it either.
std::optional<std::string> remove_links_inside(platform::Folder& top, const std::string& path) {
    std::vector<std::pair<std::unique_ptr<platform::Folder>, std::string>> below;
    auto visit = [&](platform::Folder& folder,
                     const std::string& at) -> std::optional<std::string> {
        for (const platform::DirEntry& entry : folder.list()) {
            const std::string entry_path = at + "\\" + entry.name;
            // The shell would join such a name to the folder's path as well.
            if (!is_plain_entry_name(entry.name)) {
                return "the entry " + entry_path + " in it has " + std::string(kNotAPlainName);
            }
            if (platform::is_link(entry)) {
                const platform::RemovalResult removed = folder.remove_link(entry.name);
                if (removed.removal == platform::Removal::Refused) {
                    return "the link " + entry_path +
                           " in it cannot be removed by itself: " + removed.reason;
                }
            } else if (is_folder(entry)) {
                platform::OpenedFolder opened = folder.open_folder(entry.name, platform::Use::Read);
                if (opened.status == platform::OpenStatus::Link) {
                    return "the link " + entry_path + " in it cannot be removed by itself: " +
                           std::string(platform::kLinkNotFollowed);
                }
                if (opened.folder) {
                    below.emplace_back(std::move(opened.folder), entry_path);
                }
            }
        }
        return std::nullopt;
    };
    if (auto kept = visit(top, path)) {
        return kept;
    }
    while (!below.empty()) {
        auto [folder, at] = std::move(below.back());
        below.pop_back();
        if (auto kept = visit(*folder, at)) {
            return kept;
        }
    }
    return std::nullopt;
}

// Records the target as refused, a name that is not plain: it never reaches the action.
void refuse_name(Context& context, const Target& target) {
    record(context, target, {Outcome::Refused, std::string(kNotAPlainName)});
}

void delete_matching_files(Context& context, std::string_view pattern) {
    const std::string& host = context.state.VeskPath;
    // A host folder that cannot be opened has nothing to search, as before any listing.
    platform::OpenedFolder opened = open_folder_at(context, host, platform::Use::Read);
    if (!opened.folder) {
        return;
    }
    std::vector<std::string> names;
    for (const platform::DirEntry& entry : opened.folder->list()) {
        // A folder is no file to delete; a pattern matches long names only, as the log shows
        // them (the system's search would also match short ones: "*.tlb" finds Setup.tlbak).
        if (is_folder(entry) || !platform::wildcard_match(pattern, entry.name)) {
            continue;
        }
        if (is_plain_entry_name(entry.name)) {
            names.push_back(entry.name);
        } else {
            // Its lines keep their place among the others', after those listed before it.
            FilesHandedOver handed;
            hand_over_files(context, *opened.folder, host, names, TargetKind::File, handed);
            names.clear();
            refuse_name(context, {TargetKind::File, host + "\\" + entry.name});
        }
    }
    FilesHandedOver handed;
    hand_over_files(context, *opened.folder, host, names, TargetKind::File, handed);
}

void delete_project_folders(Context& context) {
    const std::string& host = context.state.VeskPath;
    platform::OpenedFolder opened = open_folder_at(context, host, platform::Use::Read);
    if (!opened.folder) {
        return;
    }
    for (const platform::DirEntry& entry : opened.folder->list()) {
        const std::string& name = entry.name;
        if (!name.ends_with(kProjectFolderSuffix)) {
            continue;
        }
        // A link goes by itself: following it would empty a folder that is not ours.
        const TargetKind kind =
            platform::is_link(entry) ? TargetKind::ProjectLink : TargetKind::ProjectFolder;
        const Target target{kind, host + "\\" + name, opened.folder.get(), name};
        if (is_plain_entry_name(name)) {
            hand_over(context, target);
        } else {
            refuse_name(context, target);
        }
    }
}

} // namespace

void MM_DeleteTempFiles(Context& context, std::string_view pattern) {
    // The log has always named this operation MM_DeleteFiles.
    trap_failures(context, "Error in MM_DeleteFiles: ", "Error in MM_DeleteTempFiles: ", [&] {
        delete_matching_files(context, pattern);
    });
}

void MM_DeleteTempDirs(Context& context) {
    trap_failures(context, "Error in MM_DeleteTempDirs: ", "Error in MM_DeleteTempDirs: ", [&] {
        delete_project_folders(context);
    });
}

namespace {

// Takes the links out of the project folder before it goes: what they lead to is not the suite's.
// The reason it must stay, if one cannot be taken out; nullopt for an entry that is no folder.
std::optional<platform::RemovalResult> links_taken_out(const Target& target) {
    platform::OpenedFolder opened = target.folder->open_folder(target.name, platform::Use::Read);
    switch (opened.status) {
    case platform::OpenStatus::Missing:
        return platform::RemovalResult{platform::Removal::Missing, opened.reason};
    case platform::OpenStatus::Link:
        return platform::RemovalResult{platform::Removal::Refused,
                                       std::string(platform::kLinkNotFollowed)};
    case platform::OpenStatus::WrongKind:
    case platform::OpenStatus::Refused:
        // A file goes as it is; a folder that will not open is the deletion's to refuse.
        return std::nullopt;
    case platform::OpenStatus::Opened:
        break;
    }
    if (const auto kept = remove_links_inside(*opened.folder, target.path)) {
        return platform::RemovalResult{platform::Removal::Refused, *kept};
    }
    return std::nullopt;
}

} // namespace

platform::RemovalResult MM_ShellDelete(const Context& context, const Target& target) {
    // Where the recycle bin cannot take the folder, the shell deletes it for good and follows
    // the links in it, emptying folders that are not the suite's: the links go first.
    if (auto kept = links_taken_out(target)) {
        return *kept;
    }
    return context.os.files.shell_delete(target.path);
}

platform::RemovalResult delete_project_folder(const Context& context, const Target& target) {
    if (!target.folder) {
        throw platform::Failure("A project folder is handed over without its folder.");
    }
    // An elevated run works where the folder's owner may put links at any moment: everything
    // goes through the walk's handles, none through the shell's paths, and nothing into the
    // recycle bin, which would be the elevated account's.
    if (!context.os.system.may_clean_every_profile()) {
        return MM_ShellDelete(context, target);
    }
    if (auto kept = links_taken_out(target)) {
        return *kept;
    }
    return delete_folder_tree(*target.folder, target.name, target.path);
}
