#include "backup/backup_action.h"

#include "backup/backup_contents.h"
#include "platform/text.h"

namespace {

constexpr std::string_view kUnholdableName = "a name the registry file cannot hold";
constexpr std::string_view kBrokenBackup =
    "an earlier part of the backup could not be taken back after a failed write";

std::string_view leaf_of(std::string_view path) {
    return path.substr(path.rfind('\\') + 1);
}

// Why the key at path cannot be read for the backup: a link, or a key that will not open.
std::optional<std::string> refusal_at(platform::Registry& registry, const std::string& path) {
    const platform::KeyCheck check = registry.check_key(platform::RegistryRoot::CurrentUser, path,
                                                        platform::RegistryAccess::Default);
    switch (check.state) {
    case platform::KeyState::Present:
        return std::nullopt;
    case platform::KeyState::Link:
        return std::string(platform::kRegistryLink);
    case platform::KeyState::Unopenable:
        return "the key " + path + " cannot be read: " + check.reason;
    case platform::KeyState::Missing:
        break;
    }
    return "the key " + path + " cannot be read";
}

// A link on the way down to path leads the whole path elsewhere.
std::optional<std::string> link_above(platform::Registry& registry, const std::string& path) {
    for (auto end = path.find('\\'); end != std::string::npos; end = path.find('\\', end + 1)) {
        if (registry
                .check_key(platform::RegistryRoot::CurrentUser, path.substr(0, end),
                           platform::RegistryAccess::QueryValue)
                .state == platform::KeyState::Link) {
            return std::string(platform::kRegistryLink);
        }
    }
    return std::nullopt;
}

// Appends the key at path and everything below it to blocks; the reason when it cannot.
std::optional<std::string> add_key(platform::Registry& registry, std::string_view key_root,
                                   const std::string& path, std::vector<RegKeyBlock>& blocks) {
    if (auto refused = refusal_at(registry, path)) {
        return refused;
    }
    const auto key = registry.open_key(platform::RegistryRoot::CurrentUser, path,
                                       platform::RegistryAccess::Default);
    if (!key) {
        return "the key " + path + " cannot be read";
    }
    RegKeyBlock block{std::string(key_root) + path, {}};
    for (std::uint32_t index = 0;; ++index) {
        platform::ValueEntry entry = key->enum_value(index);
        if (entry.status == platform::EnumStatus::NoMoreItems) {
            break;
        }
        if (entry.status != platform::EnumStatus::Found) {
            return "a value of " + path + " cannot be read";
        }
        if (!reg_file_can_hold_name(entry.name)) {
            return std::string(kUnholdableName);
        }
        block.values.emplace_back(std::move(entry.name), std::move(entry.value));
    }
    blocks.push_back(std::move(block));
    for (std::uint32_t index = 0;; ++index) {
        const platform::SubkeyEntry entry = key->enum_subkey(index, platform::kMaxKeyNameChars);
        if (entry.status == platform::EnumStatus::NoMoreItems) {
            return std::nullopt;
        }
        if (entry.status != platform::EnumStatus::Found) {
            return "a subkey of " + path + " cannot be read";
        }
        if (!reg_file_can_hold_name(entry.name)) {
            return std::string(kUnholdableName);
        }
        if (auto failed = add_key(registry, key_root, path + "\\" + entry.name, blocks)) {
            return failed;
        }
    }
}

} // namespace

std::string backup_folder_of(std::string_view host_folder, std::string_view log_name) {
    const std::string_view number = log_name.substr(0, log_name.rfind('.'));
    return std::string(host_folder) + "\\" + std::string(number) + ".backup";
}

std::vector<std::string> folders_above_backups(const SharedState& state) {
    if (state.backup_home.empty()) {
        return {};
    }
    // The home is <BackupFolder>\<computer>\<user>: the organisation's folder itself is theirs to
    // make.
    const std::string& home = state.backup_home;
    return {home.substr(0, home.rfind('\\')), home};
}

std::variant<std::vector<RegKeyBlock>, std::string>
read_key_tree(platform::Registry& registry, std::string_view key_root, const std::string& path) {
    if (!reg_file_can_hold_name(leaf_of(path))) {
        return std::string(kUnholdableName);
    }
    if (auto link = link_above(registry, path)) {
        return *link;
    }
    std::vector<RegKeyBlock> blocks;
    if (auto failed = add_key(registry, key_root, path, blocks)) {
        return *failed;
    }
    return blocks;
}

std::optional<std::string> PieceFile::append(platform::FileSystem& files, const std::string& path,
                                             std::string_view piece) {
    if (broken_) {
        return std::string(kBrokenBackup);
    }
    if (!file_) {
        platform::BinaryCreateResult created = files.create_new_binary_file(path);
        if (!created.file) {
            return path + " cannot be made: " + created.reason;
        }
        file_ = std::move(created.file);
    }
    const std::string bytes = (size_ == 0 ? header_ : std::string()) + std::string(piece);
    try {
        file_->write(bytes);
    } catch (const platform::Failure& failure) {
        const auto uncut = cut_to(size_);
        return std::string(failure.what()) + uncut.value_or(std::string());
    }
    last_size_ = size_;
    last_hash_ = hash_;
    size_ += bytes.size();
    hash_.add(bytes);
    return std::nullopt;
}

