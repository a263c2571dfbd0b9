#include "operations/temp_files.h"

#include "operations/folder_rules.h"
#include "operations/trapped_error.h"
#include "platform/text.h"

#include <optional>
#include <vector>

namespace {

bool is_folder(const platform::DirEntry& entry) {
    return (entry.attributes & platform::attr::kDirectory) != 0;
}

// Removes every link below folder by itself, never what it leads to. The reason when one
// cannot be removed. A folder that cannot be listed is passed over: the shell cannot get into
// it either.
std::optional<std::string> remove_links_inside(platform::FileSystem& files,
                                               const std::string& folder) {
    std::vector<std::string> folders{folder};
    while (!folders.empty()) {
        const std::string current = std::move(folders.back());
        folders.pop_back();
        const platform::FindResult found = files.find(current + "\\*");
        while (const auto entry = found.search ? found.search->next() : std::nullopt) {
            if (entry->name == "." || entry->name == "..") {
                continue;
            }
            // The shell would join such a name to the folder's path as well.
            if (!is_plain_entry_name(entry->name)) {
                return "the entry " + current + "\\" + entry->name + " in it has " +
                       std::string(kNotAPlainName);
            }
            const std::string path = current + "\\" + entry->name;
            if (platform::is_link(*entry)) {
                const platform::RemovalResult removed = files.remove_link(path);
                if (removed.removal == platform::Removal::Refused) {
                    return "the link " + path +
                           " in it cannot be removed by itself: " + removed.reason;
                }
            } else if (is_folder(*entry)) {
                folders.push_back(path);
            }
        }
    }
    return std::nullopt;
}

// Hands the target over when its name is plain; a name that is not is refused and never
// reaches the action, whose path would lead elsewhere.
void refuse_or_hand_over(Context& context, const Target& target, std::string_view name) {
    if (is_plain_entry_name(name)) {
        hand_over(context, target);
    } else {
        record(context, target, {Outcome::Refused, std::string(kNotAPlainName)});
    }
}

void delete_matching_files(Context& context, std::string_view pattern) {
    const std::string& folder = context.state.VeskPath;
    const platform::FindResult found = context.os.files.find(folder + "\\" + std::string(pattern));
    if (!found.search) {
        return;
    }
    while (const auto entry = found.search->next()) {
        const std::string& name = entry->name;
        // The platform's search also matches 8.3 short names: "*.tlb" would find Setup.tlbak.
        if (is_folder(*entry) || !platform::wildcard_match(pattern, name)) {
            continue;
        }
        refuse_or_hand_over(context, {TargetKind::File, folder + "\\" + name}, name);
    }
}

void delete_project_folders(Context& context) {
    const std::string& folder = context.state.VeskPath;
    const platform::FindResult found = context.os.files.find(folder + "\\*");
    if (!found.search) {
        return;
    }
    while (const auto entry = found.search->next()) {
        const std::string& name = entry->name;
        if (!name.ends_with(kProjectFolderSuffix)) {
            continue;
        }
        // A link goes by itself: following it would empty a folder that is not ours.
        const TargetKind kind =
            platform::is_link(*entry) ? TargetKind::ProjectLink : TargetKind::ProjectFolder;
        refuse_or_hand_over(context, {kind, folder + "\\" + name}, name);
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

platform::RemovalResult MM_ShellDelete(const Context& context, const std::string& path) {
    // Where the recycle bin cannot take the folder, the shell deletes it for good and follows
    // the links in it, emptying folders that are not the suite's: the links go first.
    if (const auto kept = remove_links_inside(context.os.files, path)) {
        return {platform::Removal::Refused, *kept};
    }
    return context.os.files.shell_delete(path);
}
