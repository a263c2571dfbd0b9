#include "operations/identity.h"

#include "platform/sha256.h"

#include <memory>
#include <utility>
#include <vector>

namespace {

std::string stamp_text(const platform::FileStamp& stamp) {
    return "size " + std::to_string(stamp.size) + ", written " + std::to_string(stamp.written);
}

// Each piece is added with its length first: no two trees give the same stream of pieces.
void add_piece(Sha256& digest, std::string_view piece) {
    digest.add(std::to_string(piece.size()) + ":");
    digest.add(piece);
}

std::optional<std::string> file_identity(const Target& target) {
    if (target.file) {
        return stamp_text(target.file->stamp());
    }
    if (!target.folder) {
        return std::nullopt;
    }
    const platform::OpenedFile opened = target.folder->open_file(target.name, platform::Use::Read);
    if (!opened.file) {
        return std::nullopt;
    }
    return stamp_text(opened.file->stamp());
}

class TreeDigest final : public platform::KeyTreeVisitor {
public:
    std::optional<std::string> reached(platform::RegistryKey& key,
                                       const std::string& path) override {
        add_piece(digest_, "key " + path);
        for (std::uint32_t index = 0;; ++index) {
            const platform::ValueEntry entry = key.enum_value(index);
            if (entry.status == platform::EnumStatus::NoMoreItems) {
                return std::nullopt;
            }
            if (entry.status != platform::EnumStatus::Found) {
                return "unreadable";
            }
            add_piece(digest_, "value " + entry.name + " " + std::to_string(entry.value.type));
            add_piece(digest_,
                      std::string_view(reinterpret_cast<const char*>(entry.value.data.data()),
                                       entry.value.data.size()));
        }
    }
    std::optional<std::string> not_entered(const std::string& path,
                                           const platform::OpenedKey&) override {
        add_piece(digest_, "closed " + path);
        return std::nullopt;
    }
    std::optional<std::string> unlisted(const std::string&) override { return "unreadable"; }

    std::string hex() const { return digest_.hex_digest(); }

private:
    Sha256 digest_;
};

std::optional<std::string> key_identity(const Context& context, const Target& target) {
    const platform::OpenedKey opened = context.os.registry.open_unlinked(
        platform::RegistryRoot::CurrentUser, target.path, platform::RegistryAccess::Default);
    if (!opened.key) {
        return std::nullopt;
    }
    TreeDigest digest;
    if (platform::walk_key_tree(*opened.key, target.path, digest)) {
        return std::nullopt;
    }
    return "tree " + digest.hex();
}

// The folder's tree, each folder opened through the one above it and links never entered.
std::optional<std::string> folder_identity(const Target& target) {
    if (!target.folder) {
        return std::nullopt;
    }
    platform::OpenedFolder top = target.folder->open_folder(target.name, platform::Use::Read);
    if (!top.folder) {
        return std::nullopt;
    }
    Sha256 digest;
    std::vector<std::pair<std::unique_ptr<platform::Folder>, std::string>> pending;
    pending.emplace_back(std::move(top.folder), std::string());
    while (!pending.empty()) {
        auto [folder, path] = std::move(pending.back());
        pending.pop_back();
        for (const platform::DirEntry& entry : folder->list()) {
            const std::string inside = path + "\\" + entry.name;
            add_piece(digest, inside + " " + std::to_string(entry.attributes));
            if (platform::is_link(entry)) {
                continue;
            }
            if ((entry.attributes & platform::attr::kDirectory) != 0) {
                platform::OpenedFolder below = folder->open_folder(entry.name, platform::Use::Read);
                if (!below.folder) {
                    return std::nullopt;
                }
                pending.emplace_back(std::move(below.folder), inside);
                continue;
            }
            const platform::OpenedFile file = folder->open_file(entry.name, platform::Use::Read);
            if (!file.file) {
                return std::nullopt;
            }
            add_piece(digest, stamp_text(file.file->stamp()));
        }
    }
    return "tree " + digest.hex_digest();
}

std::optional<std::string> identity_now(const Context& context, const Target& target) {
    switch (target.kind) {
    case TargetKind::Key:
        return key_identity(context, target);
    case TargetKind::SettingsFile:
    case TargetKind::File:
    case TargetKind::StoreFile:
        return file_identity(target);
    case TargetKind::ProjectFolder:
        return folder_identity(target);
    case TargetKind::ProjectLink:
        return std::string("link");
    case TargetKind::StoreFolder:
    case TargetKind::FolderRights:
        break;
    }
    // Restoring access rights leaves the folder as it is: what it holds may change meanwhile.
    return std::string("folder");
}

} // namespace

std::optional<std::string> identity_of(const Context& context, const Target& target) {
    try {
        return identity_now(context, target);
    } catch (const platform::Failure&) {
        return std::nullopt;
    }
}
