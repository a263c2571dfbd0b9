#include "engine/restore_run.h"

#include "backup/backup_action.h"
#include "backup/backup_contents.h"
#include "backup/sha256.h"
#include "engine/line_echo.h"
#include "engine/marker.h"
#include "engine/numbered_log.h"
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "platform/text.h"
#include "startup/host_discovery.h"
#include "startup/name_tables.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view kExistsAgain = "it exists again";
// What a failure nothing trapped is said to have arisen in.
constexpr std::string_view kRestoreProcedure = "the restore";

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
    if (full.size() <= kCurrentUserRoot.size() ||
        !platform::iequals(std::string_view(full).substr(0, kCurrentUserRoot.size()),
                           kCurrentUserRoot)) {
        throw Unusable{"the key " + full + " is not the current user's"};
    }
    return full.substr(kCurrentUserRoot.size());
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
        // Its parent before it in the same group: a restore makes each key itself, never one
        // above it on the way.
        const std::string parent = path.substr(0, path.rfind('\\'));
        if (groups.empty() ||
            std::ranges::none_of(groups.back().blocks, [&](const RegKeyBlock* earlier) {
                return platform::iequals(below_current_user(earlier->path), parent);
            })) {
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

// The record of what the backup holds; a backup without one cannot be told from a cut one.
RecordedContents read_record(const Context& context, const std::string& folder, bool present) {
    const std::string path = folder + "\\" + std::string(kContentsName);
    if (!present) {
        throw Unusable{"the backup " + folder + " has no record of what it holds (" +
                       std::string(kContentsName) + ")"};
    }
    auto record = read_contents(context.os.files.read_binary_file(path));
    if (const auto* error = std::get_if<std::string>(&record)) {
        throw Unusable{path + ": " + *error};
    }
    return std::get<RecordedContents>(std::move(record));
}

// The bytes of a file of the backup, exactly as its record says it was written.
std::string recorded_bytes(const Context& context, const std::string& folder,
                           const std::string& name, RecordedContents& record) {
    const std::string path = folder + "\\" + name;
    const auto entry = record.find(platform::fold_case(name));
    if (entry == record.end()) {
        throw Unusable{"the backup's record does not name " + path};
    }
    std::string bytes = context.os.files.read_binary_file(path);
    if (bytes.size() != entry->second.size || sha256_hex(bytes) != entry->second.sha256) {
        throw Unusable{path + " is not what the backup's record says (cut short or changed)"};
    }
    record.erase(entry);
    return bytes;
}

// The names in the backup folder; nothing but files may be there.
std::vector<std::string> backup_files(const Context& context, const std::string& folder) {
    const platform::FindResult found = context.os.files.find(folder + "\\*");
    if (found.failed ||
        !platform::finds_entry(context.os.files, folder, platform::Lookup::FoldersIncluded)) {
        throw Unusable{"there is no backup " + folder};
    }
    std::vector<std::string> names;
    while (const auto entry = found.search ? found.search->next() : std::nullopt) {
        if (entry->name == "." || entry->name == "..") {
            continue;
        }
        if ((entry->attributes & platform::attr::kDirectory) != 0) {
            throw Unusable{"the backup holds a folder, " + entry->name};
        }
        names.push_back(entry->name);
    }
    return names;
}

Backup read_backup(const Context& context, const std::string& folder) {
    Backup backup;
    bool has_record = false;
    std::vector<std::string> names;
    for (std::string& name : backup_files(context, folder)) {
        if (platform::iequals(name, kContentsName)) {
            has_record = true;
        } else if (platform::iequals(name, kRegistryBackupName)) {
            names.push_back(std::move(name));
        } else {
            backup.files.push_back({folder + "\\" + name, place_of(context, name)});
            names.push_back(std::move(name));
        }
    }
    RecordedContents record = read_record(context, folder, has_record);
    bool has_registry = false;
    for (const std::string& name : names) {
        const std::string bytes = recorded_bytes(context, folder, name, record);
        const std::string path = folder + "\\" + name;
        if (platform::iequals(name, kRegistryBackupName)) {
            has_registry = true;
            auto parsed = parse_reg_file(bytes);
            if (const auto* error = std::get_if<RegFileError>(&parsed)) {
                throw Unusable{
                    path +
                    (error->line > 0 ? ", line " + std::to_string(error->line) : std::string()) +
                    ": " + error->what};
            }
            backup.registry = std::move(std::get<RegFile>(parsed));
        }
    }
    if (!record.empty()) {
        throw Unusable{"the backup's record names items that are not in " + folder};
    }
    if (has_registry) {
        backup.keys = group_keys(backup.registry);
    }
    return backup;
}

// A registry link on the way to path, the key at path included: creating through it would
// write where it leads.
std::optional<std::string> link_on_the_way(platform::Registry& registry, const std::string& path) {
    for (std::size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
        const std::string part = path.substr(0, end);
        const platform::KeyState state = registry
                                             .check_key(platform::RegistryRoot::CurrentUser, part,
                                                        platform::RegistryAccess::QueryValue)
                                             .state;
        if (state == platform::KeyState::Link) {
            return "a registry link on the way: " + std::string(kCurrentUserRoot) + part;
        }
        if (state == platform::KeyState::Missing || end == std::string::npos) {
            return std::nullopt;
        }
    }
}

// Removes the keys this restore made, the deepest first; the words to add when one stays.
std::string roll_back(platform::Registry& registry, const std::vector<std::string>& made) {
    for (auto key = made.rbegin(); key != made.rend(); ++key) {
        const platform::RemovalResult removed =
            registry.delete_key(platform::RegistryRoot::CurrentUser, *key);
        if (removed.removal == platform::Removal::Refused) {
            return "; the keys this restore made could not all be removed again: " +
                   std::string(kCurrentUserRoot) + *key + " (" + removed.reason + ")";
        }
    }
    return {};
}

// Makes the key and its subkeys with their values, each only where no key was; when a part
// fails, what this restore made goes again and nothing else.
ItemOutcome restore_key(const Context& context, const KeyGroup& group) {
    platform::Registry& registry = context.os.registry;
    std::vector<std::string> made;
    std::optional<std::string> failed;
    for (const RegKeyBlock* block : group.blocks) {
        const std::string path = below_current_user(block->path);
        if ((failed = link_on_the_way(registry, path))) {
            break;
        }
        platform::CreatedKey created =
            registry.create_key(platform::RegistryRoot::CurrentUser, path);
        if (!created.key) {
            failed = created.reason;
            break;
        }
        if (created.existed) {
            if (made.empty()) {
                return {Outcome::Refused, std::string(kExistsAgain)};
            }
            failed = "the key " + block->path + " exists already";
            break;
        }
        made.push_back(path);
        for (const auto& [name, value] : block->values) {
            if ((failed = created.key->set_value(name, value))) {
                break;
            }
        }
        if (failed) {
            break;
        }
    }
    if (failed) {
        return {Outcome::Refused, *failed + roll_back(registry, made)};
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

// Puts back the key or settings file a target names, from the backup: what a restore does
// where a cleaning deletes.
class RestoreAction final : public TargetAction {
public:
    explicit RestoreAction(const Backup& backup) : backup_(backup) {}

    ItemOutcome apply(const Context& context, const Target& target) override {
        return as_restore(target.kind == TargetKind::Key ? restore_key(context, group_of(target))
                                                         : restore_file(context, file_of(target)));
    }

private:
    static ItemOutcome as_restore(ItemOutcome outcome) {
        outcome.outcome =
            outcome.outcome == Outcome::Done ? Outcome::Restored : Outcome::NotRestored;
        return outcome;
    }
    const KeyGroup& group_of(const Target& target) const {
        return *std::ranges::find(backup_.keys, target.path, &KeyGroup::path);
    }
    const FileToRestore& file_of(const Target& target) const {
        return *std::ranges::find(backup_.files, target.path, &FileToRestore::place);
    }

    const Backup& backup_;
};

} // namespace

RunReport run_restore(Context& context, int number) {
    const LineEcho echo(context.log, context.observer);
    const std::string folder = backup_folder_of(backups_folder(context.state),
                                                "Cleaning" + std::to_string(number) + ".log");
    Backup backup;
    try {
        backup = read_backup(context, folder);
    } catch (const Unusable& unusable) {
        RunReport report;
        report.unusable = unusable.why;
        return report;
    } catch (const std::exception& failure) {
        RunReport report;
        report.uncovered = UncoveredFailure{std::string(kRestoreProcedure), failure.what()};
        return report;
    }
    RestoreAction restore(backup);
    RunReport report = run_pipeline(context, restore, [&](Context& counted, RunReport& run) {
        if (!open_numbered_log(counted, run)) {
            return;
        }
        for (const KeyGroup& group : backup.keys) {
            hand_over(counted, {TargetKind::Key, group.path});
        }
        for (const FileToRestore& file : backup.files) {
            hand_over(counted, {TargetKind::SettingsFile, file.place});
        }
    });
    if (report.uncovered && report.uncovered->where.empty()) {
        report.uncovered->where = kRestoreProcedure;
    }
    mark_run(context, report);
    end_pipeline(context.log, report);
    return report;
}
