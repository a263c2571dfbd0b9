// Emptying the suite's copies in the per-user virtual store.
#pragma once

#include "operations/context.h"
#include "operations/folder_walk.h"

#include <string>
#include <string_view>

// The two copies Windows keeps for the suite in the per-user virtual store.
enum class StoreKind { ProgramFiles, ProgramData };

// The store folder of that kind.
std::string MM_GetVirtualStorePath(Context& context, StoreKind kind);
// The path of a shell special folder, or empty text.
std::string MM_GetSpecialFolder(Context& context, int csidl);
// The path up to and including its last backslash; empty when it has none.
std::string MM_GetParentPath(std::string_view path);
// Empties the store folder at path, keeping its folders, and logs one closing line; what could
// not be deleted or listed is logged as refused on the way. A stop inside the store still
// names it, with how many files were deleted before.
void MM_CleanVirtualStore(Context& context, const std::string& path);
// Deletes every file below folder (held open, at path), each subfolder entered through its
// handle and never through a link; counts into handed.
void MM_DeleteFolderFiles(Context& context, platform::Folder& folder, const std::string& path,
                          FilesHandedOver& handed);

// The existence test of a store folder: a plain full path (see is_plain_folder_path) that a
// look-up, folders included, finds. Any other path would land outside the user's store (on the
// current drive, say) and counts as missing.
bool virtual_store_exists(const Context& context, const std::string& path);
// Whether the store of that kind can hold the suite's files at all: a program path with no
// folder above its last element mirrors nothing, and the store's path would be made up.
bool store_is_mirrored(const SharedState& state, StoreKind kind);
// The store of that kind as the runs see it: mirrored and existing.
bool store_exists(const Context& context, StoreKind kind, const std::string& path);
// MM_CleanVirtualStore for a mirrored store; for one that mirrors nothing, its "not found!".
void clean_store(Context& context, StoreKind kind, const std::string& path);
