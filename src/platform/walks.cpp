// The walks that reach a folder or a key from a root the system owns, one element at a time,
// each opened through the one above it: a link anywhere on the way is seen, never followed.
#include "platform/platform.h"

#include <vector>

namespace platform {
namespace {

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// The names of a path, in order: Windows reads "/" as "\\" and a doubled separator as one.
std::vector<std::string_view> elements_of(std::string_view path) {
    std::vector<std::string_view> elements;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= path.size(); ++at) {
        if (at == path.size() || is_separator(path[at])) {
            if (at > start) {
                elements.push_back(path.substr(start, at - start));
            }
            start = at + 1;
        }
    }
    return elements;
}

// How long the root of a full path is: "C:\\", "\\\\server\\share\\", or either or a volume's name
// behind "\\\\?\\"; 0 when the path has none.
std::size_t volume_root_length(std::string_view path) {
    // The end of count names from from, each ended by a separator or the path's end.
    auto after_names = [&](std::size_t from, int count) -> std::size_t {
        for (int taken = 0; taken < count; ++taken) {
            std::size_t end = from;
            while (end < path.size() && !is_separator(path[end])) {
                ++end;
            }
            if (end == from) {
                return 0;
            }
            from = std::min(end + 1, path.size());
        }
        return from;
    };
    auto is_drive = [&](std::size_t at) {
        return path.size() >= at + 2 && path[at + 1] == ':' &&
               (path.size() == at + 2 || is_separator(path[at + 2]));
    };
    const bool device = path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) &&
                        (path[2] == '?' || path[2] == '.') && is_separator(path[3]);
    if (device) {
        if (path.size() >= 8 && path.substr(4, 3) == "UNC" && is_separator(path[7])) {
            return after_names(8, 2);
        }
        return is_drive(4) ? std::min<std::size_t>(7, path.size()) : after_names(4, 1);
    }
    if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
        return after_names(2, 2);
    }
    return is_drive(0) ? std::min<std::size_t>(3, path.size()) : 0;
}

// A failure on the way down, said of the folder where it happened.
OpenedFolder refused_on_the_way(OpenedFolder opened, std::string_view folder, bool last) {
    if (last) {
        if (opened.status == OpenStatus::Link) {
            opened.reason = kLinkNotFollowed;
        }
        return opened;
    }
    switch (opened.status) {
    case OpenStatus::Link:
        opened.reason =
            "its folder " + std::string(folder) + " is " + std::string(kLinkNotFollowed);
        break;
    case OpenStatus::Missing:
        opened.status = OpenStatus::Missing;
        break;
    case OpenStatus::WrongKind:
        opened.reason = "its folder " + std::string(folder) + " is no folder";
        break;
    case OpenStatus::Refused:
        opened.reason = "its folder " + std::string(folder) + " cannot be opened: " + opened.reason;
        break;
    case OpenStatus::Opened:
        break;
    }
    return opened;
}

// Finds a registry link anywhere below a key; whatever else it meets it passes over.
class LinkSearch final : public KeyTreeVisitor {
public:
    std::optional<std::string> reached(RegistryKey&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> not_entered(const std::string&, const OpenedKey& opened) override {
        if (opened.state == KeyState::Link) {
            return std::string(kRegistryLink);
        }
        return std::nullopt;
    }
    std::optional<std::string> unlisted(const std::string&) override { return std::nullopt; }
};

RemovalResult removal_of(const OpenedKey& opened) {
    switch (opened.state) {
    case KeyState::Missing:
        return {Removal::Missing, opened.reason};
    case KeyState::Link:
        return {Removal::Refused, std::string(kRegistryLink)};
    case KeyState::Unopenable:
    case KeyState::Present:
        break;
    }
    return {Removal::Refused, opened.reason};
}

// Deletes every subkey of key, the deepest first, then the key itself. A link that appeared
// since the key was checked is refused, never followed.
RemovalResult delete_tree(RegistryKey& key) {
    std::vector<std::string> names;
    for (std::uint32_t index = 0;; ++index) {
        const SubkeyEntry entry = key.enum_subkey(index, kMaxKeyNameChars);
        if (entry.status == EnumStatus::NoMoreItems) {
            break;
        }
        if (entry.status != EnumStatus::Found) {
            return {Removal::Refused, "a subkey cannot be listed"};
        }
        names.push_back(entry.name);
    }
    for (const std::string& name : names) {
        OpenedKey sub = key.open_subkey(name, RegistryAccess::AllAccess);
        if (sub.state == KeyState::Missing) {
            continue;
        }
        if (!sub.key) {
            return removal_of(sub);
        }
        if (RemovalResult removed = delete_tree(*sub.key); removed.removal != Removal::Deleted) {
            return removed;
        }
    }
    return key.delete_now();
}

} // namespace

