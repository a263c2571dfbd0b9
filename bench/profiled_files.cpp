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
        result.search = std::make_unique<ProfiledSearch>(std::move(result.search), nexts);
    }
    return result;
}

platform::RemovalResult ProfiledFileSystem::delete_file(std::string_view path) {
    return tallied(deletes, [&] { return inner_.delete_file(path); });
}

platform::RemovalResult ProfiledFileSystem::discard_file(std::string_view path) {
    return tallied(others, [&] { return inner_.discard_file(path); });
}

platform::RemovalResult ProfiledFileSystem::shell_delete(std::string_view path) {
    return tallied(others, [&] { return inner_.shell_delete(path); });
}

platform::RemovalResult ProfiledFileSystem::remove_link(std::string_view path) {
    return tallied(others, [&] { return inner_.remove_link(path); });
}

bool ProfiledFileSystem::still_there(std::string_view path) {
    return tallied(confirmations, [&] { return inner_.still_there(path); });
}

platform::CreateResult ProfiledFileSystem::create_new_text_file(std::string_view path) {
    return tallied(others, [&] { return inner_.create_new_text_file(path); });
}

std::string ProfiledFileSystem::read_text_file(std::string_view path) {
    return tallied(others, [&] { return inner_.read_text_file(path); });
}

platform::BinaryCreateResult ProfiledFileSystem::create_new_binary_file(std::string_view path) {
    return tallied(others, [&] { return inner_.create_new_binary_file(path); });
}

std::string ProfiledFileSystem::read_binary_file(std::string_view path) {
    return tallied(others, [&] { return inner_.read_binary_file(path); });
}

platform::FolderResult ProfiledFileSystem::create_folder(std::string_view path) {
    return tallied(others, [&] { return inner_.create_folder(path); });
}

std::optional<std::string> ProfiledFileSystem::copy_file(std::string_view from,
                                                         std::string_view to) {
    return tallied(others, [&] { return inner_.copy_file(from, to); });
}

std::string ProfiledFileSystem::summary() const {
    std::string text;
    append(text, "`find` (FindFirstFileExW)", finds);
    append(text, "`next` (FindNextFileW)", nexts);
    append(text, "`delete_file`", deletes);
    append(text, "`still_there`", confirmations);
    append(text, "other calls", others);
    return text;
}

} // namespace bench
