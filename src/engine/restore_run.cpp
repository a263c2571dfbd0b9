#include "engine/restore_run.h"

#include "backup/backup_action.h"
#include "backup/backup_contents.h"
#include "backup/sha256.h"
#include "engine/every_profile.h"
#include "engine/line_echo.h"
#include "engine/marker.h"
#include "engine/numbered_log.h"
#include "engine/profiles.h"
#include "operations/folder_walk.h"
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "platform/text.h"
#include "startup/host_discovery.h"
#include "startup/name_tables.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view kExistsAgain = "it exists again";
// What a settings file's copy carries back into its place.
constexpr std::uint32_t kRestoredAttributes = platform::attr::kReadOnly | platform::attr::kHidden |
                                              platform::attr::kSystem | platform::attr::kArchive;
// What a failure nothing trapped is said to have arisen in.
constexpr std::string_view kRestoreProcedure = "the restore";

// One deleted key: its own block and the blocks of its subkeys.
struct KeyGroup {
    std::string path; // below the run's key root
    std::vector<const RegKeyBlock*> blocks;
};

struct FileToRestore {
    std::string place;  // where it was deleted from
    std::string folder; // the folder it goes back into
    std::string name;
    std::string bytes; // as the backup's record says they were written, checked
    std::uint32_t attributes = 0;
};

struct Backup {
    RegFile registry;
    std::vector<KeyGroup> keys;
    std::vector<FileToRestore> files;
};

// One profile's part of a backup made over every profile.
struct ProfilePart {
    Profile profile;
    Backup backup;
};

// The machine's part (the backup folder's own files) and the profiles' parts (its folders).
struct WholeBackup {
    Backup machine;
    std::vector<ProfilePart> parts;
};

// A failure to use the backup: nothing is changed.
struct Unusable {
    std::string why;
};

std::string below_root(const std::string& full, std::string_view key_root) {
    if (full.size() <= key_root.size() ||
        !platform::iequals(std::string_view(full).substr(0, key_root.size()), key_root)) {
        throw Unusable{"the key " + full + " is not " +
                       (key_root == kCurrentUserRoot ? std::string("the current user's")
                                                     : "below " + std::string(key_root))};
    }
    return full.substr(key_root.size());
}

// Groups the file's keys by the key of the branch that each lies in. Every key must lie in the
// branch, below one that the cleaning deletes, and after it: a restore writes nowhere else.
std::vector<KeyGroup> group_keys(const RegFile& file, std::string_view key_root) {
    const std::string branch = std::string(kSettingsBranch) + "\\";
    std::vector<KeyGroup> groups;
    for (const RegKeyBlock& block : file.keys) {
        const std::string path = below_root(block.path, key_root);
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
                return platform::iequals(below_root(earlier->path, key_root), parent);
            })) {
            throw Unusable{"the key " + block.path + " does not follow the key it lies in"};
        }
        groups.back().blocks.push_back(&block);
    }
    return groups;
}

