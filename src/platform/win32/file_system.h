// The file system through the wide kernel32 and shell32 functions, long paths included. Its only
// state, the last deletion it saw through (for the confirmation that follows it), is kept under
// a lock, so any thread may call it at once; shell_delete wants COM on the calling thread, in
// either apartment, and shows nothing, so it needs no window.
#pragma once

#include "platform/platform.h"

#include <mutex>
#include <string>

namespace win32 {

class FileSystem final : public platform::FileSystem {
public:
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

private:
    std::mutex mutex_;
    // The path of the last file whose delete disposition the system took through a handle
    // that could also write it; empty when there is none.
    std::wstring pending_;
};

} // namespace win32
