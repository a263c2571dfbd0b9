#include "operations/identity.h"

#include "operations/folder_walk.h"
#include "platform/sha256.h"

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

// The folder's tree: each entry's name and attributes, and each file's stamp.
std::optional<std::string> folder_identity(const Target& target) {
    if (!target.folder) {
        return std::nullopt;
    }
    Sha256 digest;
    bool whole = true;
    look_through_tree(
        *target.folder, target.name, std::string_view(),
        [&](const platform::DirEntry& entry, platform::Folder& folder, const std::string& path) {
            add_piece(digest, path + " " + std::to_string(entry.attributes));
            if (platform::is_link(entry) || (entry.attributes & platform::attr::kDirectory) != 0) {
                return Step::Enter;
            }
            const platform::OpenedFile file = folder.open_file(entry.name, platform::Use::Read);
            if (!file.file) {
                whole = false;
                return Step::Stop;
            }
            add_piece(digest, stamp_text(file.file->stamp()));
            return Step::Next;
        },
        [&](const std::string&) {
            whole = false;
            return true;
        });
    if (!whole) {
        return std::nullopt;
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
