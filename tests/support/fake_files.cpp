// The fake's folders and files held open: each handle holds its entry's id, so that it follows
// the entry wherever a test moves it, and never reaches what a link stands for.
#include "fake_platform.h"
#include "platform/text.h"

namespace fake {
namespace {

using platform::OpenStatus;
using platform::Removal;
using platform::RemovalResult;

constexpr const char* kNotEmpty = "The directory is not empty.";
constexpr const char* kNotAReparsePoint = "The file or directory is not a reparse point.";

bool is_directory(const FileEntry& entry) {
    return (entry.attributes & platform::attr::kDirectory) != 0;
}

} // namespace

// Every write reaches the file at once, as the real log's writes reach the system.
class FakeTextFile : public platform::TextFile {
public:
    FakeTextFile(FakePlatform& owner, std::uint64_t id, std::u32string key)
        : owner_(owner), id_(id), key_(std::move(key)) {}
    void write(std::string_view utf8) override {
        const auto held = owner_.lock();
        if (owner_.fail_writes_after >= 0 && owner_.writes_ >= owner_.fail_writes_after) {
            throw platform::Failure("Disk full");
        }
        ++owner_.writes_;
        if (const auto key = owner_.key_of_entry(id_, key_)) {
            owner_.append_content(*key, utf8);
        }
    }

private:
    FakePlatform& owner_;
    std::uint64_t id_;
    std::u32string key_;
};

class FakeBinaryFile : public platform::BinaryFile {
public:
    FakeBinaryFile(FakePlatform& owner, std::uint64_t id, std::u32string key)
        : owner_(owner), id_(id), key_(std::move(key)) {}
    void write(std::string_view bytes) override {
        const auto held = owner_.lock();
        const auto key = owner_.key_of_entry(id_, key_);
        if (!key || !owner_.append_backup_bytes(*key, bytes)) {
            throw platform::Failure(kDiskFull);
        }
    }
    void cut_back(std::uint64_t size) override {
        const auto held = owner_.lock();
        const auto key = owner_.key_of_entry(id_, key_);
        if (owner_.fail_cut_back || !key) {
            throw platform::Failure(kAccessDenied);
        }
        std::string& content = owner_.entries().at(*key).content;
        content.resize(std::min<std::size_t>(content.size(), size));
    }
    void set_attributes(std::uint32_t attributes) override {
        const auto held = owner_.lock();
        if (const auto key = owner_.key_of_entry(id_, key_)) {
            owner_.entries().at(*key).attributes = attributes;
        }
    }
    RemovalResult discard() override {
        const auto held = owner_.lock();
        owner_.file_call("discard_file", owner_.shown_path(key_));
        owner_.calls.push_back("discard_file " + owner_.shown_path(key_));
        const auto key = owner_.key_of_entry(id_, key_);
        if (!key) {
            return {Removal::Missing, kFileNotFound};
        }
        owner_.entries().erase(*key);
        return {Removal::Deleted, {}};
    }

private:
    FakePlatform& owner_;
    std::uint64_t id_;
    std::u32string key_;
};

namespace {

class FakeFile final : public platform::File {
public:
    FakeFile(FakePlatform& owner, std::uint64_t id, std::u32string key)
        : owner_(owner), id_(id), key_(std::move(key)) {
        const auto held = owner_.lock();
        ++owner_.open_files;
    }
    ~FakeFile() override {
        const auto held = owner_.lock();
        --owner_.open_files;
    }
    FakeFile(const FakeFile&) = delete;
    FakeFile& operator=(const FakeFile&) = delete;

    std::uint32_t attributes() override {
        const auto held = owner_.lock();
        return entry("attributes").attributes;
    }

    platform::FileStamp stamp() override {
        const auto held = owner_.lock();
        const FileEntry& file = entry("stamp");
        return {file.content.size(), file.written};
    }

    std::string read_all() override {
        const auto held = owner_.lock();
        FileEntry& file = entry("read_all");
        if (owner_.unreadable_files.contains(key_)) {
            throw platform::Failure(kAccessDenied);
        }
        return file.content;
    }