OpenedFolder open_below(FileSystem& files, std::string_view trusted, std::string_view path,
                        Use use) {
    const std::vector<std::string_view> below = elements_of(path.substr(trusted.size()));
    OpenedFolder current = files.open_trusted_folder(trusted, below.empty() ? use : Use::Read);
    for (std::size_t index = 0; index < below.size() && current.folder; ++index) {
        const bool last = index + 1 == below.size();
        const std::size_t end =
            static_cast<std::size_t>(below[index].data() - path.data()) + below[index].size();
        current =
            refused_on_the_way(current.folder->open_folder(below[index], last ? use : Use::Read),
                               path.substr(0, end), last);
    }
    return current;
}

OpenedFolder open_checked(FileSystem& files, std::string_view path, Use use) {
    const std::size_t root = volume_root_length(path);
    if (root == 0) {
        return {nullptr, OpenStatus::Refused, "not a full path"};
    }
    return open_below(files, path.substr(0, root), path, use);
}

HeldFolders hold_checked(FileSystem& files, std::string_view path) {
    HeldFolders held;
    const std::size_t root = volume_root_length(path);
    if (root == 0) {
        held.reason = "not a full path";
        return held;
    }
    OpenedFolder current = files.open_trusted_folder(path.substr(0, root), Use::Hold);
    const std::vector<std::string_view> below = elements_of(path.substr(root));
    for (std::size_t index = 0; current.folder; ++index) {
        held.way.push_back(std::move(current.folder));
        if (index == below.size()) {
            return held;
        }
        const std::size_t end =
            static_cast<std::size_t>(below[index].data() - path.data()) + below[index].size();
        current = refused_on_the_way(held.way.back()->open_folder(below[index], Use::Hold),
                                     path.substr(0, end), index + 1 == below.size());
    }
    held.way.clear();
    held.reason =
        current.reason.empty() ? std::string("the folder cannot be held") : current.reason;
    return held;
}

std::optional<std::string> walk_key_tree(RegistryKey& key, const std::string& path,
                                         KeyTreeVisitor& visitor) {
    if (auto ended = visitor.reached(key, path)) {
        return ended;
    }
    for (std::uint32_t index = 0;; ++index) {
        const SubkeyEntry entry = key.enum_subkey(index, kMaxKeyNameChars);
        if (entry.status == EnumStatus::NoMoreItems) {
            return std::nullopt;
        }
        if (entry.status != EnumStatus::Found) {
            return visitor.unlisted(path);
        }
        const std::string sub_path = path + "\\" + entry.name;
        OpenedKey sub = key.open_subkey(entry.name, RegistryAccess::Default);
        auto ended = sub.key ? walk_key_tree(*sub.key, sub_path, visitor)
                             : visitor.not_entered(sub_path, sub);
        if (ended) {
            return ended;
        }
    }
}

KeyCheck check_key(Registry& registry, RegistryRoot root, std::string_view path,
                   RegistryAccess access) {
    OpenedKey opened = registry.open_unlinked(root, path, access);
    return {opened.state, std::move(opened.reason)};
}

RemovalResult delete_key_tree(Registry& registry, RegistryRoot root, std::string_view path) {
    OpenedKey opened = registry.open_unlinked(root, path, RegistryAccess::AllAccess);
    if (!opened.key) {
        return removal_of(opened);
    }
    LinkSearch search;
    if (auto link = walk_key_tree(*opened.key, std::string(path), search)) {
        return {Removal::Refused, std::move(*link)};
    }
    return delete_tree(*opened.key);
}

RemovalResult delete_key(Registry& registry, RegistryRoot root, std::string_view path) {
    OpenedKey opened = registry.open_unlinked(root, path, RegistryAccess::AllAccess);
    if (!opened.key) {
        return removal_of(opened);
    }
    return opened.key->delete_now();
}

CreatedKey create_key(Registry& registry, RegistryRoot root, std::string_view path) {
    const std::vector<std::string_view> elements = elements_of(path);
    if (elements.empty()) {
        return {nullptr, false, "no key to create"};
    }
    auto way_to = [&](std::size_t count) {
        const std::string_view last = elements[count - 1];
        return path.substr(0, static_cast<std::size_t>(last.data() - path.data()) + last.size());
    };
    // The deepest key on the way that exists (the root itself when none does), then the rest
    // made through it, each through the one above.
    std::size_t existing = elements.size();
    OpenedKey opened;
    for (; existing > 0; --existing) {
        const bool target = existing == elements.size();
        opened = registry.open_unlinked(
            root, way_to(existing), target ? RegistryAccess::AllAccess : RegistryAccess::Default);
        if (opened.state != KeyState::Missing) {
            break;
        }
    }
    if (existing == 0) {
        opened = registry.open_unlinked(root, {}, RegistryAccess::Default);
    }
    if (!opened.key) {
        return {nullptr, false,
                opened.state == KeyState::Link ? std::string(kRegistryLink) : opened.reason};
    }
    std::unique_ptr<RegistryKey> current = std::move(opened.key);
    bool existed = existing == elements.size();
    for (std::size_t index = existing; index < elements.size(); ++index) {
        CreatedKey made = current->create_subkey(elements[index]);
        if (!made.key) {
            return made;
        }
        existed = made.existed;
        current = std::move(made.key);
    }
    return {std::move(current), existed, {}};
}

} // namespace platform
