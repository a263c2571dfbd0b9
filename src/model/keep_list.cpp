#include "model/keep_list.h"

#include "platform/text.h"

#include <algorithm>

namespace {

constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER\\";

// The pattern's positions reachable after reading the whole text, each position the count of
// pattern characters used up; a "*" may use up any run of characters, or none. Some position is
// reachable exactly when some text that begins with this one matches.
std::vector<bool> reachable(const std::u32string& pattern, const std::u32string& text) {
    std::vector<bool> at(pattern.size() + 1, false);
    const auto close_over_stars = [&] {
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            if (at[i] && pattern[i] == U'*') {
                at[i + 1] = true;
            }
        }
    };
    at[0] = true;
    close_over_stars();
    for (const char32_t c : text) {
        std::vector<bool> next(pattern.size() + 1, false);
        bool any = false;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            if (!at[i]) {
                continue;
            }
            if (pattern[i] == U'*') {
                next[i] = true;
                any = true;
            } else if (pattern[i] == U'?' || pattern[i] == c) {
                next[i + 1] = true;
                any = true;
            }
        }
        if (!any) {
            return next;
        }
        at = std::move(next);
        close_over_stars();
    }
    return at;
}

bool starts_with_folded(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::fold_case(text.substr(0, prefix.size())) == platform::fold_case(prefix);
}

} // namespace

bool keep_pattern_matches(std::string_view pattern, std::string_view name) {
    // The file names' matcher: the same two wildcards, in any letter case, "*" over anything.
    return platform::wildcard_match(pattern, name);
}

bool keep_pattern_reaches_below(std::string_view pattern, std::string_view name) {
    const std::vector<bool> at =
        reachable(platform::fold_case(pattern), platform::fold_case(std::string(name) + "\\"));
    return std::ranges::find(at, true) != at.end();
}

void KeepList::set_own(std::vector<std::string> patterns, std::string_view key_root) {
    own_ = std::move(patterns);
    key_root_ = key_root;
}

template <typename Test> bool KeepList::any(std::string_view name, Test test) const {
    std::string as_current_user;
    if (!key_root_.empty() && !starts_with_folded(key_root_, kCurrentUser) &&
        starts_with_folded(name, key_root_)) {
        as_current_user = std::string(kCurrentUser) + std::string(name.substr(key_root_.size()));
    }
    const auto matches = [&](const std::string& pattern) {
        return test(pattern, name) || (!as_current_user.empty() && test(pattern, as_current_user));
    };
    return std::ranges::any_of(everywhere_, matches) || std::ranges::any_of(own_, matches);
}

bool KeepList::keeps(std::string_view name) const {
    return any(name, [](std::string_view pattern, std::string_view text) {
        return keep_pattern_matches(pattern, text);
    });
}

bool KeepList::may_keep_below(std::string_view name) const {
    return any(name, [](std::string_view pattern, std::string_view text) {
        return keep_pattern_reaches_below(pattern, text);
    });
}
