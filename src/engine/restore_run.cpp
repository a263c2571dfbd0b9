#include "engine/restore_run.h"

#include "backup/backup_action.h"
#include "backup/backup_contents.h"
#include "backup/backup_reader.h"
#include "platform/sha256.h"
#include "engine/every_profile.h"
#include "engine/profiles.h"
#include "model/name_tables.h"
#include "operations/folder_walk.h"
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "platform/text.h"
#include "startup/host_discovery.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view kExistsAgain = "it exists again";
// What a failure nothing trapped is said to have arisen in.
constexpr std::string_view kRestoreProcedure = "the restore";

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
        // The reader saw every key lie below the part's root.
        const std::string path = block->path.substr(context.key_root.size());
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
    explicit RestoreAction(const BackupPart& backup) : backup_(backup) {}

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

    const BackupPart& backup_;
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

// What a restore hands over from one part: its keys, then its files.
void restore_items(Context& counted, const BackupPart& backup) {
    for (const KeyGroup& group : backup.keys) {
        hand_over(counted, {TargetKind::Key, group.path});
    }
    for (const FileToRestore& file : backup.files) {
        hand_over(counted, {TargetKind::SettingsFile, file.place});
    }
}

RunReport restore_whole(Context& context, const WholeBackup& whole,
                        const std::vector<Profile>& profiles, ProfileAccess access) {
    MachineProfiles machine;
    for (const BackupPart& part : whole.profiles) {
        machine.profiles.push_back(profile_of(context, part.sid, profiles));
    }
    RestoreAction restore(whole.machine);
    return run_logged(
        context, restore, MarkedRun::Restore, kRestoreProcedure,
        [&](Context& counted, const std::string&) {
            restore_items(counted, whole.machine);
            in_each_profile(counted, machine, access, [&](Context& inside, const Profile& profile) {
                const BackupPart& part =
                    *std::ranges::find_if(whole.profiles, [&](const BackupPart& each) {
                        return platform::iequals(each.sid, profile.sid);
                    });
                RestoreAction own(part);
                Context restoring{inside.state, inside.os,       inside.log,
                                  own,          inside.observer, inside.key_root};
                restore_items(restoring, part);
            });
        });
}

RunReport restore_from(Context& context, int number, const std::vector<Profile>& profiles,
                       bool every_profile) {
    std::variant<WholeBackup, Unusable> read;
    try {
        read = read_backup(context, number, every_profile);
    } catch (const std::exception& failure) {
        RunReport report;
        report.uncovered = UncoveredFailure{std::string(kRestoreProcedure), failure.what()};
        return report;
    }
    if (const auto* unusable = std::get_if<Unusable>(&read)) {
        RunReport report;
        report.unusable = unusable->why;
        return report;
    }
    // Alone, the user restores only a backup of its own, whose lock the caller holds.
    return restore_whole(context, std::get<WholeBackup>(read), profiles,
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