    RemovalResult delete_now() override {
        const auto held = owner_.lock();
        const std::string path = owner_.shown_path(key_);
        owner_.file_call("delete_file", path);
        owner_.calls.push_back("delete_file " + path);
        const auto key = owner_.key_of_entry(id_, key_);
        if (!key) {
            return {Removal::Missing, kFileNotFound};
        }
        const auto found = owner_.entries().find(*key);
        const FileEntry& file = found->second;
        if ((file.attributes & platform::attr::kReadOnly) != 0) {
            return {Removal::Refused, kAccessDenied};
        }
        if (file.locked) {
            return {Removal::Refused, kInUse};
        }
        return owner_.erased(found);
    }

    std::optional<std::string> grant_users_full_control() override {
        const auto held = owner_.lock();
        FileEntry& file = entry("grant");
        if (file.names > 1) {
            return std::string("a file with other names (hard links)");
        }
        file.users_full_control = true;
        return std::nullopt;
    }

private:
    // The entry the handle holds, after the test's hook for call.
    FileEntry& entry(std::string_view call) {
        owner_.file_call(call, owner_.shown_path(key_));
        const auto key = owner_.key_of_entry(id_, key_);
        if (!key) {
            throw platform::Failure(kFileNotFound);
        }
        key_ = *key;
        return owner_.entries().at(key_);
    }

    FakePlatform& owner_;
    std::uint64_t id_;
    std::u32string key_;
};

class FakeFolder final : public platform::Folder {
public:
    FakeFolder(FakePlatform& owner, std::uint64_t id, std::u32string key)
        : owner_(owner), id_(id), key_(std::move(key)) {
        ++owner_.open_searches;
    }
    ~FakeFolder() override {
        const auto held = owner_.lock();
        --owner_.open_searches;
    }
    FakeFolder(const FakeFolder&) = delete;
    FakeFolder& operator=(const FakeFolder&) = delete;

    std::vector<platform::DirEntry> list() override {
        const auto held = owner_.lock();
        const std::u32string folder = where("list", {});
        std::vector<platform::DirEntry> entries;
        for (const std::u32string& key : owner_.children(folder)) {
            const FileEntry& child = owner_.entries().at(key);
            entries.push_back({child.name, child.attributes});
        }
        return entries;
    }

    platform::OpenedFolder open_folder(std::string_view name, platform::Use /*use*/) override {
        const auto held = owner_.lock();
        const std::u32string key = where("open_folder", name) + U"\\" + platform::fold_case(name);
        const auto found = owner_.entries().find(key);
        if (found == owner_.entries().end()) {
            return {nullptr, OpenStatus::Missing, kFileNotFound};
        }
        if (!found->second.link_target.empty()) {
            return {nullptr, OpenStatus::Link, std::string(platform::kLinkNotFollowed)};
        }
        if (!is_directory(found->second)) {
            return {nullptr, OpenStatus::WrongKind, kNotAFolder};
        }
        if (owner_.unlistable_folders.contains(key)) {
            return {nullptr, OpenStatus::Refused, kAccessDenied};
        }
        return {
            std::make_unique<FakeFolder>(owner_, found->second.id, key), OpenStatus::Opened, {}};
    }

    platform::OpenedFile open_file(std::string_view name, platform::Use use) override {
        const auto held = owner_.lock();
        where("open_file", name);
        return opened_file(name, use);
    }

    RemovalResult delete_file(std::string_view name) override {
        const auto held = owner_.lock();
        platform::OpenedFile opened = opened_file(name, platform::Use::Delete);
        switch (opened.status) {
        case OpenStatus::Opened:
            return opened.file->delete_now();
        case OpenStatus::Missing:
            return {Removal::Missing, opened.reason};
        case OpenStatus::Link:
        case OpenStatus::WrongKind:
        case OpenStatus::Refused:
            break;
        }
        return {Removal::Refused, opened.reason};
    }

