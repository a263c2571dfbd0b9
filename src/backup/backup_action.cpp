#include "backup/backup_action.h"

#include "platform/text.h"

namespace {

constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER\\";
// The longest key name, terminating NUL excluded.
constexpr std::size_t kMaxKeyNameChars = 255;

// Appends the key at path and everything below it to blocks; the reason when it cannot.
std::optional<std::string> add_key(platform::Registry& registry, const std::string& path,
                                   std::vector<RegKeyBlock>& blocks) {
    const auto key = registry.open_key(platform::RegistryRoot::CurrentUser, path,
                                       platform::RegistryAccess::Default);
    if (!key) {
        return "the key " + path + " cannot be read";
    }
    RegKeyBlock block{std::string(kCurrentUser) + path, {}};
    for (std::uint32_t index = 0;; ++index) {
        platform::ValueEntry entry = key->enum_value(index);
        if (entry.status == platform::EnumStatus::NoMoreItems) {
            break;
        }
        if (entry.status != platform::EnumStatus::Found) {
            return "a value of " + path + " cannot be read";
        }
        block.values.emplace_back(std::move(entry.name), std::move(entry.value));
    }
    blocks.push_back(std::move(block));
    for (std::uint32_t index = 0;; ++index) {
        const platform::SubkeyEntry entry = key->enum_subkey(index, kMaxKeyNameChars);
        if (entry.status == platform::EnumStatus::NoMoreItems) {
            return std::nullopt;
        }
        if (entry.status != platform::EnumStatus::Found) {
            return "a subkey of " + path + " cannot be read";
        }
        if (auto failed = add_key(registry, path + "\\" + entry.name, blocks)) {
            return failed;
        }
    }
}

std::string_view leaf_of(std::string_view path) {
    return path.substr(path.rfind('\\') + 1);
}

} // namespace

std::string backup_folder_of(std::string_view host_folder, std::string_view log_name) {
    const std::string_view number = log_name.substr(0, log_name.rfind('.'));
    return std::string(host_folder) + "\\" + std::string(number) + ".backup";
}

std::variant<std::vector<RegKeyBlock>, std::string> read_key_tree(platform::Registry& registry,
                                                                  const std::string& path) {
    std::vector<RegKeyBlock> blocks;
    if (auto failed = add_key(registry, path, blocks)) {
        return *failed;
    }
    return blocks;
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
    // A folder of that name left by an earlier run is not ours to add to.
    const platform::FolderResult created = context.os.files.create_folder(folder_);
    if (created.status != platform::CreateStatus::Created) {
        return "the backup folder " + folder_ + " cannot be made: " + created.reason;
    }
    made_ = true;
    return std::nullopt;
}

std::optional<std::string> BackupAction::back_up_key(const Context& context,
                                                     const std::string& path) {
    auto tree = read_key_tree(context.os.registry, path);
    if (const auto* failed = std::get_if<std::string>(&tree)) {
        return *failed;
    }
    if (auto failed = make_folder(context)) {
        return failed;
    }
    try {
        std::u16string text;
        if (!registry_file_) {
            const std::string file = folder_ + "\\" + std::string(kRegistryBackupName);
            platform::BinaryCreateResult created = context.os.files.create_new_binary_file(file);
            if (!created.file) {
                return file + " cannot be made: " + created.reason;
            }
            registry_file_ = std::move(created.file);
            text = reg_file_header();
        }
        for (const RegKeyBlock& block : std::get<std::vector<RegKeyBlock>>(tree)) {
            text += reg_key_block(block);
        }
        // Each key ends with an empty line, so that the file is whole after every key.
        text += u"\r\n";
        registry_file_->write(utf16le_bytes(text));
    } catch (const platform::Failure& failure) {
        return std::string(failure.what());
    }
    return std::nullopt;
}

std::optional<std::string> BackupAction::back_up_file(const Context& context,
                                                      const std::string& path) {
    if (auto failed = make_folder(context)) {
        return failed;
    }
    return context.os.files.copy_file(path, folder_ + "\\" + std::string(leaf_of(path)));
}
