#include "engine/own_keep_list.h"

#include "engine/marker.h"
#include "engine/policy.h"
#include "platform/registry_values.h"
#include "platform/text.h"

#include <algorithm>

std::vector<std::string> read_own_keep_list(platform::Registry& registry) {
    const auto key =
        registry.open_key(platform::RegistryRoot::CurrentUser, kMarkerKey,
                          platform::RegistryAccess::QueryValue, platform::RegistryView::Native);
    if (!key) {
        return {};
    }
    const auto value = key->query_value(kKeepValue);
    if (!value) {
        return {};
    }
    return platform::texts_of(*value).value_or(std::vector<std::string>{});
}

std::optional<std::string> write_own_keep_list(platform::Registry& registry,
                                               const std::vector<std::string>& patterns) {
    const platform::CreatedKey created =
        platform::create_key(registry, platform::RegistryRoot::CurrentUser, kMarkerKey);
    if (!created.key) {
        return created.reason;
    }
    return created.key->set_value(kKeepValue, platform::texts_value(patterns));
}

std::vector<std::string> with_names_kept(std::vector<std::string> patterns,
                                         const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const bool held = std::ranges::any_of(
            patterns, [&](const std::string& pattern) { return platform::iequals(pattern, name); });
        if (!held) {
            patterns.push_back(name);
        }
    }
    return patterns;
}