    RemovalResult remove_link(std::string_view name) override {
        const auto held = owner_.lock();
        const std::u32string key = where("remove_link", name) + U"\\" + platform::fold_case(name);
        owner_.calls.push_back("remove_link " + path_of(name));
        const auto found = owner_.entries().find(key);
        if (found == owner_.entries().end()) {
            return {Removal::Missing, kFileNotFound};
        }
        if ((found->second.attributes & platform::attr::kReparsePoint) == 0) {
            return {Removal::Refused, kNotAReparsePoint};
        }
        if (found->second.locked) {
            return {Removal::Refused, kInUse};
        }
        return owner_.erased(found);
    }

    RemovalResult delete_now() override {
        const auto held = owner_.lock();
        const std::string path = owner_.shown_path(key_);
        owner_.file_call("delete_folder", path);
        owner_.calls.push_back("delete_folder " + path);
        const auto key = owner_.key_of_entry(id_, key_);
        if (!key) {
            return {Removal::Missing, kFileNotFound};
        }
        if (!owner_.children(*key).empty()) {
            return {Removal::Refused, kNotEmpty};
        }
        return owner_.erased(owner_.entries().find(*key));
    }

    std::optional<std::string> grant_users_full_control() override {
        const auto held = owner_.lock();
        owner_.entries().at(where("grant", {})).users_full_control = true;
        return std::nullopt;
    }

    platform::CreateResult create_text_file(std::string_view name) override {
        return create<FakeTextFile, platform::CreateResult>("create_text_file", "create", name,
                                                            false);
    }

    platform::BinaryCreateResult create_binary_file(std::string_view name) override {
        return create<FakeBinaryFile, platform::BinaryCreateResult>("create_binary_file",
                                                                    "create_binary", name, false);
    }

    platform::CreatedFolder create_folder(std::string_view name,
                                          platform::NewFolder access) override {
        const auto held = owner_.lock();
        platform::CreatedFolder created = create<FakeFolder, platform::CreatedFolder>(
            "create_folder", "create_folder", name, true);
        if (created.folder && access == platform::NewFolder::AdministratorsOnly) {
            owner_.entries().at(key_ + U"\\" + platform::fold_case(name)).others_may_write = false;
        }
        return created;
    }

    std::optional<std::string> others_may_write() override {
        const auto held = owner_.lock();
        if (owner_.entries().at(where("others_may_write", {})).others_may_write) {
            return std::string("S-1-5-32-545 may change it");
        }
        return std::nullopt;
    }

private:
    // Where the folder is now, after the test's hook for call on name (the folder itself when
    // empty). A folder that is gone fails every call, as a deleted folder's handle does.
    std::u32string where(std::string_view call, std::string_view name) {
        const auto key = owner_.key_of_entry(id_, key_);
        if (!key) {
            throw platform::Failure(kAccessDenied);
        }
        key_ = *key;
        owner_.file_call(call, path_of(name));
        const auto moved = owner_.key_of_entry(id_, key_);
        if (!moved) {
            throw platform::Failure(kAccessDenied);
        }
        key_ = *moved;
        return key_;
    }

    // A new entry name, handed out as Handle; the test's hooks and the calls see it first.
    template <class Handle, class Result>
    Result create(std::string_view call, std::string_view recorded, std::string_view name,
                  bool directory) {
        const auto held = owner_.lock();
        const std::u32string folder = where(call, name);
        if (!directory && owner_.before_create && recorded == "create") {
            owner_.before_create(path_of(name));
        }
        owner_.calls.push_back(std::string(recorded) + " " + path_of(name));
        if (const auto refused = owner_.refuse_new_entry(folder, name)) {
            return {nullptr, refused->first, refused->second};
        }
        const FileEntry& made = owner_.new_entry(folder, name, directory);
        return {
            std::make_unique<Handle>(owner_, made.id, folder + U"\\" + platform::fold_case(name)),
            platform::CreateStatus::Created,
            {}};
    }

    std::string path_of(std::string_view name) const {
        const std::string folder = owner_.shown_path(key_);
        return name.empty() ? folder : folder + "\\" + std::string(name);
    }

