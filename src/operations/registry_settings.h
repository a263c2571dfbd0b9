// Deleting the suite's program-settings keys below the per-user branch.
#pragma once

#include "operations/context.h"

inline constexpr std::string_view kSettingsBranch = "Software\\VB and VBA Program Settings";

// Appends to KeyList every key of the branch whose name begins with "vesk 4." in any case.
void MM_EnumVESKKeys(Context& context);
// Deletes, with its subtree, the key of every KeyList row that opens with full access.
void MM_DeleteVESKKeys(Context& context);
