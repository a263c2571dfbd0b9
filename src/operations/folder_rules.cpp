#include "operations/folder_rules.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool is_drive_root(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
           path[1] == ':' && is_separator(path[2]);
}

// The text after the first element of path and its separator; nullopt when that element is
// empty. An element without a separator after it leaves an empty rest.
std::optional<std::string_view> after_element(std::string_view path) {
    std::size_t end = 0;
    while (end < path.size() && !is_separator(path[end])) {
        ++end;
    }
    if (end == 0) {
        return std::nullopt;
    }
    return end == path.size() ? std::string_view() : path.substr(end + 1);
}

std::optional<std::string_view> below_share(std::string_view server_and_share) {
    const auto share = after_element(server_and_share);
    return share ? after_element(*share) : std::nullopt;
}

bool is_unc_prefix(std::string_view path) {
    return path.size() >= 4 && std::toupper(static_cast<unsigned char>(path[0])) == 'U' &&
           std::toupper(static_cast<unsigned char>(path[1])) == 'N' &&
           std::toupper(static_cast<unsigned char>(path[2])) == 'C' && is_separator(path[3]);
}

// The part of a full path below its root; nullopt when the path is not full.
std::optional<std::string_view> below_root(std::string_view path) {
    if (is_drive_root(path)) {
        return path.substr(3);
    }
    if (path.size() < 2 || !is_separator(path[0]) || !is_separator(path[1])) {
        return std::nullopt;
    }
    const std::string_view rest = path.substr(2);
    const bool device_form =
        rest.size() >= 2 && (rest[0] == '?' || rest[0] == '.') && is_separator(rest[1]);
    if (!device_form) {
        return below_share(rest);
    }
    const std::string_view device = rest.substr(2);
    if (is_unc_prefix(device)) {
        return below_share(device.substr(4));
    }
    if (is_drive_root(device)) {
        return device.substr(3);
    }
    // A volume or device name stands for a root of its own.
    return after_element(device);
}

bool is_dots_and_blanks(std::string_view name) {
    return name.find_first_not_of(". ") == std::string_view::npos;
}

bool is_forbidden(char c) {
    return static_cast<unsigned char>(c) < 0x20 ||
           std::string_view("\"*?<>|:").find(c) != std::string_view::npos;
}

} // namespace

bool is_plain_entry_name(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') {
        return false;
    }
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return is_separator(c) || is_forbidden(c); });
}

bool is_plain_folder_path(std::string_view path) {
    const auto below = below_root(path);
    if (!below) {
        return false;
    }
    std::string_view rest = *below;
    bool has_name = false;
    while (!rest.empty()) {
        std::size_t end = 0;
        while (end < rest.size() && !is_separator(rest[end])) {
            if (is_forbidden(rest[end])) {
                return false;
            }
            ++end;
        }
        const std::string_view name = rest.substr(0, end);
        if (!name.empty()) {
            if (is_dots_and_blanks(name)) {
                return false;
            }
            has_name = true;
        }
        rest.remove_prefix(end == rest.size() ? end : end + 1);
    }
    return has_name;
}