// The folder a settings file goes back into, by its name: the host folder's files, or the
// OpenGL file in the Windows folder. Any other name is not one the cleaning backs up.
std::string folder_of(const Context& context, const std::string& name) {
    if (platform::iequals(name, kOpenGLSettingsFile)) {
        const std::string windows = MM_GetWindowsDir(context.os.system);
        if (windows.empty()) {
            throw Unusable{"the Windows folder cannot be found for " + name};
        }
        return windows;
    }
    SharedState tables;
    MF_FillIniList(tables);
    if (std::ranges::none_of(
            tables.IniList, [&](const std::string& row) { return platform::iequals(row, name); })) {
        throw Unusable{"the backup holds " + name + ", which the cleaning never backs up"};
    }
    return context.state.VeskPath;
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

// The names in the backup folder; nothing but files may be there, and, when parts is given,
// the profiles' folders, named by their SIDs, which go to parts.
std::vector<platform::DirEntry> backup_files(const Context& context, const std::string& folder,
                                             std::vector<std::string>* parts) {
    const platform::FindResult found = context.os.files.find(folder + "\\*");
    if (found.failed ||
        !platform::finds_entry(context.os.files, folder, platform::Lookup::FoldersIncluded)) {
        throw Unusable{"there is no backup " + folder};
    }
    std::vector<platform::DirEntry> files;
    while (const auto entry = found.search ? found.search->next() : std::nullopt) {
        if (entry->name == "." || entry->name == "..") {
            continue;
        }
        if ((entry->attributes & platform::attr::kDirectory) != 0) {
            if (!parts || !is_user_sid(entry->name) || platform::is_link(*entry)) {
                throw Unusable{"the backup holds a folder, " + entry->name};
            }
            parts->push_back(entry->name);
            continue;
        }
        files.push_back(*entry);
    }
    return files;
}

Backup read_backup(const Context& context, const std::string& folder,
                   std::vector<std::string>* parts = nullptr) {
    Backup backup;
    bool has_record = false;
    std::vector<std::string> names;
    for (const platform::DirEntry& entry : backup_files(context, folder, parts)) {
        const std::string& name = entry.name;
        if (platform::iequals(name, kContentsName)) {
            has_record = true;
        } else if (platform::iequals(name, kRegistryBackupName)) {
            names.push_back(name);
        } else {
            const std::string place = folder_of(context, name);
            backup.files.push_back(
                {place + "\\" + name, place, name, {}, entry.attributes & kRestoredAttributes});
            names.push_back(name);
        }
    }
    // A backup over every profile that took nothing of the machine's has nothing to record.
    if (!has_record && names.empty() && backup.files.empty() && parts && !parts->empty()) {
        return backup;
    }
    RecordedContents record = read_record(context, folder, has_record);
    bool has_registry = false;
    for (const std::string& name : names) {
        const std::string bytes = recorded_bytes(context, folder, name, record);
        const std::string path = folder + "\\" + name;
        if (auto file = std::ranges::find(backup.files, name, &FileToRestore::name);
            file != backup.files.end()) {
            file->bytes = bytes;
        }
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
        backup.keys = group_keys(backup.registry, context.key_root);
    }
    return backup;
}

// Names the registry link that a creation refused, once it refused: nothing is done after.
std::string link_named(platform::Registry& registry, std::string_view key_root,
                       const std::string& path) {
    for (std::size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
        const std::string part = path.substr(0, end);
        if (platform::check_key(registry, platform::RegistryRoot::CurrentUser, part,
                                platform::RegistryAccess::QueryValue)
                .state == platform::KeyState::Link) {
            return "a registry link on the way: " + std::string(key_root) + part;
        }
        if (end == std::string::npos) {
            return std::string(platform::kRegistryLink);
        }
    }
}

// Removes the keys this restore made, the deepest first; the words to add when one stays.
std::string roll_back(platform::Registry& registry, std::string_view key_root,
                      const std::vector<std::string>& made) {
    for (auto key = made.rbegin(); key != made.rend(); ++key) {
        const platform::RemovalResult removed =
            platform::delete_key(registry, platform::RegistryRoot::CurrentUser, *key);
        if (removed.removal == platform::Removal::Refused) {
            return "; the keys this restore made could not all be removed again: " +
                   std::string(key_root) + *key + " (" + removed.reason + ")";
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
        const std::string path = below_root(block->path, context.key_root);
        // Each key on the way is opened through the one above it: a link is never written
        // through.
        platform::CreatedKey created =
            platform::create_key(registry, platform::RegistryRoot::CurrentUser, path);
        if (!created.key) {
            failed = created.reason == platform::kRegistryLink
                         ? link_named(registry, context.key_root, path)
                         : created.reason;
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
        return {Outcome::Refused, *failed + roll_back(registry, context.key_root, made)};
    }
    return {Outcome::Done, {}};
}

// Writes the checked bytes back, through the folder's handle, into a file that must not exist.
ItemOutcome restore_file(const Context& context, const FileToRestore& file) {
    const bool windows = platform::iequals(file.name, kOpenGLSettingsFile);
    platform::OpenedFolder opened = windows
                                        ? open_windows_folder(context, file.folder)
                                        : open_folder_at(context, file.folder, platform::Use::Read);
    if (!opened.folder) {
        return {Outcome::Refused, "the folder cannot be opened: " + opened.reason};
    }
    if (opened.folder->open_file(file.name, platform::Use::Read).status !=
        platform::OpenStatus::Missing) {
        return {Outcome::Refused, std::string(kExistsAgain)};
    }
    platform::BinaryCreateResult created = opened.folder->create_binary_file(file.name);
    if (!created.file) {
        return {Outcome::Refused, created.status == platform::CreateStatus::AlreadyExists
                                      ? std::string(kExistsAgain)
                                      : created.reason};
    }
    try {
        created.file->write(file.bytes);
        created.file->set_attributes(file.attributes);
    } catch (const platform::Failure& failure) {
        // A file cut short must not pass for the settings.
        created.file->discard();
        return {Outcome::Refused, failure.what()};
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

// The profile a part of the backup belongs to: one of the machine's, or, for a SID no longer
// among them, one known by its SID alone (its hive can be had only while it is loaded).
Profile profile_of(const Context& context, const std::string& sid,
                   const std::vector<Profile>& profiles) {
    const auto found = std::ranges::find_if(
        profiles, [&](const Profile& profile) { return platform::iequals(profile.sid, sid); });
    if (found != profiles.end()) {
        return *found;
    }
    const std::string own = context.os.system.current_user_sid();
    return {sid, {}, context.os.system.account_name(sid), platform::iequals(sid, own)};
}

WholeBackup read_whole_backup(const Context& context, const std::string& folder,
                              const std::vector<Profile>& profiles) {
    WholeBackup whole;
    std::vector<std::string> sids;
    whole.machine = read_backup(context, folder, &sids);
    for (const std::string& sid : sids) {
        Profile profile = profile_of(context, sid, profiles);
        const std::string key_root = key_root_of(profile);
        const Context reading{context.state,  context.os,       context.log,
                              context.action, context.observer, key_root};
        whole.parts.push_back({profile, read_backup(reading, folder + "\\" + sid)});
    }
    return whole;
}

// What a restore hands over from one part: its keys, then its files.
void restore_items(Context& counted, const Backup& backup) {
    for (const KeyGroup& group : backup.keys) {
        hand_over(counted, {TargetKind::Key, group.path});
    }
    for (const FileToRestore& file : backup.files) {
        hand_over(counted, {TargetKind::SettingsFile, file.place});
    }
}

RunReport restore_whole(Context& context, const WholeBackup& whole, ProfileAccess access) {
    MachineProfiles machine;
    for (const ProfilePart& part : whole.parts) {
        machine.profiles.push_back(part.profile);
    }
    RestoreAction restore(whole.machine);
    RunReport report = run_pipeline(context, restore, [&](Context& counted, RunReport& run) {
        if (!open_numbered_log(counted, run)) {
            return;
        }
        restore_items(counted, whole.machine);
        in_each_profile(counted, machine, access, [&](Context& inside, const Profile& profile) {
            const ProfilePart& part =
                *std::ranges::find_if(whole.parts, [&](const ProfilePart& each) {
                    return each.profile.sid == profile.sid;
                });
            RestoreAction own(part.backup);
            Context restoring{inside.state, inside.os,       inside.log,
                              own,          inside.observer, inside.key_root};
            restore_items(restoring, part.backup);
        });
    });
    if (report.uncovered && report.uncovered->where.empty()) {
        report.uncovered->where = kRestoreProcedure;
    }
    mark_run(context, report, MarkedRun::Restore);
    end_pipeline(context.log, report);
    return report;
}

// The running user's part of a backup made over every profile; nothing of the machine's.
void keep_own_part(const Context& context, WholeBackup& whole) {
    const std::string own = context.os.system.current_user_sid();
    std::erase_if(whole.parts, [&](const ProfilePart& part) { return !part.profile.own; });
    if (whole.parts.empty()) {
        throw Unusable{"the backup was made over every profile and holds no part of this user's (" +
                       own + "); VeskClean /restore:N /allusers puts it back"};
    }
    whole.machine = Backup{};
}

RunReport restore_from(Context& context, int number, const std::vector<Profile>& profiles,
                       bool every_profile) {
    const LineEcho echo(context.log, context.observer);
    const std::string folder = backup_folder_of(backups_folder(context.state),
                                                "Cleaning" + std::to_string(number) + ".log");
    WholeBackup whole;
    try {
        whole = read_whole_backup(context, folder, profiles);
        if (!every_profile && !whole.parts.empty()) {
            keep_own_part(context, whole);
        }
    } catch (const Unusable& unusable) {
        RunReport report;
        report.unusable = unusable.why;
        return report;
    } catch (const std::exception& failure) {
        RunReport report;
        report.uncovered = UncoveredFailure{std::string(kRestoreProcedure), failure.what()};
        return report;
    }
    // Alone, the user restores only its own part, whose lock the caller holds.
    return restore_whole(context, whole,
                         every_profile ? ProfileAccess::LockEach : ProfileAccess::Held);
}

} // namespace

RunReport run_restore(Context& context, int number) {
    return restore_from(context, number, find_profiles(context.os).profiles, false);
}

RunReport run_restore_every_profile(Context& context, int number,
                                    const std::vector<Profile>& profiles) {
    return restore_from(context, number, profiles, true);
}
