#include "platform/platform.h"

namespace platform {

bool finds_entry(FileSystem& files, std::string_view path, Lookup kind) {
    std::string pattern(path);
    if (!pattern.empty() && pattern.back() == '\\') {
        pattern += '*';
    }
    const FindResult found = files.find(pattern);
    if (!found.search) {
        return false;
    }
    std::uint32_t unseen = attr::kHidden | attr::kSystem;
    if (kind == Lookup::OrdinaryFiles) {
        unseen |= attr::kDirectory;
    }
    while (const auto entry = found.search->next()) {
        if ((entry->attributes & unseen) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace platform
