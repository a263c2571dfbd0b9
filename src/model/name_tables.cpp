#include "model/name_tables.h"

#include "platform/text.h"

#include <algorithm>

namespace {

template <std::size_t Rows>
bool holds_name(const std::array<std::string_view, Rows>& table, std::string_view name) {
    return std::ranges::any_of(table,
                               [&](std::string_view row) { return platform::iequals(row, name); });
}

} // namespace

bool is_settings_file_name(std::string_view name) {
    return holds_name(kIniNames, name);
}

bool is_built_in_key_name(std::string_view name) {
    return holds_name(kBuiltInKeyNames, name);
}

void MF_FillIniList(SharedState& state) {
    state.IniList.assign(kIniNames.begin(), kIniNames.end());
}

void MF_FillKeyList(SharedState& state) {
    state.KeyList.assign(kBuiltInKeyNames.begin(), kBuiltInKeyNames.end());
}
