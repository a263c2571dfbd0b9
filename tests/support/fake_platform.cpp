#include "fake_platform.h"

#include "platform/registry_values.h"
#include "platform/text.h"

#include <algorithm>

namespace fake {
namespace {

using platform::Removal;
using platform::RemovalResult;

std::string normalise(std::string_view path) {
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        // A leading pair stands for a network share and stays.
        if (path[i] == '\\' && !out.empty() && out.back() == '\\' && i > 1) {
            continue;
        }
        out += path[i];
    }
    while (out.size() > 3 && out.back() == '\\') {
        out.pop_back();
    }
    if (out.size() == 3 && out[1] == ':' && out[2] == '\\') {
        out.pop_back();
    }
    return out;
}

// The elements of a full path, "." dropped and ".." taken back, as Windows reads a path that has
// no "\\?\" in front. The root (a drive, or a share's server and name) is never climbed out of.
std::string without_dots(const std::string& path) {
    const bool share = path.rfind("\\\\", 0) == 0;
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = share ? 2 : 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += path[i];
        }
    }
    const std::size_t root = share ? std::min<std::size_t>(parts.size(), 2) : 1;
    std::vector<std::string> kept(parts.begin(), parts.begin() + static_cast<long>(root));
    for (std::size_t i = root; i < parts.size(); ++i) {
        if (parts[i] == "..") {
            if (kept.size() > root) {
                kept.pop_back();
            }
        } else if (!parts[i].empty() && parts[i] != ".") {
            kept.push_back(parts[i]);
        }
    }
    std::string out = share ? "\\\\" : "";
    for (std::size_t i = 0; i < kept.size(); ++i) {
        out += (i == 0 ? "" : "\\") + kept[i];
    }
    return out;
}

