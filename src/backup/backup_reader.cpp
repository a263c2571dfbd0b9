#include "backup/backup_reader.h"

#include "backup/backup_action.h"
#include "backup/backup_contents.h"
#include "platform/sha256.h"
#include "model/name_tables.h"
#include "operations/folder_walk.h"
#include "operations/profile.h"
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "platform/text.h"
#include "startup/host_discovery.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// What a settings file's copy carries back into its place.
constexpr std::uint32_t kRestoredAttributes = platform::attr::kReadOnly | platform::attr::kHidden |
                                              platform::attr::kSystem | platform::attr::kArchive;
constexpr std::string_view kByHand =
    "restore it by hand, as the README says: import each registry.reg (a profile's while its "
    "user is logged on) and copy the settings files back";

std::string cleaning_name(int number) {
    return "Cleaning" + std::to_string(number);
}

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
    if (!is_settings_file_name(name)) {
        throw Unusable{"the backup holds " + name + ", which the cleaning never backs up"};
    }
    return context.state.VeskPath;
}

RecordedContents parse_record(const std::string& path, std::string_view bytes) {
    auto record = read_contents(bytes);
    if (const auto* error = std::get_if<std::string>(&record)) {
        throw Unusable{path + ": " + *error};
    }
    return std::get<RecordedContents>(std::move(record));
}

// The bytes of a file as its record says they were written; the record's line is used up.
void check_recorded(const std::string& path, const std::string& name, const std::string& bytes,
                    RecordedContents& record) {
    const auto entry = record.find(platform::fold_case(name));
    if (entry == record.end()) {
        throw Unusable{"the backup's record does not name " + path};
    }
    if (bytes.size() != entry->second.size || sha256_hex(bytes) != entry->second.sha256) {
        throw Unusable{path + " is not what the backup's record says (cut short or changed)"};
    }
    record.erase(entry);
}

RegFile parse_registry(const std::string& path, const std::string& bytes) {
    auto parsed = parse_reg_file(bytes);
    if (const auto* error = std::get_if<RegFileError>(&parsed)) {
        throw Unusable{path +
                       (error->line > 0 ? ", line " + std::to_string(error->line) : std::string()) +
                       ": " + error->what};
    }
    return std::get<RegFile>(std::move(parsed));
}

// One folder of the backup, read once through its handle: its files' bytes and attributes, and
// the folders in it. A link anywhere refuses the backup: each entry is opened without following
// one, so an entry swapped for a link after the listing is caught too.
struct ReadFolder {
    std::map<std::string, std::pair<std::string, std::uint32_t>> files; // by name
    std::vector<std::string> folders;
};

ReadFolder read_folder(platform::Folder& folder, const std::string& path) {
    ReadFolder read;
    for (const platform::DirEntry& entry : folder.list()) {
        const std::string entry_path = path + "\\" + entry.name;
        if ((entry.attributes & platform::attr::kDirectory) != 0) {
            read.folders.push_back(entry.name);
            continue;
        }
        platform::OpenedFile opened = folder.open_file(entry.name, platform::Use::Read);
        if (opened.status == platform::OpenStatus::Link) {
            throw Unusable{"the backup holds a link, " + entry_path};
        }
        if (!opened.file) {
            // Not the backup's fault: the run cannot be set up.
            throw platform::Failure(opened.reason);
        }
        read.files[entry.name] = {opened.file->read_all(), entry.attributes};
    }
    return read;
}

// Opens the folder name in base as (part of) a backup: never a link, and, where the backups are
// administrators' alone, one that nobody else may change. Null where there is none.
std::unique_ptr<platform::Folder> open_part(const Context& context, platform::Folder& base,
                                            const std::string& name, const std::string& path) {
    platform::OpenedFolder opened = base.open_folder(name, platform::Use::Read);
    if (opened.status == platform::OpenStatus::Missing) {
        return nullptr;
    }
    if (opened.status == platform::OpenStatus::Link) {
        throw Unusable{"the backup holds a link, " + path};
    }
    if (!opened.folder) {
        throw Unusable{path + " cannot be opened: " + opened.reason};
    }
    if (context.state.backup_home.administrators_only) {
        if (auto others = opened.folder->others_may_write()) {
            throw Unusable{path + " may be changed by others than administrators (" + *others +
                           "): a restore takes nothing they could have changed"};
        }
    }
    return std::move(opened.folder);
}

