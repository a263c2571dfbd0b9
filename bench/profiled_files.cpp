#include "profiled_files.h"

#include "support.h"

#include <cstdio>
#include <memory>

namespace bench {
namespace {

template <class Call> decltype(auto) tallied(CallTally& tally, Call&& call) {
    const double start = seconds_now();
    struct Count {
        CallTally& tally;
        double start;
        ~Count() {
            ++tally.calls;
            tally.seconds += seconds_now() - start;
        }
    } count{tally, start};
    return call();
}

class ProfiledSearch final : public platform::Search {
public:
    ProfiledSearch(std::unique_ptr<platform::Search> inner, CallTally& tally)
        : inner_(std::move(inner)), tally_(tally) {}

    std::optional<platform::DirEntry> next() override {
        return tallied(tally_, [&] { return inner_->next(); });
    }

private:
    std::unique_ptr<platform::Search> inner_;
    CallTally& tally_;
};

class ProfiledFile final : public platform::File {
public:
    ProfiledFile(std::unique_ptr<platform::File> inner, ProfiledFileSystem& tallies)
        : inner_(std::move(inner)), tallies_(tallies) {}

    std::uint32_t attributes() override {
        return tallied(tallies_.others, [&] { return inner_->attributes(); });
    }
    platform::FileStamp stamp() override {
        return tallied(tallies_.others, [&] { return inner_->stamp(); });
    }
    std::string read_all() override {
        return tallied(tallies_.others, [&] { return inner_->read_all(); });
    }
    platform::RemovalResult delete_now() override {
        return tallied(tallies_.deletes, [&] { return inner_->delete_now(); });
    }
    std::optional<std::string> grant_users_full_control() override {
        return tallied(tallies_.others, [&] { return inner_->grant_users_full_control(); });
    }

private:
    std::unique_ptr<platform::File> inner_;
    ProfiledFileSystem& tallies_;
};

platform::OpenedFolder profiled(platform::OpenedFolder opened, ProfiledFileSystem& tallies);

class ProfiledFolder final : public platform::Folder {
public:
    ProfiledFolder(std::unique_ptr<platform::Folder> inner, ProfiledFileSystem& tallies)
        : inner_(std::move(inner)), tallies_(tallies) {}

    std::vector<platform::DirEntry> list() override {
        return tallied(tallies_.listings, [&] { return inner_->list(); });
    }
    platform::OpenedFolder open_folder(std::string_view name, platform::Use use) override {
        return profiled(tallied(tallies_.opens, [&] { return inner_->open_folder(name, use); }),
                        tallies_);
    }
    platform::OpenedFile open_file(std::string_view name, platform::Use use) override {
        platform::OpenedFile opened =
            tallied(tallies_.opens, [&] { return inner_->open_file(name, use); });
        if (opened.file) {
            opened.file = std::make_unique<ProfiledFile>(std::move(opened.file), tallies_);
        }
        return opened;
    }
    platform::RemovalResult delete_file(std::string_view name) override {
        return tallied(tallies_.deletes, [&] { return inner_->delete_file(name); });
    }
    platform::RemovalResult remove_link(std::string_view name) override {
        return tallied(tallies_.others, [&] { return inner_->remove_link(name); });
    }
    platform::RemovalResult delete_now() override {
        return tallied(tallies_.others, [&] { return inner_->delete_now(); });
    }
    std::optional<std::string> grant_users_full_control() override {
        return tallied(tallies_.others, [&] { return inner_->grant_users_full_control(); });
    }
    std::optional<std::string> others_may_write() override {
        return tallied(tallies_.others, [&] { return inner_->others_may_write(); });
    }
    platform::CreateResult create_text_file(std::string_view name) override {
        return tallied(tallies_.others, [&] { return inner_->create_text_file(name); });
    }
    platform::BinaryCreateResult create_binary_file(std::string_view name) override {
        return tallied(tallies_.others, [&] { return inner_->create_binary_file(name); });
    }
    platform::CreatedFolder create_folder(std::string_view name,
                                          platform::NewFolder access) override {
        platform::CreatedFolder created =
            tallied(tallies_.others, [&] { return inner_->create_folder(name, access); });
        if (created.folder) {
            created.folder = std::make_unique<ProfiledFolder>(std::move(created.folder), tallies_);
        }
        return created;
    }

private:
    std::unique_ptr<platform::Folder> inner_;
    ProfiledFileSystem& tallies_;
};

platform::OpenedFolder profiled(platform::OpenedFolder opened, ProfiledFileSystem& tallies) {
    if (opened.folder) {
        opened.folder = std::make_unique<ProfiledFolder>(std::move(opened.folder), tallies);
    }
    return opened;
}

void append(std::string& text, const char* kind, const CallTally& tally) {
    if (tally.calls == 0) {
        return;
    }
    char line[128];
    std::snprintf(line, sizeof line, "%s%s %zu calls, %.3f s (%.1f µs each)",
                  text.empty() ? "" : "; ", kind, tally.calls, tally.seconds,
                  tally.seconds * 1e6 / static_cast<double>(tally.calls));
    text += line;
}

} // namespace

platform::FindResult ProfiledFileSystem::find(std::string_view path_pattern) {
    platform::FindResult result = tallied(finds, [&] { return inner_.find(path_pattern); });
    if (result.search) {
        result.search = std::make_unique<ProfiledSearch>(std::move(result.search), finds);
    }
    return result;
}

platform::OpenedFolder ProfiledFileSystem::open_trusted_folder(std::string_view path,
                                                               platform::Use use) {
    return profiled(tallied(opens, [&] { return inner_.open_trusted_folder(path, use); }), *this);
}

platform::RemovalResult ProfiledFileSystem::shell_delete(std::string_view path) {
    return tallied(others, [&] { return inner_.shell_delete(path); });
}

std::string ProfiledFileSystem::read_text_file(std::string_view path) {
    return tallied(others, [&] { return inner_.read_text_file(path); });
}

std::string ProfiledFileSystem::read_binary_file(std::string_view path) {
    return tallied(others, [&] { return inner_.read_binary_file(path); });
}

std::string ProfiledFileSystem::summary() const {
    std::string text;
    append(text, "`find` (FindFirstFileExW and the next ones)", finds);
    append(text, "`list` (through a folder's handle)", listings);
    append(text, "`open` (a folder or file through its folder's handle)", opens);
    append(text, "`delete` (through a handle)", deletes);
    append(text, "other calls", others);
    return text;
}

} // namespace bench