std::string leaf_of(std::string_view path) {
    const auto slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::vector<std::string> split_key_path(std::string_view path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path) {
        if (c == '\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

// A short name in the 8.3 style for names that are not already 8.3.
std::string make_short_name(std::string_view name, int serial) {
    const auto dot = name.rfind('.');
    std::string base(name.substr(0, dot));
    std::string ext = dot == std::string_view::npos ? "" : std::string(name.substr(dot + 1));
    const bool fits = base.size() <= 8 && ext.size() <= 3 && base.find(' ') == std::string::npos &&
                      name.find('.') == dot;
    if (fits) {
        return {};
    }
    std::string stem;
    for (const char c : base) {
        if (c != ' ' && c != '.' && stem.size() < 6) {
            stem += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    std::string shortened = stem + "~" + std::to_string(serial);
    if (!ext.empty()) {
        std::string upper_ext;
        for (const char c : ext.substr(0, 3)) {
            upper_ext += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        shortened += "." + upper_ext;
    }
    return shortened;
}

} // namespace

// A key held open: it holds the key's id, so it reaches that key wherever it is, and no other.
class FakeKeyHandle : public platform::RegistryKey {
public:
    FakeKeyHandle(FakePlatform& owner, RegKey& key, std::string path)
        : owner_(owner), id_(owner.id_of(key)), path_(std::move(path)) {
        ++owner_.open_keys;
        owner_.open_key_ids_.insert(id_);
    }
    ~FakeKeyHandle() override {
        --owner_.open_keys;
        owner_.open_key_ids_.erase(owner_.open_key_ids_.find(id_));
    }
    FakeKeyHandle(const FakeKeyHandle&) = delete;
    FakeKeyHandle& operator=(const FakeKeyHandle&) = delete;

    std::optional<platform::RegistryValue> query_value(std::string_view name) const override {
        const RegKey* key = owner_.find_key(id_).first;
        if (key == nullptr) {
            return std::nullopt;
        }
        const auto found = key->values.find(platform::fold_case(name));
        if (found == key->values.end()) {
            return std::nullopt;
        }
        return found->second.second;
    }

    platform::SubkeyEntry enum_subkey(std::uint32_t index,
                                      std::size_t max_name_chars) const override {
        if (owner_.fail_enum_at && index >= *owner_.fail_enum_at) {
            return {platform::EnumStatus::Failed, {}};
        }
        const RegKey* key = owner_.find_key(id_).first;
        if (key == nullptr || index >= key->subkeys.size()) {
            return {platform::EnumStatus::NoMoreItems, {}};
        }
        auto it = key->subkeys.begin();
        std::advance(it, index);
        if (platform::utf16_from_utf8(it->second.name).size() > max_name_chars) {
            return {platform::EnumStatus::NameTooLong, {}};
        }
        return {platform::EnumStatus::Found, it->second.name};
    }

    platform::ValueEntry enum_value(std::uint32_t index) const override {
        const RegKey* key = owner_.find_key(id_).first;
        if (key == nullptr || index >= key->values.size()) {
            return {platform::EnumStatus::NoMoreItems, {}, {}};
        }
        auto it = key->values.begin();
        std::advance(it, index);
        return {platform::EnumStatus::Found, it->second.first, it->second.second};
    }

    std::optional<std::string> set_value(std::string_view name,
                                         const platform::RegistryValue& value) override {
        owner_.calls.push_back("set_value " + path_ + " " + std::string(name));
        RegKey* key = owner_.find_key(id_).first;
        if (key == nullptr) {
            return std::string(kFileNotFound);
        }
        if (key->deny_full_access) {
            return std::string(kAccessDenied);
        }
        key->values[platform::fold_case(name)] = {std::string(name), value};
        return std::nullopt;
    }

    platform::OpenedKey open_subkey(std::string_view name,
                                    platform::RegistryAccess access) override {
        const std::string path = below(name);
        owner_.registry_call("open_subkey", path);
        RegKey* key = owner_.find_key(id_).first;
        return owner_.opened_key(key, name, access, path);
    }

    platform::CreatedKey create_subkey(std::string_view name) override {
        const std::string path = below(name);
        owner_.registry_call("create_subkey", path);
        owner_.calls.push_back("create_key " + path);
        RegKey* key = owner_.find_key(id_).first;
        if (key == nullptr) {
            return {nullptr, false, kFileNotFound};
        }
        const auto found = key->subkeys.find(platform::fold_case(name));
        if (found != key->subkeys.end()) {
            if (!found->second.link_target.empty()) {
                return {nullptr, true, std::string(platform::kRegistryLink)};
            }
            if (found->second.deny_open || found->second.deny_full_access) {
                return {nullptr, true, kAccessDenied};
            }
            return {std::make_unique<FakeKeyHandle>(owner_, found->second, path), true, {}};
        }
        if (key->deny_full_access) {
            return {nullptr, false, kAccessDenied};
        }
        RegKey& made = key->subkeys[platform::fold_case(name)];
        made.name = name;
        return {std::make_unique<FakeKeyHandle>(owner_, made, path), false, {}};
    }

    platform::RemovalResult delete_now() override {
        owner_.registry_call("delete_key", path_);
        owner_.calls.push_back("delete_key " + path_);
        const auto [key, parent] = owner_.find_key(id_);
        if (key == nullptr || parent == nullptr) {
            return {Removal::Missing, kFileNotFound};
        }
        if (!key->subkeys.empty() || key->deny_delete || key->deny_open) {
            return {Removal::Refused, kAccessDenied};
        }
        parent->subkeys.erase(platform::fold_case(key->name));
        return {Removal::Deleted, {}};
    }

private:
    std::string below(std::string_view name) const {
        return path_.empty() ? std::string(name) : path_ + "\\" + std::string(name);
    }

    FakePlatform& owner_;
    std::uint64_t id_;
    std::string path_; // as it was opened, for the calls it records
};

namespace {

class FakeSearch : public platform::Search {
public:
    FakeSearch(FakePlatform& owner, std::vector<platform::DirEntry> entries)
        : owner_(owner), entries_(std::move(entries)) {
        ++owner_.open_searches;
    }
    ~FakeSearch() override { --owner_.open_searches; }
    std::optional<platform::DirEntry> next() override {
        if (position_ >= entries_.size()) {
            return std::nullopt;
        }
        return entries_[position_++];
    }

private:
    FakePlatform& owner_;
    std::vector<platform::DirEntry> entries_;
    std::size_t position_ = 0;
};

} // namespace

std::u32string path_key(std::string_view path) {
    return platform::fold_case(normalise(path));
}

platform::RegistryValue reg_sz(std::string_view utf8, bool with_terminator) {
    platform::RegistryValue value = platform::text_value(utf8);
    if (!with_terminator) {
        value.data.resize(value.data.size() - 2);
    }
    return value;
}

platform::RegistryValue reg_dword(std::uint32_t number) {
    return platform::dword_value(number);
}

platform::RegistryValue reg_expand_sz(std::string_view utf8) {
    return platform::text_value(utf8, platform::kRegExpandSz);
}

std::string shown_value(const platform::RegistryValue& value) {
    if (const auto number = platform::dword_of(value)) {
        return std::to_string(*number);
    }
    std::u16string text = platform::utf16_from_le_bytes(value.data);
    if (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    return platform::utf8_from_utf16(text);
}

platform::RegistryValue reg_bytes(std::uint32_t type, std::vector<std::uint8_t> bytes) {
    return {type, std::move(bytes)};
}

FakePlatform::FakePlatform() {
    add_dir("C:");
    add_dir(special_folders.at(platform::kCsidlCommonAppData));
}

std::string FakePlatform::full_path(std::string_view path) const {
    if (path.empty() || path.starts_with("\\\\")) {
        return normalise(without_dots(normalise(path)));
    }
    const std::string current = normalise(current_directory);
    const std::string_view current_drive = std::string_view(current).substr(0, 2);
    std::string full;
    if (path.size() >= 2 && path[1] == ':') {
        const std::string_view rest = path.substr(2);
        if (rest.starts_with('\\')) {
            full = path;
        } else if (platform::iequals(path.substr(0, 2), current_drive)) {
            // "C:name" is relative to the current folder when C: is the current drive.
            full = current + "\\" + std::string(rest);
        } else {
            full = std::string(path.substr(0, 2)) + "\\" + std::string(rest);
        }
    } else if (path.front() == '\\') {
        full = std::string(current_drive) + std::string(path);
    } else {
        full = current + "\\" + std::string(path);
    }
    return normalise(without_dots(normalise(full)));
}

std::u32string FakePlatform::key_of(std::string_view path) const {
    return path_key(full_path(path));
}

FileEntry& FakePlatform::add_dir(std::string_view path, std::uint32_t attributes) {
    const std::string norm = full_path(path);
    const auto slash = norm.rfind('\\');
    if (slash != std::string::npos && slash > 1) {
        add_dir(norm.substr(0, slash));
    }
    FileEntry& dir = files_[path_key(norm)];
    if (dir.name.empty()) {
        dir.name = leaf_of(norm);
    }
    if (dir.id == 0) {
        dir.id = ++next_id_;
    }
    dir.attributes = attributes | platform::attr::kDirectory;
    return dir;
}

FileEntry& FakePlatform::add_file(std::string_view path, std::string content,
                                  std::uint32_t attributes) {
    const std::string norm = full_path(path);
    add_dir(norm.substr(0, norm.rfind('\\')));
    FileEntry& file = files_[path_key(norm)];
    file.name = leaf_of(norm);
    file.short_name = make_short_name(file.name, 1);
    file.attributes = attributes;
    file.content = std::move(content);
    if (file.id == 0) {
        file.id = ++next_id_;
    }
    return file;
}

void FakePlatform::move_entry(std::string_view from, std::string_view to) {
    const std::u32string source = key_of(from);
    const std::u32string target = key_of(to);
    const std::string target_path = full_path(to);
    add_dir(target_path.substr(0, target_path.rfind('\\')));
    std::vector<std::pair<std::u32string, FileEntry>> moved;
    for (auto it = files_.begin(); it != files_.end();) {
        if (it->first == source || it->first.starts_with(source + U"\\")) {
            moved.emplace_back(target + it->first.substr(source.size()), std::move(it->second));
            it = files_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& [key, entry] : moved) {
        if (key == target) {
            entry.name = leaf_of(target_path);
        }
        files_[key] = std::move(entry);
    }
}

FileEntry& FakePlatform::add_link(std::string_view path, std::string_view target) {
    FileEntry& link = add_dir(path, platform::attr::kReparsePoint);
    link.link_target = full_path(target);
    return link;
}

bool FakePlatform::exists(std::string_view path) const {
    return files_.count(key_of(path)) != 0;
}

FileEntry* FakePlatform::entry(std::string_view path) {
    const auto found = files_.find(key_of(path));
    return found == files_.end() ? nullptr : &found->second;
}

std::string FakePlatform::content(std::string_view path) const {
    const auto found = files_.find(key_of(path));
    return found == files_.end() ? std::string() : found->second.content;
}

std::vector<std::string> FakePlatform::tree(std::string_view folder) const {
    const std::u32string prefix = key_of(folder) + U"\\";
    std::vector<std::string> paths;
    for (auto it = files_.lower_bound(prefix);
         it != files_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        paths.push_back(platform::utf8_from_utf32(it->first.substr(prefix.size())));
    }
    return paths;
}

namespace {

void describe_key(const RegKey& key, const std::string& path, std::vector<std::string>& lines) {
    for (const auto& [folded, value] : key.values) {
        const auto& [name, data] = value;
        lines.push_back(path + " = " + name + " type " + std::to_string(data.type) + " data " +
                        std::string(data.data.begin(), data.data.end()));
    }
    for (const auto& [folded, subkey] : key.subkeys) {
        lines.push_back(path + "\\" + subkey.name +
                        (subkey.link_target.empty() ? "" : " link " + subkey.link_target));
        describe_key(subkey, path + "\\" + subkey.name, lines);
    }
}

} // namespace

std::vector<std::string> FakePlatform::whole_world() {
    std::vector<std::string> lines;
    for (const auto& [key, entry] : files_) {
        lines.push_back(platform::utf8_from_utf32(key) + " name " + entry.name + " attributes " +
                        std::to_string(entry.attributes) + " content " + entry.content + " link " +
                        entry.link_target +
                        (entry.users_full_control ? " users full control" : ""));
    }
    for (const auto root :
         {platform::RegistryRoot::CurrentUser, platform::RegistryRoot::LocalMachine}) {
        if (const RegKey* software = key(root, "Software")) {
            describe_key(*software, "Software", lines);
        }
    }
    return lines;
}

void FakePlatform::make_unlistable(std::string_view folder) {
    unlistable_folders.insert(key_of(folder));
}
void FakePlatform::make_uncreatable(std::string_view folder) {
    uncreatable_folders.insert(key_of(folder));
}
void FakePlatform::make_unreadable(std::string_view file) {
    unreadable_files.insert(key_of(file));
}

RegKey& FakePlatform::root_key(platform::RegistryRoot root, platform::RegistryView view) {
    if (root == platform::RegistryRoot::CurrentUser) {
        RegKey& own = users_.subkeys[platform::fold_case(user_sid)];
        own.name = user_sid;
        return own;
    }
    if (root == platform::RegistryRoot::Users) {
        return users_;
    }
    return view == platform::RegistryView::Wow64_32 ? local_machine_32_ : local_machine_;
}

RegKey& FakePlatform::add_key(platform::RegistryRoot root, std::string_view path,
                              platform::RegistryView view) {
    return add_key_below(root_key(root, view), path);
}

RegKey& FakePlatform::add_key_below(RegKey& from, std::string_view path) {
    RegKey* key = &from;
    for (const std::string& part : split_key_path(path)) {
        RegKey& child = key->subkeys[platform::fold_case(part)];
        if (child.name.empty()) {
            child.name = part;
        }
        key = &child;
    }
    return *key;
}

RegKey* FakePlatform::walk_key(platform::RegistryRoot root, platform::RegistryView view,
                               std::string_view path, bool follow_last, bool create) {
    // A chain of links that never ends stops being followed, where Windows would fail the call.
    constexpr int kMostLinks = 32;
    std::vector<std::string> parts = split_key_path(path);
    RegKey* key = &root_key(root, view);
    int links = 0;
    for (std::size_t at = 0; at < parts.size();) {
        const auto found = key->subkeys.find(platform::fold_case(parts[at]));
        if (found == key->subkeys.end()) {
            if (!create) {
                return nullptr;
            }
            key = &key->subkeys[platform::fold_case(parts[at])];
            key->name = parts[at++];
            continue;
        }
        const RegKey& child = found->second;
        const bool last = at + 1 == parts.size();
        if (child.link_target.empty() || (last && !follow_last)) {
            key = &found->second;
            ++at;
            continue;
        }
        if (++links > kMostLinks) {
            return nullptr;
        }
        std::vector<std::string> followed = split_key_path(child.link_target);
        followed.insert(followed.end(), parts.begin() + static_cast<long>(at) + 1, parts.end());
        parts = std::move(followed);
        key = &root_key(root, view);
        at = 0;
    }
    return key;
}

RegKey* FakePlatform::key(platform::RegistryRoot root, std::string_view path,
                          platform::RegistryView view) {
    return walk_key(root, view, path, true);
}

RegKey& FakePlatform::add_key_link(platform::RegistryRoot root, std::string_view path,
                                   std::string_view target) {
    RegKey& link = add_key(root, path);
    link.link_target = target;
    return link;
}

namespace {

bool holds_link(const RegKey& key) {
    return !key.link_target.empty() ||
           std::ranges::any_of(key.subkeys, [](const auto& sub) { return holds_link(sub.second); });
}

} // namespace

std::string FakePlatform::value_of(platform::RegistryRoot root, std::string_view path,
                                   std::string_view name) {
    const RegKey* found = key(root, path);
    if (found == nullptr) {
        return {};
    }
    const auto value = found->values.find(platform::fold_case(name));
    return value == found->values.end() ? std::string() : shown_value(value->second.second);
}

void FakePlatform::set_value(platform::RegistryRoot root, std::string_view path,
                             std::string_view name, platform::RegistryValue value,
                             platform::RegistryView view) {
    add_key(root, path, view).values[platform::fold_case(name)] = {std::string(name),
                                                                   std::move(value)};
}

std::unique_ptr<platform::RegistryKey> FakePlatform::open_key(platform::RegistryRoot root,
                                                              std::string_view path,
                                                              platform::RegistryAccess access,
                                                              platform::RegistryView view) {
    registry_call("open_key", path);
    RegKey* found = key(root, path, view);
    if (found == nullptr || found->deny_open ||
        (access == platform::RegistryAccess::AllAccess && found->deny_full_access)) {
        return nullptr;
    }
    return std::make_unique<FakeKeyHandle>(*this, *found, std::string(path));
}

platform::OpenedKey FakePlatform::opened_key(RegKey* parent, std::string_view name,
                                             platform::RegistryAccess access,
                                             const std::string& path) {
    if (parent == nullptr) {
        return {nullptr, platform::KeyState::Missing, kFileNotFound};
    }
    const auto found = parent->subkeys.find(platform::fold_case(name));
    if (found == parent->subkeys.end()) {
        return {nullptr, platform::KeyState::Missing, kFileNotFound};
    }
    RegKey& child = found->second;
    if (!child.link_target.empty()) {
        return {nullptr, platform::KeyState::Link, {}};
    }
    if (child.deny_open ||
        (access == platform::RegistryAccess::AllAccess && child.deny_full_access)) {
        return {nullptr, platform::KeyState::Unopenable, kAccessDenied};
    }
    return {std::make_unique<FakeKeyHandle>(*this, child, path), platform::KeyState::Present, {}};
}

platform::OpenedKey FakePlatform::open_unlinked(platform::RegistryRoot root, std::string_view path,
                                                platform::RegistryAccess access) {
    registry_call("open_unlinked", path);
    const std::vector<std::string> parts = split_key_path(path);
    RegKey* current = &root_key(root, platform::RegistryView::Native);
    if (parts.empty()) {
        return {std::make_unique<FakeKeyHandle>(*this, *current, std::string()),
                platform::KeyState::Present,
                {}};
    }
    std::string way;
    for (std::size_t index = 0; index + 1 < parts.size(); ++index) {
        way += (way.empty() ? "" : "\\") + parts[index];
        platform::OpenedKey step =
            opened_key(current, parts[index], platform::RegistryAccess::QueryValue, way);
        if (!step.key) {
            return step;
        }
        current = &current->subkeys.at(platform::fold_case(parts[index]));
    }
    return opened_key(current, parts.back(), access, std::string(path));
}

std::pair<RegKey*, RegKey*> FakePlatform::find_key(std::uint64_t id) {
    std::pair<RegKey*, RegKey*> found{nullptr, nullptr};
    const auto search = [&](auto& self, RegKey& key, RegKey* parent) -> bool {
        if (key.id == id) {
            found = {&key, parent};
            return true;
        }
        for (auto& [name, sub] : key.subkeys) {
            if (self(self, sub, &key)) {
                return true;
            }
        }
        return false;
    };
    for (RegKey* root : {&users_, &local_machine_, &local_machine_32_}) {
        if (search(search, *root, nullptr)) {
            break;
        }
    }
    return found;
}

bool FakePlatform::holds_open_key(const RegKey& key) const {
    return open_key_ids_.contains(key.id) ||
           std::ranges::any_of(key.subkeys,
                               [this](const auto& sub) { return holds_open_key(sub.second); });
}

std::uint64_t FakePlatform::id_of(RegKey& key) {
    if (key.id == 0) {
        key.id = ++next_id_;
    }
    return key.id;
}

std::string FakePlatform::resolve(std::string_view path, Last last) const {
    // Follows links on the way, as the real file system does; a chain of links that never ends
    // stops being followed, where Windows would fail the call.
    constexpr int kMostLinks = 63;
    std::string resolved = full_path(path);
    const std::size_t start = resolved.rfind("\\\\", 0) == 0 ? 2 : 0;
    std::size_t pos = start;
    for (int links = 0; links <= kMostLinks;) {
        const std::size_t end = resolved.find('\\', pos + 1);
        const bool is_last = end == std::string::npos;
        if (is_last && last == Last::Kept) {
            break;
        }
        const std::string prefix = resolved.substr(0, is_last ? resolved.size() : end);
        const auto found = files_.find(path_key(prefix));
        if (found != files_.end() && !found->second.link_target.empty()) {
            resolved = found->second.link_target + (is_last ? "" : resolved.substr(end));
            pos = start;
            ++links;
            continue;
        }
        if (is_last) {
            break;
        }
        pos = end;
    }
    return resolved;
}

std::u32string FakePlatform::resolved_key(std::string_view path, Last last) const {
    return path_key(resolve(path, last));
}

std::vector<std::u32string> FakePlatform::children(const std::u32string& folder) const {
    const std::u32string prefix = folder + U"\\";
    std::vector<std::u32string> keys;
    for (auto it = files_.lower_bound(prefix);
         it != files_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.find(U'\\', prefix.size()) == std::u32string::npos) {
            keys.push_back(it->first);
        }
    }
    return keys;
}

platform::FindResult FakePlatform::find(std::string_view path_pattern) {
    const auto held = lock();
    file_call("find", path_pattern);
    // The folder part ends at the last backslash, or after a drive; without either it is the
    // current folder.
    const std::string pattern_path(path_pattern);
    std::size_t split = pattern_path.rfind('\\');
    std::string folder_part = split == std::string::npos ? "." : pattern_path.substr(0, split);
    if (split == std::string::npos && pattern_path.size() >= 2 && pattern_path[1] == ':') {
        split = 1;
        folder_part = pattern_path.substr(0, 2);
    }
    const std::string pattern =
        split == std::string::npos ? pattern_path : pattern_path.substr(split + 1);
    // A link named as the folder is followed: its listing is what it leads to.
    const std::u32string folder = resolved_key(folder_part, Last::Followed);
    const auto dir = files_.find(folder);
    if (unlistable_folders.count(folder) != 0) {
        return {nullptr, true, kAccessDenied};
    }
    if (dir == files_.end() || (dir->second.attributes & platform::attr::kDirectory) == 0) {
        return {nullptr, true, kPathNotFound};
    }
    std::vector<platform::DirEntry> entries;
    const bool is_root = folder.find(U'\\') == std::u32string::npos;
    if (!is_root) {
        for (const char* dots : {".", ".."}) {
            if (platform::wildcard_match(pattern, dots)) {
                entries.push_back({dots, platform::attr::kDirectory});
            }
        }
    }
    for (const auto& key : children(folder)) {
        const FileEntry& child = files_.at(key);
        if (platform::wildcard_match(pattern, child.name) ||
            (!child.short_name.empty() && platform::wildcard_match(pattern, child.short_name))) {
            entries.push_back({child.name, child.attributes});
        }
    }
    if (entries.empty()) {
        return {nullptr, false, kFileNotFound};
    }
    return {std::make_unique<FakeSearch>(*this, std::move(entries)), false, {}};
}

RemovalResult FakePlatform::erased(std::map<std::u32string, FileEntry>::iterator found) {
    FileEntry& entry = found->second;
    if (entry.immutable) {
        return {Removal::Refused, std::string(platform::kStillThere)};
    }
    if (entry.shared_open) {
        entry.deletion_pending = true;
    } else {
        files_.erase(found);
    }
    return {Removal::Deleted, {}};
}

namespace {

void erase_tree(std::map<std::u32string, FileEntry>& files, const std::u32string& key) {
    const std::u32string prefix = key + U"\\";
    auto it = files.lower_bound(prefix);
    while (it != files.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
        it = files.erase(it);
    }
    files.erase(key);
}

} // namespace

void FakePlatform::erase(std::string_view path) {
    const auto held = lock();
    erase_tree(files_, key_of(path));
}

platform::RemovalResult FakePlatform::shell_delete(std::string_view path) {
    const auto held = lock();
    file_call("shell_delete", path);
    calls.push_back("shell_delete " + std::string(path));
    const std::u32string key = resolved_key(path, Last::Kept);
    if (files_.count(key) == 0) {
        return {Removal::Missing, kFileNotFound};
    }
    const std::u32string prefix = key + U"\\";
    for (auto it = files_.lower_bound(key);
         it != files_.end() &&
         (it->first == key || it->first.compare(0, prefix.size(), prefix) == 0);
         ++it) {
        if (it->second.locked) {
            return {Removal::Refused, kInUse};
        }
    }
    erase_tree(files_, key);
    return {Removal::Deleted, {}};
}

bool FakePlatform::append_backup_bytes(const std::u32string& key, std::string_view bytes) {
    const std::size_t fits = backup_space ? std::min(*backup_space, bytes.size()) : bytes.size();
    append_content(key, bytes.substr(0, fits));
    if (backup_space) {
        *backup_space -= fits;
    }
    return fits == bytes.size();
}

void FakePlatform::append_content(const std::u32string& key, std::string_view text) {
    const auto found = files_.find(key);
    if (found != files_.end()) {
        found->second.content += text;
    }
}

std::string FakePlatform::read_binary_file(std::string_view path) {
    return read_text_file(path);
}

std::string FakePlatform::read_text_file(std::string_view path) {
    const auto held = lock();
    file_call("read_file", path);
    const std::u32string key = resolved_key(path, Last::Followed);
    const auto found = files_.find(key);
    if (found == files_.end()) {
        throw platform::Failure(kFileNotFound);
    }
    if (unreadable_files.count(key) != 0) {
        throw platform::Failure(kAccessDenied);
    }
    return found->second.content;
}

std::optional<std::string> FakePlatform::special_folder(int csidl) {
    const auto found = special_folders.find(csidl);
    if (found == special_folders.end()) {
        return std::nullopt;
    }
    return found->second;
}

namespace {

// Holds the fake's lock while it lives, as the named object lives while its handle is open.
class FakeLock final : public platform::CleaningLock {
public:
    explicit FakeLock(bool& locked) : locked_(locked) { locked_ = true; }
    ~FakeLock() override { locked_ = false; }
    FakeLock(const FakeLock&) = delete;
    FakeLock& operator=(const FakeLock&) = delete;

private:
    bool& locked_;
};

class FakeProfileLock final : public platform::CleaningLock {
public:
    FakeProfileLock(std::set<std::u32string>& locked, std::u32string sid)
        : locked_(locked), sid_(std::move(sid)) {
        locked_.insert(sid_);
    }
    ~FakeProfileLock() override { locked_.erase(sid_); }
    FakeProfileLock(const FakeProfileLock&) = delete;
    FakeProfileLock& operator=(const FakeProfileLock&) = delete;

private:
    std::set<std::u32string>& locked_;
    std::u32string sid_;
};

} // namespace

std::unique_ptr<platform::CleaningLock> FakePlatform::lock_cleaning() {
    if (cleaning_locked) {
        return nullptr;
    }
    return std::make_unique<FakeLock>(cleaning_locked);
}

std::unique_ptr<platform::CleaningLock> FakePlatform::lock_profile(std::string_view sid) {
    std::u32string folded = platform::fold_case(sid);
    if (locked_profiles.contains(folded)) {
        return nullptr;
    }
    return std::make_unique<FakeProfileLock>(locked_profiles, std::move(folded));
}

bool FakePlatform::still_runs(const platform::ProcessId& other) {
    return other == process || std::ranges::find(other_processes, other) != other_processes.end();
}

std::string FakePlatform::expand_environment(std::string_view text) {
    if (unexpandable.contains(std::string(text))) {
        throw platform::Failure("The data area passed to a system call is too small.");
    }
    std::string expanded;
    while (!text.empty()) {
        const auto open = text.find('%');
        const auto close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            break;
        }
        std::string name(text.substr(open + 1, close - open - 1));
        std::ranges::transform(name, name.begin(),
                               [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        const auto value = environment.find(name);
        if (value == environment.end()) {
            // An unknown name stays, and its closing sign may open the next one.
            expanded.append(text.substr(0, close));
            text.remove_prefix(close);
        } else {
            expanded.append(text.substr(0, open)).append(value->second);
            text.remove_prefix(close + 1);
        }
    }
    return expanded.append(text);
}

platform::ProcessResult FakePlatform::run_and_wait(std::string_view application,
                                                   std::string_view command_line) {
    calls.push_back("run " + std::string(command_line));
    starts.push_back({std::string(application), std::string(command_line)});
    if (process_results.empty()) {
        return {true, {}, 0};
    }
    auto result = process_results.front();
    process_results.pop_front();
    return result;
}

int FakePlatform::message_box(std::string_view text, int style) {
    calls.push_back("box " + std::string(text));
    boxes.push_back({std::string(text), style});
    if (on_message_box) {
        on_message_box(boxes.back());
    }
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return style == platform::kMbQuestionYesNo ? platform::kIdYes : platform::kIdOk;
}

RegKey& FakePlatform::add_hive_file(std::string_view path) {
    add_file(path, "regf");
    return hive_files_[path_key(path)];
}

RegKey* FakePlatform::hive_file(std::string_view path) {
    const auto found = hive_files_.find(path_key(path));
    return found == hive_files_.end() ? nullptr : &found->second;
}

std::vector<std::string> FakePlatform::loaded_hives() const {
    std::vector<std::string> names;
    for (const auto& [name, file] : loaded_) {
        names.push_back(users_.subkeys.at(name).name);
    }
    return names;
}

std::optional<std::string> FakePlatform::load_hive(std::string_view name, std::string_view file) {
    registry_call("load_hive", name);
    calls.push_back("load_hive " + std::string(name));
    const std::u32string file_key = path_key(file);
    const auto hive = hive_files_.find(file_key);
    if (hive == hive_files_.end() || !exists(file)) {
        return std::string(kFileNotFound);
    }
    if (unloadable_hive_files.contains(file_key)) {
        return std::string(kInUse);
    }
    const std::u32string name_key = platform::fold_case(name);
    if (users_.subkeys.contains(name_key)) {
        return std::string(kAccessDenied);
    }
    RegKey& loaded = users_.subkeys[name_key] = hive->second;
    loaded.name = name;
    loaded_[name_key] = file_key;
    return std::nullopt;
}

std::optional<std::string> FakePlatform::unload_hive(std::string_view name) {
    registry_call("unload_hive", name);
    calls.push_back("unload_hive " + std::string(name));
    const std::u32string name_key = platform::fold_case(name);
    const auto loaded = loaded_.find(name_key);
    if (loaded == loaded_.end()) {
        return std::string(kAccessDenied);
    }
    // Windows refuses while a key of the hive is open.
    if (holds_open_key(users_.subkeys.at(name_key)) || fail_unloads > 0) {
        fail_unloads = std::max(0, fail_unloads - 1);
        return std::string(kAccessDenied);
    }
    // Written back to its file, as Windows does.
    hive_files_[loaded->second] = std::move(users_.subkeys[name_key]);
    users_.subkeys.erase(name_key);
    loaded_.erase(loaded);
    return std::nullopt;
}

std::string FakePlatform::account_name(std::string_view sid) {
    const auto found = account_names.find(std::string(sid));
    return found == account_names.end() ? std::string() : found->second;
}

} // namespace fake
