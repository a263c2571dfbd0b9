// Backing up what a cleaning deletes that a user cannot get back otherwise: the program-settings
// keys (into registry.reg, in the registry editor's format) and the settings files (copied,
// bytes and attributes), into a folder beside the run's log. Nothing of theirs is deleted that
// was not wholly backed up first, and the folder's record of its contents says what is whole.
#pragma once

#include "backup/reg_file.h"
#include "platform/sha256.h"
#include "operations/context.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

inline constexpr std::string_view kRegistryBackupName = "registry.reg";

// The backup folder of the log with that name: "Cleaning3.log" backs up into "Cleaning3.backup".
std::string backup_folder_of(std::string_view host_folder, std::string_view log_name);
// Where the backup folders are: the backup home, or beside the logs in the host folder.
inline const std::string& backups_folder(const SharedState& state) {
    return state.backup_home.folder.empty() ? state.VeskPath : state.backup_home.folder;
}
// Where a run over every profile keeps its backups when the organisation names no folder:
// %ProgramData%\TOLM\VESK Cleaning Wizard\Backups, made for administrators alone: the host
// folder is every user's to change. Throws platform::Failure when the system cannot name
// %ProgramData%.
BackupHome administrators_backup_home(platform::System& system);
// A part's record, as the whole's record names it: "<part>\contents.sha256".
std::string part_record_name(std::string_view part);

// The user's key at path with all its values and subkeys, in the order the registry lists them,
// each block named with key_root in front; or why it cannot be backed up faithfully: a registry
// link on the way to it or in it, a name the registry file cannot hold, a key or value that
// cannot be read.
std::variant<std::vector<RegKeyBlock>, std::string>
read_key_tree(platform::Registry& registry, std::string_view key_root, const std::string& path);

// A file of the backup that grows by whole pieces: a piece whose writing fails half-way is cut
// off again, so the file always ends after its last whole piece - unless the cut fails too, and
// then the file is broken and takes nothing more.
class PieceFile {
public:
    explicit PieceFile(std::string header = {}) : header_(std::move(header)) {}
    // Adds the piece (after the header, for the first, which makes the file name in folder,
    // whose full path is path); the reason when it could not, the file then being as it was
    // before.
    std::optional<std::string> append(platform::Folder& folder, std::string_view name,
                                      const std::string& path, std::string_view piece);
    // Takes the last piece out again, when what was to follow it failed; the reason when the
    // cut failed.
    std::optional<std::string> take_back_last();
    bool broken() const { return broken_; }
    std::uint64_t size() const { return size_; }
    std::string hex_digest() const { return hash_.hex_digest(); }

private:
    std::optional<std::string> cut_to(std::uint64_t size);

    std::string header_;
    std::unique_ptr<platform::BinaryFile> file_;
    std::uint64_t size_ = 0;
    Sha256 hash_;
    std::uint64_t last_size_ = 0;
    Sha256 last_hash_;
    bool broken_ = false;
};

// Changes nothing, as a preview: a key whose backup the cleaning would refuse (a registry link, a
// name the registry file cannot hold) comes back as not backed up, as the cleaning leaves it;
// every other target as Previewed.
class BackupPreviewAction final : public TargetAction {
public:
    ItemOutcome apply(const Context& context, const Target& target) override;
};

// Backs a key or settings file up, then hands it to the deletion; every other target goes to
// the deletion straight away. A target that cannot be backed up is not deleted.
class BackupAction final : public TargetAction {
public:
    // A part of a whole backup (one profile's, in a run over every profile) makes the whole's
    // folder first, when its own is the first to take something.
    explicit BackupAction(TargetAction& deletion, BackupAction* whole = nullptr)
        : deletion_(deletion), whole_(whole) {}
    // Where the backups go; the folder is made with the first backup, in the home's folder,
    // which is made first below its base where missing (beside the log: in the host folder).
    void set_folder(std::string folder, BackupHome home = {}) {
        folder_ = std::move(folder);
        home_ = std::move(home);
    }
    const std::string& folder() const { return folder_; }
    // Whether anything was wholly backed up, by this action or a part of it.
    bool holds_items() const { return items_ > 0; }

    ItemOutcome apply(const Context& context, const Target& target) override;
    bool deletes() const override { return deletion_.deletes(); }

private:
    // Makes the folder (and the folders above it) through the folders it is made in, and holds
    // it open: everything of the backup is written through that handle.
    std::optional<std::string> make_folder(const Context& context);
    // The folder in which the backup folder is made, opened, and made below the home's base
    // where missing; the reason when it cannot be.
    std::optional<std::string> open_home(const Context& context,
                                         std::unique_ptr<platform::Folder>& home) const;
    platform::OpenedFolder folder_in(platform::Folder& base, std::string_view name,
                                     bool may_exist) const;
    bool administrators_only() const;
    std::optional<std::string> back_up_key(const Context& context, const std::string& path);
    std::optional<std::string> back_up_file(const Context& context, const Target& target);
    void count_held();
    // Records an item that is whole in the backup, and for a part, its record in the whole's; the
    // reason when a record cannot take it (and neither then holds the item).
    std::optional<std::string> record_item(std::string_view name, std::uint64_t size,
                                           const std::string& sha256);

    TargetAction& deletion_;
    BackupAction* whole_;
    std::string folder_;
    BackupHome home_;
    bool made_ = false;
    std::unique_ptr<platform::Folder> held_;
    std::size_t items_ = 0;
    PieceFile registry_file_{utf16le_bytes(reg_file_header())};
    PieceFile contents_;
};
