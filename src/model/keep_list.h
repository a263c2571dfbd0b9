// Keep lists: patterns naming items that a cleaning leaves alone. A pattern is matched against
// an item's full name as the log writes it, in any letter case; "?" stands for one character and
// "*" for any run of them, "\" included, so that "*\VeskFont.ini" finds that file wherever it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether the pattern matches the whole name.
bool keep_pattern_matches(std::string_view pattern, std::string_view name);
// Whether the pattern could match something inside the item of that name: a name that starts
// with name and a backslash. Only then is it worth looking inside the item.
bool keep_pattern_reaches_below(std::string_view pattern, std::string_view name);

// The reason a kept item's log line gives.
inline constexpr std::string_view kOnAKeepList = "on a keep list";

// The patterns one run goes by: the organisation's and the command line's, which cover every
// item, and the profile's own list, which covers that profile's items. A key of another
// profile's, shown under HKEY_USERS\<SID>, is also matched as the same key under
// HKEY_CURRENT_USER, so that a list written as the user sees their keys holds for them.
class KeepList {
public:
    void set_everywhere(std::vector<std::string> patterns) { everywhere_ = std::move(patterns); }
    void set_own(std::vector<std::string> patterns, std::string_view key_root);
    const std::vector<std::string>& everywhere() const { return everywhere_; }
    bool empty() const { return everywhere_.empty() && own_.empty(); }

    // Whether a pattern matches the item's own name.
    bool keeps(std::string_view name) const;
    // Whether a pattern could match something inside the item.
    bool may_keep_below(std::string_view name) const;

private:
    template <typename Test> bool any(std::string_view name, Test test) const;

    std::vector<std::string> everywhere_;
    std::vector<std::string> own_;
    std::string key_root_;
};
