#include "engine/own_keep_list.h"

#include "engine/marker.h"
#include "engine/policy.h"
#include "platform/registry_values.h"

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
