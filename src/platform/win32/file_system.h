// The file system through the wide kernel32 and shell32 functions, long paths included. It keeps
// no state, so any thread may call it at once; shell_delete wants COM on the calling thread, in
// either apartment, and shows nothing, so it needs no window.
#pragma once

#include "platform/platform.h"

#include <string>

namespace win32 {

class FileSystem final : public platform::FileSystem {
public:
    platform::FindResult find(std::string_view path_pattern) override;
    platform::OpenedFolder open_trusted_folder(std::string_view path, platform::Use use) override;
    platform::RemovalResult shell_delete(std::string_view path) override;
    std::string read_text_file(std::string_view path) override;
    std::string read_binary_file(std::string_view path) override;
};

} // namespace win32
