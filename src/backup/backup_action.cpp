#include "backup/backup_action.h"

#include "backup/backup_contents.h"
#include "operations/folder_walk.h"
#include "platform/text.h"

namespace {

constexpr std::string_view kUnholdableName = "a name the registry file cannot hold";
constexpr std::string_view kBrokenBackup =
    "an earlier part of the backup could not be taken back after a failed write";

std::string_view leaf_of(std::string_view path) {
    return path.substr(path.rfind('\\') + 1);
}

// Why a key that opened as this cannot be read for the backup.
std::string refusal_of(const platform::OpenedKey& opened, const std::string& path) {
    switch (opened.state) {
    case platform::KeyState::Link:
        return std::string(platform::kRegistryLink);
    case platform::KeyState::Unopenable:
        return "the key " + path + " cannot be read: " + opened.reason;
    case platform::KeyState::Missing:
    case platform::KeyState::Present:
        break;
    }
    return "the key " + path + " cannot be read";
}

// Reads a key tree into the registry file's blocks, in the order the registry lists them. A link,
// a name the file cannot hold, or anything that cannot be read refuses the whole tree.
class TreeReader final : public platform::KeyTreeVisitor {
public:
    explicit TreeReader(std::string_view key_root) : key_root_(key_root) {}

    std::optional<std::string> reached(platform::RegistryKey& key,
                                       const std::string& path) override {
        if (!reg_file_can_hold_name(leaf_of(path))) {
            return std::string(kUnholdableName);
        }
        RegKeyBlock block{std::string(key_root_) + path, {}};
        for (std::uint32_t index = 0;; ++index) {
            platform::ValueEntry entry = key.enum_value(index);
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
        return std::nullopt;
    }
    std::optional<std::string> not_entered(const std::string& path,
                                           const platform::OpenedKey& opened) override {
        if (!reg_file_can_hold_name(leaf_of(path))) {
            return std::string(kUnholdableName);
        }
        return refusal_of(opened, path);
    }
    std::optional<std::string> unlisted(const std::string& path) override {
        return "a subkey of " + path + " cannot be read";
    }

    std::vector<RegKeyBlock> blocks;

private:
    std::string_view key_root_;
};

std::string parent_of(const std::string& path) {
    return path.substr(0, path.rfind('\\'));
}

} // namespace

std::string backup_folder_of(std::string_view host_folder, std::string_view log_name) {
    const std::string_view number = log_name.substr(0, log_name.rfind('.'));
    return std::string(host_folder) + "\\" + std::string(number) + ".backup";
}

BackupHome administrators_backup_home(platform::System& system) {
    const auto program_data = system.special_folder(platform::kCsidlCommonAppData);
    if (!program_data || program_data->empty()) {
        throw platform::Failure(
            "the system does not name the folder for every user's program data");
    }
    return {*program_data, *program_data + "\\TOLM\\VESK Cleaning Wizard\\Backups", true};
}

std::string part_record_name(std::string_view part) {
    return std::string(part) + "\\" + std::string(kContentsName);
}

std::variant<std::vector<RegKeyBlock>, std::string>
read_key_tree(platform::Registry& registry, std::string_view key_root, const std::string& path) {
    if (!reg_file_can_hold_name(leaf_of(path))) {
        return std::string(kUnholdableName);
    }
    const platform::OpenedKey opened = registry.open_unlinked(
        platform::RegistryRoot::CurrentUser, path, platform::RegistryAccess::Default);
    if (!opened.key) {
        return refusal_of(opened, path);
    }
    TreeReader reader(key_root);
    if (auto failed = platform::walk_key_tree(*opened.key, path, reader)) {
        return *failed;
    }
    return std::move(reader.blocks);
}

std::optional<std::string> PieceFile::append(platform::Folder& folder, std::string_view name,
                                             const std::string& path, std::string_view piece) {
    if (broken_) {
        return std::string(kBrokenBackup);
    }
    if (!file_) {
        platform::BinaryCreateResult created = folder.create_binary_file(name);
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
        failed = back_up_file(context, target);
    }
    if (failed) {
        return {Outcome::NotBackedUp, *failed};
    }
    return deletion_.apply(context, target);
}

bool BackupAction::administrators_only() const {
    return whole_ ? whole_->administrators_only() : home_.administrators_only;
}

std::optional<std::string> BackupAction::open_home(const Context& context,
                                                   std::unique_ptr<platform::Folder>& home) const {
    const bool beside_log = home_.folder.empty();
    const std::string base = beside_log ? parent_of(folder_) : home_.base;
    platform::OpenedFolder opened = open_folder_at(context, base, platform::Use::Read);
    if (!opened.folder) {
        return "the folder " + base + " cannot be opened: " + opened.reason;
    }
    home = std::move(opened.folder);
    if (beside_log) {
        return std::nullopt;
    }
    std::string path = base;
    std::string_view below = std::string_view(home_.folder).substr(base.size());
    while (!below.empty()) {
        const std::size_t end = std::min(below.find('\\'), below.size());
        const std::string_view name = below.substr(0, end);
        below.remove_prefix(std::min(end + 1, below.size()));
        if (name.empty()) {
            continue;
        }
        path.append("\\").append(name);
        platform::OpenedFolder next = folder_in(*home, name, true);
        if (!next.folder) {
            return "the folder " + path + " cannot be made: " + next.reason;
        }
        home = std::move(next.folder);
    }
    return std::nullopt;
}

std::optional<std::string> BackupAction::make_folder(const Context& context) {
    if (made_) {
        return std::nullopt;
    }
    std::unique_ptr<platform::Folder> owned;
    platform::Folder* base = nullptr;
    if (whole_) {
        if (auto failed = whole_->make_folder(context)) {
            return failed;
        }
        base = whole_->held_.get();
    } else {
        if (auto failed = open_home(context, owned)) {
            return failed;
        }
        base = owned.get();
    }
    // A folder of that name left by an earlier run is not ours to add to.
    auto created = folder_in(*base, leaf_of(folder_), false);
    if (!created.folder) {
        return "the backup folder " + folder_ + " cannot be made: " + created.reason;
    }
    held_ = std::move(created.folder);
    made_ = true;
    return std::nullopt;
}

platform::OpenedFolder BackupAction::folder_in(platform::Folder& base, std::string_view name,
                                               bool may_exist) const {
    platform::CreatedFolder created =
        base.create_folder(name, administrators_only() ? platform::NewFolder::AdministratorsOnly
                                                       : platform::NewFolder::Inherited);
    if (created.folder) {
        return {std::move(created.folder), platform::OpenStatus::Opened, {}};
    }
    if (may_exist && created.status == platform::CreateStatus::AlreadyExists) {
        return base.open_folder(name, platform::Use::Read);
    }
    return {nullptr, platform::OpenStatus::Refused, created.reason};
}

void BackupAction::count_held() {
    for (BackupAction* action = this; action; action = action->whole_) {
        ++action->items_;
    }
}

std::optional<std::string> BackupAction::record_item(std::string_view name, std::uint64_t size,
                                                     const std::string& sha256) {
    if (auto failed =
            contents_.append(*held_, kContentsName, folder_ + "\\" + std::string(kContentsName),
                             contents_line(name, size, sha256))) {
        return failed;
    }
    if (!whole_) {
        return std::nullopt;
    }
    // The whole's record names each part's record as it grows: a part missing, added, renamed
    // or changed since does not match it.
    if (auto failed = whole_->contents_.append(
            *whole_->held_, kContentsName, whole_->folder_ + "\\" + std::string(kContentsName),
            contents_line(part_record_name(leaf_of(folder_)), contents_.size(),
                          contents_.hex_digest()))) {
        return *failed + contents_.take_back_last().value_or(std::string());
    }
    return std::nullopt;
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
    if (auto failed =
            registry_file_.append(*held_, kRegistryBackupName, file, utf16le_bytes(text))) {
        return failed;
    }
    // The record names the registry file's size and digest after each whole key.
    if (auto failed =
            record_item(kRegistryBackupName, registry_file_.size(), registry_file_.hex_digest())) {
        return *failed + registry_file_.take_back_last().value_or(std::string());
    }
    count_held();
    return std::nullopt;
}

std::optional<std::string> BackupAction::back_up_file(const Context& context,
                                                      const Target& target) {
    if (!target.file) {
        throw platform::Failure("A settings file is handed over without its handle.");
    }
    // The bytes that the handle reads are the bytes that it then deletes: what the backup holds
    // is what went.
    const std::string bytes = target.file->read_all();
    const std::uint32_t attributes = target.file->attributes();
    if (auto failed = make_folder(context)) {
        return failed;
    }
    const std::string name(leaf_of(target.path));
    const std::string copy = folder_ + "\\" + name;
    platform::BinaryCreateResult created = held_->create_binary_file(name);
    if (!created.file) {
        // What is there already is another item's, and not to be discarded.
        return created.status == platform::CreateStatus::AlreadyExists
                   ? "the backup holds " + copy + " already"
                   : copy + " cannot be made: " + created.reason;
    }
    std::optional<std::string> failed;
    try {
        created.file->write(bytes);
        created.file->set_attributes(attributes);
        failed = record_item(name, bytes.size(), sha256_hex(bytes));
    } catch (const platform::Failure& failure) {
        failed = failure.what();
    }
    if (failed) {
        // A copy cut short must not pass for the file.
        created.file->discard();
        return failed;
    }
    count_held();
    return std::nullopt;
}
