#include "engine/restore_run.h"

#include "backup/backup_action.h"
#include "engine/line_echo.h"
#include "engine/numbered_log.h"
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "platform/text.h"
#include "startup/host_discovery.h"
#include "startup/name_tables.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER\\";
constexpr std::string_view kExistsAgain = "it exists again";

// One deleted key: its own block and the blocks of its subkeys.
struct KeyGroup {
    std::string path; // below HKEY_CURRENT_USER
    std::vector<const RegKeyBlock*> blocks;
};

struct FileToRestore {
    std::string backup; // the copy in the backup folder
    std::string place;  // where it was deleted from
};

struct Backup {
    RegFile registry;
    std::vector<KeyGroup> keys;
    std::vector<FileToRestore> files;
};

// A failure to use the backup: nothing is changed.
struct Unusable {
    std::string why;
};

std::string below_current_user(const std::string& full) {
    if (full.size() <= kCurrentUser.size() ||
        !platform::iequals(std::string_view(full).substr(0, kCurrentUser.size()), kCurrentUser)) {
        throw Unusable{"the key " + full + " is not the current user's"};
    }
    return full.substr(kCurrentUser.size());
}

// Groups the file's keys by the key of the branch that each lies in. Every key must lie in the
// branch, below one that the cleaning deletes, and after it: a restore writes nowhere else.
std::vector<KeyGroup> group_keys(const RegFile& file) {
    const std::string branch = std::string(kSettingsBranch) + "\\";
    std::vector<KeyGroup> groups;
    for (const RegKeyBlock& block : file.keys) {
        const std::string path = below_current_user(block.path);
        if (path.size() <= branch.size() ||
            !platform::iequals(std::string_view(path).substr(0, branch.size()), branch)) {
            throw Unusable{"the key " + block.path + " is not in the program-settings branch"};
        }
        const std::string name = path.substr(branch.size());
        if (name.find('\\') == std::string::npos) {
            if (!is_program_settings_key(name)) {
                throw Unusable{"the key " + block.path + " is not one the cleaning deletes"};
            }
            groups.push_back({path, {&block}});
            continue;
        }
        if (groups.empty() || path.size() <= groups.back().path.size() + 1 ||
            !platform::iequals(std::string_view(path).substr(0, groups.back().path.size() + 1),
                               groups.back().path + "\\")) {
            throw Unusable{"the key " + block.path + " does not follow the key it lies in"};
        }
        groups.back().blocks.push_back(&block);
    }
    return groups;
}

// The settings file's place, by its name: the host folder's files, or the OpenGL file in the
// Windows folder. Any other name is not one the cleaning backs up.
std::string place_of(const Context& context, const std::string& name) {
    if (platform::iequals(name, kOpenGLSettingsFile)) {
        const std::string windows = MM_GetWindowsDir(context.os.system);
        if (windows.empty()) {
            throw Unusable{"the Windows folder cannot be found for " + name};
        }
        return windows + "\\" + name;
    }
    SharedState tables;
    MF_FillIniList(tables);
    if (std::ranges::none_of(
            tables.IniList, [&](const std::string& row) { return platform::iequals(row, name); })) {
        throw Unusable{"the backup holds " + name + ", which the cleaning never backs up"};
    }
    return context.state.VeskPath + "\\" + name;
}

Backup read_backup(const Context& context, const std::string& folder) {
    const platform::FindResult found = context.os.files.find(folder + "\\*");
    if (found.failed ||
        !platform::finds_entry(context.os.files, folder, platform::Lookup::FoldersIncluded)) {
        throw Unusable{"there is no backup " + folder};
    }
    Backup backup;
    bool has_registry = false;
    while (const auto entry = found.search ? found.search->next() : std::nullopt) {
        if (entry->name == "." || entry->name == "..") {
            continue;
        }
        const std::string path = folder + "\\" + entry->name;
        if ((entry->attributes & platform::attr::kDirectory) != 0) {
            throw Unusable{"the backup holds a folder, " + entry->name};
        }
        if (platform::iequals(entry->name, kRegistryBackupName)) {
            has_registry = true;
            auto parsed = parse_reg_file(context.os.files.read_binary_file(path));
            if (const auto* error = std::get_if<RegFileError>(&parsed)) {
                throw Unusable{
                    path +
                    (error->line > 0 ? ", line " + std::to_string(error->line) : std::string()) +
                    ": " + error->what};
            }
            backup.registry = std::move(std::get<RegFile>(parsed));
        } else {
            backup.files.push_back({path, place_of(context, entry->name)});
        }
    }
    if (has_registry) {
        backup.keys = group_keys(backup.registry);
    }
    return backup;
}

void record_restore(Context& context, const Target& target, const ItemOutcome& outcome,
                    RestoreReport& report) {
    const bool key = target.kind == TargetKind::Key;
    if (outcome.outcome == Outcome::Done) {
        ++report.restored;
        context.log.write_line(key ? "Restored Key:" : "Restored File:", shown_path(target));
    } else {
        ++report.left;
        context.log.write_refusal(
            key ? "Not restored Key:" : "Not restored File:", shown_path(target), outcome.reason);
    }
    context.observer.item_handled({target, outcome});
}

// Creates the key and its subkeys with their values; what it made goes again when a part fails.
ItemOutcome restore_key(const Context& context, const KeyGroup& group) {
    platform::Registry& registry = context.os.registry;
    if (registry.open_key(platform::RegistryRoot::CurrentUser, group.path,
                          platform::RegistryAccess::Default)) {
        return {Outcome::Refused, std::string(kExistsAgain)};
    }
    for (const RegKeyBlock* block : group.blocks) {
        platform::CreatedKey created = registry.create_key(platform::RegistryRoot::CurrentUser,
                                                           below_current_user(block->path));
        std::optional<std::string> failed =
            created.key ? std::nullopt : std::optional<std::string>(created.reason);
        for (const auto& [name, value] : block->values) {
            if (!failed) {
                failed = created.key->set_value(name, value);
            }
        }
        if (failed) {
            registry.delete_key_tree(platform::RegistryRoot::CurrentUser, group.path);
            return {Outcome::Refused, *failed};
        }
    }
    return {Outcome::Done, {}};
}

ItemOutcome restore_file(const Context& context, const FileToRestore& file) {
    const platform::FindResult found = context.os.files.find(file.place);
    if (found.search && found.search->next()) {
        return {Outcome::Refused, std::string(kExistsAgain)};
    }
    if (auto failed = context.os.files.copy_file(file.backup, file.place)) {
        return {Outcome::Refused, *failed};
    }
    return {Outcome::Done, {}};
}

} // namespace

RestoreReport run_restore(Context& context, int number) {
    const LineEcho echo(context.log, context.observer);
    RestoreReport report;
    const std::string folder =
        backup_folder_of(context.state.VeskPath, "Cleaning" + std::to_string(number) + ".log");
    try {
        const Backup backup = read_backup(context, folder);
        if (!open_numbered_log(context, report)) {
            return report;
        }
        for (const KeyGroup& group : backup.keys) {
            record_restore(context, {TargetKind::Key, group.path}, restore_key(context, group),
                           report);
        }
        for (const FileToRestore& file : backup.files) {
            record_restore(context, {TargetKind::SettingsFile, file.place},
                           restore_file(context, file), report);
        }
    } catch (const Unusable& unusable) {
        report.unusable = unusable.why;
    } catch (const std::exception& failure) {
        report.uncovered = UncoveredFailure{"the restore", failure.what()};
        context.log.close();
    }
    return report;
}