    platform::OpenedFile opened_file(std::string_view name, platform::Use use) {
        const std::u32string key = key_ + U"\\" + platform::fold_case(name);
        const auto found = owner_.entries().find(key);
        if (found == owner_.entries().end() || found->second.deletion_pending) {
            return {nullptr, OpenStatus::Missing, kFileNotFound};
        }
        const FileEntry& file = found->second;
        if (!file.link_target.empty()) {
            return {nullptr, OpenStatus::Link, std::string(platform::kLinkNotFollowed)};
        }
        if (is_directory(file)) {
            return {nullptr, OpenStatus::WrongKind, kAccessDenied};
        }
        if (use == platform::Use::Read && owner_.unreadable_files.contains(key)) {
            return {nullptr, OpenStatus::Refused, kAccessDenied};
        }
        return {std::make_unique<FakeFile>(owner_, file.id, key), OpenStatus::Opened, {}};
    }

    FakePlatform& owner_;
    std::uint64_t id_;
    std::u32string key_;
};

} // namespace

platform::OpenedFolder FakePlatform::open_trusted_folder(std::string_view path,
                                                         platform::Use /*use*/) {
    const auto held = lock();
    file_call("open_trusted_folder", path);
    const std::u32string key = resolved_key(path, Last::Followed);
    const auto found = files_.find(key);
    if (found == files_.end()) {
        return {nullptr, OpenStatus::Missing, kPathNotFound};
    }
    if (!is_directory(found->second)) {
        return {nullptr, OpenStatus::WrongKind, kNotAFolder};
    }
    if (unlistable_folders.contains(key)) {
        return {nullptr, OpenStatus::Refused, kAccessDenied};
    }
    return {std::make_unique<FakeFolder>(*this, found->second.id, key), OpenStatus::Opened, {}};
}

std::optional<std::u32string> FakePlatform::key_of_entry(std::uint64_t id,
                                                         const std::u32string& hint) const {
    const auto at_hint = files_.find(hint);
    if (at_hint != files_.end() && at_hint->second.id == id) {
        return hint;
    }
    for (const auto& [key, entry] : files_) {
        if (entry.id == id) {
            return key;
        }
    }
    return std::nullopt;
}

std::string FakePlatform::shown_path(const std::u32string& key) const {
    std::string shown;
    const bool share = key.starts_with(U"\\\\");
    for (std::size_t end = key.find(U'\\', share ? 2 : 0);; end = key.find(U'\\', end + 1)) {
        const std::u32string prefix = key.substr(0, end);
        const auto found = files_.find(prefix);
        const std::string element =
            found != files_.end()
                ? found->second.name
                : platform::utf8_from_utf32(prefix.substr(prefix.rfind(U'\\') + 1));
        shown += shown.empty() ? (share ? "\\\\" : "") + element : "\\" + element;
        if (end == std::u32string::npos) {
            return shown;
        }
    }
}

std::optional<std::pair<platform::CreateStatus, std::string>>
FakePlatform::refuse_new_entry(const std::u32string& folder, std::string_view name) const {
    if (files_.count(folder) == 0) {
        return std::pair{platform::CreateStatus::Failed, std::string(kPathNotFound)};
    }
    if (files_.count(folder + U"\\" + platform::fold_case(name)) != 0) {
        return std::pair{platform::CreateStatus::AlreadyExists, std::string("The file exists.")};
    }
    if (uncreatable_folders.count(folder) != 0) {
        return std::pair{platform::CreateStatus::Failed, std::string(kAccessDenied)};
    }
    return std::nullopt;
}

FileEntry& FakePlatform::new_entry(const std::u32string& folder, std::string_view name,
                                   bool directory) {
    const std::string path = shown_path(folder) + "\\" + std::string(name);
    return directory ? add_dir(path) : add_file(path);
}

void FakePlatform::file_call(std::string_view call, std::string_view path) {
    if (before_file_call) {
        before_file_call(call, path);
    }
}

void FakePlatform::registry_call(std::string_view call, std::string_view path) {
    if (before_registry_call) {
        before_registry_call(call, path);
    }
}

} // namespace fake
