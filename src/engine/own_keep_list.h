// The user's own keep list: value Keep (REG_MULTI_SZ) of the program's key in the user's part of
// the registry, beside the run marker. A run over every profile reads each profile's in its
// hive, and it covers that profile's items only.
#pragma once

#include "platform/platform.h"

#include <optional>
#include <string>
#include <vector>

// The patterns of the list; none when the key or value is missing or is not a REG_MULTI_SZ.
std::vector<std::string> read_own_keep_list(platform::Registry& registry);
// Replaces the list with the patterns, the key made where missing; the reason when it cannot be
// written.
std::optional<std::string> write_own_keep_list(platform::Registry& registry,
                                               const std::vector<std::string>& patterns);
// The list with the names added that it does not hold yet (in any letter case), in their order.
std::vector<std::string> with_names_kept(std::vector<std::string> patterns,
                                         const std::vector<std::string>& names);
