// Emptying the suite's copies in the per-user virtual store.
#pragma once

#include "operations/context.h"

#include <string>
#include <string_view>

// The store folder of kind "PF" (program files) or "PD" (program data).
std::string MM_GetVirtualStorePath(Context& context, std::string_view kind);
// The path of a shell special folder, or empty text.
std::string MM_GetSpecialFolder(Context& context, int csidl);
// The path up to and including its last backslash.
std::string MM_GetParentPath(std::string_view path);
// The existence test of a store folder: a full path that a look-up, folders included, finds.
// A path that is not full would be relative to the current drive and counts as missing.
bool VirtualStoreExists(const Context& context, const std::string& path);
// Empties the store folder at path, keeping its folders, and logs one closing line.
void MM_CleanVirtualStore(Context& context, const std::string& path);
// Deletes every file below folder, never following links. False when anything was refused.
bool MM_DeleteFolderFiles(Context& context, const std::string& folder);