std::optional<std::string> PieceFile::take_back_last() {
    auto failed = cut_to(last_size_);
    size_ = last_size_;
    hash_ = last_hash_;
    return failed;
}

std::optional<std::string> PieceFile::cut_to(std::uint64_t size) {
    try {
        file_->cut_back(size);
        return std::nullopt;
    } catch (const platform::Failure& failure) {
        broken_ = true;
        return "; what was written of it could not be taken back: " + std::string(failure.what());
    }
}

ItemOutcome BackupPreviewAction::apply(const Context& context, const Target& target) {
    if (target.kind == TargetKind::Key) {
        const auto tree = read_key_tree(context.os.registry, context.key_root, target.path);
        if (const auto* refused = std::get_if<std::string>(&tree)) {
            return {Outcome::NotBackedUp, *refused};
        }
    }
    return {Outcome::Previewed, {}};
}

ItemOutcome BackupAction::apply(const Context& context, const Target& target) {
    std::optional<std::string> failed;
    if (target.kind == TargetKind::Key) {
        failed = back_up_key(context, target.path);
    } else if (target.kind == TargetKind::SettingsFile) {
        failed = back_up_file(context, target.path);
    }
    if (failed) {
        return {Outcome::NotBackedUp, *failed};
    }
    return deletion_.apply(context, target);
}

std::optional<std::string> BackupAction::make_folder(const Context& context) {
    if (made_) {
        return std::nullopt;
    }
    if (whole_) {
        if (auto failed = whole_->make_folder(context)) {
            return failed;
        }
    }
    for (const std::string& above : above_) {
        const platform::FolderResult made = context.os.files.create_folder(above);
        if (made.status == platform::CreateStatus::Failed) {
            return "the folder " + above + " cannot be made: " + made.reason;
        }
    }
    // A folder of that name left by an earlier run is not ours to add to.
    const platform::FolderResult created = context.os.files.create_folder(folder_);
    if (created.status != platform::CreateStatus::Created) {
        return "the backup folder " + folder_ + " cannot be made: " + created.reason;
    }
    made_ = true;
    return std::nullopt;
}

void BackupAction::count_held() {
    for (BackupAction* action = this; action; action = action->whole_) {
        ++action->held_;
    }
}

std::optional<std::string> BackupAction::record_item(const Context& context, std::string_view name,
                                                     std::uint64_t size,
                                                     const std::string& sha256) {
    return contents_.append(context.os.files, folder_ + "\\" + std::string(kContentsName),
                            contents_line(name, size, sha256));
}

std::optional<std::string> BackupAction::back_up_key(const Context& context,
                                                     const std::string& path) {
    auto tree = read_key_tree(context.os.registry, context.key_root, path);
    if (const auto* failed = std::get_if<std::string>(&tree)) {
        return *failed;
    }
    if (auto failed = make_folder(context)) {
        return failed;
    }
    std::u16string text;
    for (const RegKeyBlock& block : std::get<std::vector<RegKeyBlock>>(tree)) {
        text += reg_key_block(block);
    }
    // Each key ends with an empty line, so that the file is whole after every key.
    text += u"\r\n";
    const std::string file = folder_ + "\\" + std::string(kRegistryBackupName);
    if (auto failed = registry_file_.append(context.os.files, file, utf16le_bytes(text))) {
        return failed;
    }
    // The record names the registry file's size and digest after each whole key.
    if (auto failed = record_item(context, kRegistryBackupName, registry_file_.size(),
                                  registry_file_.hex_digest())) {
        return *failed + registry_file_.take_back_last().value_or(std::string());
    }
    count_held();
    return std::nullopt;
}

std::optional<std::string> BackupAction::back_up_file(const Context& context,
                                                      const std::string& path) {
    if (auto failed = make_folder(context)) {
        return failed;
    }
    platform::FileSystem& files = context.os.files;
    const std::string copy = folder_ + "\\" + std::string(leaf_of(path));
    // What is there already is another item's, and not to be discarded below.
    if (platform::finds_entry(files, copy, platform::Lookup::FoldersIncluded)) {
        return "the backup holds " + copy + " already";
    }
    std::optional<std::string> failed = files.copy_file(path, copy);
    if (!failed) {
        try {
            const std::string copied = files.read_binary_file(copy);
            if (copied != files.read_binary_file(path)) {
                failed = "the copy " + copy + " does not match the file";
            } else {
                failed = record_item(context, leaf_of(path), copied.size(), sha256_hex(copied));
            }
        } catch (const platform::Failure& failure) {
            failed = failure.what();
        }
    }
    if (failed) {
        // A copy cut short must not pass for the file.
        files.discard_file(copy);
        return failed;
    }
    count_held();
    return std::nullopt;
}
