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

// The folders it opens and the files they open are profiled too: a deletion is opened and done
// through them.
class ProfiledFileSystem final : public platform::FileSystem {
public:
    explicit ProfiledFileSystem(platform::FileSystem& inner) : inner_(inner) {}

    platform::FindResult find(std::string_view path_pattern) override;
    platform::OpenedFolder open_trusted_folder(std::string_view path, platform::Use use) override;
    platform::RemovalResult shell_delete(std::string_view path) override;
    std::string read_text_file(std::string_view path) override;
    std::string read_binary_file(std::string_view path) override;

    // "find: N calls, S s; listing: ...; delete: ..." for the kinds that were called.
    std::string summary() const;
    void reset() { finds = listings = opens = deletes = others = {}; }

    CallTally finds;
    CallTally listings;
    CallTally opens;   // folders and files opened through a folder
    CallTally deletes; // through a folder, or through the file's own handle
    CallTally others;

private:
    platform::FileSystem& inner_;
};

} // namespace bench
