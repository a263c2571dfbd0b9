// The user's own keep list: value Keep (REG_MULTI_SZ) of the program's key in the user's part of
// the registry, beside the run marker. A run over every profile reads each profile's in its
// hive, and it covers that profile's items only.
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

// The patterns of the list; none when the key or value is missing or is not a REG_MULTI_SZ.
std::vector<std::string> read_own_keep_list(platform::Registry& registry);