// The backup's own part: its settings files and registry file, checked against its record.
BackupPart read_machine_part(const Context& context, const std::string& path, ReadFolder& read,
                             RecordedContents& record) {
    BackupPart part;
    for (auto& [name, content] : read.files) {
        if (platform::iequals(name, kContentsName)) {
            continue;
        }
        auto& [bytes, attributes] = content;
        check_recorded(path + "\\" + name, name, bytes, record);
        if (platform::iequals(name, kRegistryBackupName)) {
            part.registry = parse_registry(path + "\\" + name, bytes);
            part.keys = group_keys(part.registry, kCurrentUserRoot);
            continue;
        }
        const std::string place = folder_of(context, name);
        part.files.push_back(
            {place + "\\" + name, place, name, std::move(bytes), attributes & kRestoredAttributes});
    }
    return part;
}

// A profile's part: its registry file and record alone, the record exactly as the whole's
// record names it.
BackupPart read_profile_part(const Context& context, platform::Folder& backup,
                             const std::string& path, const std::string& sid,
                             RecordedContents& whole_record) {
    const std::string part_path = path + "\\" + sid;
    const std::unique_ptr<platform::Folder> folder = open_part(context, backup, sid, part_path);
    if (!folder) {
        throw Unusable{"the backup's part " + part_path + " is gone"};
    }
    ReadFolder read = read_folder(*folder, part_path);
    if (!read.folders.empty()) {
        throw Unusable{"the backup holds a folder, " + part_path + "\\" + read.folders.front()};
    }
    for (const auto& [name, content] : read.files) {
        if (!platform::iequals(name, kContentsName) &&
            !platform::iequals(name, kRegistryBackupName)) {
            throw Unusable{"the backup's part " + part_path + " holds " + name +
                           ": a part holds its registry file and record only"};
        }
    }
    const auto record_file = std::ranges::find_if(
        read.files, [](const auto& file) { return platform::iequals(file.first, kContentsName); });
    if (record_file == read.files.end()) {
        throw Unusable{"the backup's part " + part_path + " has no record of what it holds"};
    }
    check_recorded(part_path + "\\" + std::string(kContentsName), part_record_name(sid),
                   record_file->second.first, whole_record);
    RecordedContents record =
        parse_record(part_path + "\\" + std::string(kContentsName), record_file->second.first);
    BackupPart part;
    part.sid = sid;
    for (const auto& [name, content] : read.files) {
        if (platform::iequals(name, kRegistryBackupName)) {
            const std::string file_path = part_path + "\\" + name;
            check_recorded(file_path, name, content.first, record);
            part.registry = parse_registry(file_path, content.first);
            part.keys = group_keys(part.registry, "HKEY_USERS\\" + sid + "\\");
        }
    }
    if (!record.empty()) {
        throw Unusable{"the backup's record names items that are not in " + part_path};
    }
    return part;
}

