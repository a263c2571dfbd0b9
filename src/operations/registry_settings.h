// Deleting the suite's program-settings keys below the per-user branch.
#pragma once

#include "operations/context.h"

inline constexpr std::string_view kSettingsBranch = "Software\\VB and VBA Program Settings";

// Appends to KeyList every key of the branch whose name begins with "vesk 4." in any case.
void MM_EnumVESKKeys(Context& context);
// Deletes, with its subtree, the key of every KeyList row that opens with full access.
void MM_DeleteVESKKeys(Context& context);
// The registry option: the search completes KeyList, then the keys go.
void CleanRegistrySettings(Context& context);

// Whether a key directly below the branch is one that the cleaning deletes: a built-in name of
// KeyList, or a name beginning with "vesk 4." (any case, leading blanks aside).
bool is_program_settings_key(std::string_view name);
