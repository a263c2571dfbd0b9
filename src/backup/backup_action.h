// Backing up what a cleaning deletes that a user cannot get back otherwise: the program-settings
// keys (into registry.reg, in the registry editor's format) and the settings files (copied,
// bytes and attributes), into a folder beside the run's log. Nothing of theirs is deleted that
// was not backed up first.
#pragma once

#include "backup/reg_file.h"
#include "operations/context.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

inline constexpr std::string_view kRegistryBackupName = "registry.reg";

// The backup folder of the log with that name: "Cleaning3.log" backs up into "Cleaning3.backup".
std::string backup_folder_of(std::string_view host_folder, std::string_view log_name);

// The key below HKEY_CURRENT_USER with all its values and subkeys, in the order the registry
// lists them; or why it cannot be read.
std::variant<std::vector<RegKeyBlock>, std::string> read_key_tree(platform::Registry& registry,
                                                                  const std::string& path);

// Backs a key or settings file up, then hands it to the deletion; every other target goes to
// the deletion straight away. A target that cannot be backed up is not deleted.
class BackupAction final : public TargetAction {
public:
    explicit BackupAction(TargetAction& deletion) : deletion_(deletion) {}
    // Where the backups go; the folder is made with the first backup.
    void set_folder(std::string folder) { folder_ = std::move(folder); }
    const std::string& folder() const { return folder_; }
    bool made() const { return made_; }

    ItemOutcome apply(const Context& context, const Target& target) override;

private:
    std::optional<std::string> make_folder(const Context& context);
    std::optional<std::string> back_up_key(const Context& context, const std::string& path);
    std::optional<std::string> back_up_file(const Context& context, const std::string& path);

    TargetAction& deletion_;
    std::string folder_;
    bool made_ = false;
    std::unique_ptr<platform::BinaryFile> registry_file_;
};
