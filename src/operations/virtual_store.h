// Emptying the suite's copies in the per-user virtual store.
#pragma once

#include "operations/context.h"

#include <string>
#include <string_view>

// The store folder of kind "PF" (program files) or "PD" (program data).
std::string MM_GetVirtualStorePath(Context& context, std::string_view kind);
// The path of a shell special folder, or empty text.
std::string MM_GetSpecialFolder(Context& context, int csidl);
// The path up to and including its last backslash; empty when it has none.
std::string MM_GetParentPath(std::string_view path);
// The existence test of a store folder: a plain full path (see IsPlainFolderPath) that a
// look-up, folders included, finds. Any other path would land outside the user's store (on the
// current drive, say) and counts as missing.
bool VirtualStoreExists(const Context& context, const std::string& path);
// Empties the store folder at path, keeping its folders, and logs one closing line; what could
// not be deleted or listed is logged as refused on the way.
void MM_CleanVirtualStore(Context& context, const std::string& path);
// Deletes every file below folder, never following links. False when anything was refused.
bool MM_DeleteFolderFiles(Context& context, const std::string& folder);
