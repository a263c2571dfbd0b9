// A file system that passes every call on and adds up how often each kind was made and how long
// it took: where a case's time goes.
#pragma once

#include "platform/platform.h"

#include <string>

namespace bench {

struct CallTally {
    std::size_t calls = 0;
    double seconds = 0;
};

class ProfiledFileSystem final : public platform::FileSystem {
public:
    explicit ProfiledFileSystem(platform::FileSystem& inner) : inner_(inner) {}

    platform::FindResult find(std::string_view path_pattern) override;
    platform::RemovalResult delete_file(std::string_view path) override;
    platform::RemovalResult discard_file(std::string_view path) override;
    platform::RemovalResult shell_delete(std::string_view path) override;
    platform::RemovalResult remove_link(std::string_view path) override;
    bool still_there(std::string_view path) override;
    platform::CreateResult create_new_text_file(std::string_view path) override;
    std::string read_text_file(std::string_view path) override;
    platform::BinaryCreateResult create_new_binary_file(std::string_view path) override;
    std::string read_binary_file(std::string_view path) override;
    platform::FolderResult create_folder(std::string_view path) override;
    std::optional<std::string> copy_file(std::string_view from, std::string_view to) override;

    // "find: N calls, S s; next: ...; delete_file: ..." for the kinds that were called.
    std::string summary() const;

    CallTally finds;
    CallTally nexts;
    CallTally deletes;
    CallTally confirmations;
    CallTally others;

private:
    platform::FileSystem& inner_;
};

} // namespace bench