WholeBackup read_whole(const Context& context, platform::Folder& backup, const std::string& path,
                       bool every_profile, int number) {
    ReadFolder read = read_folder(backup, path);
    std::set<std::u32string> parts;
    for (const std::string& folder : read.folders) {
        if (!is_user_sid(folder)) {
            throw Unusable{"the backup holds a folder, " + folder};
        }
        parts.insert(platform::fold_case(folder));
    }
    // What it holds must be what a cleaning backs up, whatever its record says.
    for (const auto& [name, content] : read.files) {
        if (!platform::iequals(name, kContentsName) &&
            !platform::iequals(name, kRegistryBackupName)) {
            folder_of(context, name);
        }
    }
    const auto record_file = std::ranges::find_if(
        read.files, [](const auto& file) { return platform::iequals(file.first, kContentsName); });
    if (record_file == read.files.end()) {
        throw Unusable{"the backup " + path + " has no record of what it holds (" +
                       std::string(kContentsName) + ")"};
    }
    RecordedContents record =
        parse_record(path + "\\" + std::string(kContentsName), record_file->second.first);
    // The parts the record names, by the name of their record.
    std::set<std::u32string> named;
    for (const auto& [name, item] : record) {
        if (name.find(U'\\') != std::u32string::npos) {
            named.insert(name.substr(0, name.find(U'\\')));
        }
    }
    if (!parts.empty() && named.empty()) {
        throw Unusable{"the backup " + path +
                       " was made over every profile by an earlier version, where others may have "
                       "changed it: " +
                       std::string(kByHand)};
    }
    if (parts != named) {
        throw Unusable{"the backup " + path +
                       "'s profiles are not those its record names (a part missing, added or "
                       "renamed)"};
    }
    if (!parts.empty() && !every_profile) {
        throw Unusable{"the backup " + path + " was made over every profile: an administrator " +
                       "restores it with VeskClean /restore:" + std::to_string(number) +
                       " /allusers"};
    }
    WholeBackup whole;
    for (const std::string& sid : read.folders) {
        whole.profiles.push_back(read_profile_part(context, backup, path, sid, record));
    }
    whole.machine = read_machine_part(context, path, read, record);
    if (!record.empty()) {
        throw Unusable{"the backup's record names items that are not in " + path};
    }
    return whole;
}

// The backup folder name in the folder at base; nullopt when there is none.
std::unique_ptr<platform::Folder> find_backup(const Context& context, const std::string& base,
                                              const std::string& name) {
    platform::OpenedFolder home = open_folder_at(context, base, platform::Use::Read);
    if (home.status == platform::OpenStatus::Missing) {
        return nullptr;
    }
    if (!home.folder) {
        throw Unusable{"the backups' folder " + base + " cannot be opened: " + home.reason};
    }
    return open_part(context, *home.folder, name, base + "\\" + name);
}

// Why there is no backup of that number where the run looks, with where else one might be.
Unusable none_found(const Context& context, int number, const std::string& path,
                    bool every_profile) {
    const std::string name = cleaning_name(number) + ".backup";
    if (every_profile && context.state.backup_home.administrators_only) {
        // Where a backup over every profile was kept before this version.
        try {
            const std::string beside_log = context.state.VeskPath;
            if (platform::open_checked(context.os.files, beside_log + "\\" + name,
                                       platform::Use::Read)
                    .status != platform::OpenStatus::Missing) {
                return {"the backup " + beside_log + "\\" + name +
                        " was made by an earlier version beside its log, where every user may "
                        "change it: " +
                        std::string(kByHand)};
            }
        } catch (const platform::Failure&) {
            // Only a hint: where it cannot be looked for, the plain reason stands.
        }
    }
    if (!every_profile) {
        // A run over every profile keeps its backups where only administrators look.
        try {
            const BackupHome home = administrators_backup_home(context.os.system);
            const platform::OpenedFolder kept = platform::open_checked(
                context.os.files, home.folder + "\\" + name, platform::Use::Read);
            if (kept.status != platform::OpenStatus::Missing) {
                return {"there is no backup " + path + "; if cleaning " + std::to_string(number) +
                        " was made over every profile, an administrator restores it with "
                        "VeskClean /restore:" +
                        std::to_string(number) + " /allusers"};
            }
        } catch (const platform::Failure&) {
            // Only a hint: where it cannot be looked for, the plain reason stands.
        }
    }
    return {"there is no backup " + path};
}

} // namespace

std::variant<WholeBackup, Unusable> read_backup(const Context& context, int number,
                                                bool every_profile) {
    const std::string base = backups_folder(context.state);
    const std::string name = cleaning_name(number) + ".backup";
    const std::string path = base + "\\" + name;
    try {
        const std::unique_ptr<platform::Folder> backup = find_backup(context, base, name);
        if (!backup) {
            return none_found(context, number, path, every_profile);
        }
        return read_whole(context, *backup, path, every_profile, number);
    } catch (Unusable& unusable) {
        return std::move(unusable);
    }
}
