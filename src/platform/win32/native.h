// The few native calls that the documented functions do not offer: an entry opened relative to a
// folder's handle, and the name a handle reached. Declared here rather than taken from
// winternl.h, which lacks some of them in one compiler's headers and spells them otherwise in
// the other's.
#pragma once

#include "platform/win32/handles.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <windows.h>

namespace win32::native {

// The native status codes the program tells apart.
inline constexpr std::int32_t kSuccess = 0;
inline constexpr auto kObjectNameNotFound = static_cast<std::int32_t>(0xC0000034);
inline constexpr auto kObjectPathNotFound = static_cast<std::int32_t>(0xC000003A);
inline constexpr auto kObjectNameCollision = static_cast<std::int32_t>(0xC0000035);
inline constexpr auto kDeletePending = static_cast<std::int32_t>(0xC0000056);
inline constexpr auto kFileIsADirectory = static_cast<std::int32_t>(0xC00000BA);
inline constexpr auto kNotADirectory = static_cast<std::int32_t>(0xC0000103);

// How an entry is opened relative to its folder: never through a link at its name.
enum class Kind { File, Folder, Either };
enum class Disposition { Open, Create };

struct Opened {
    UniqueHandle handle;
    std::int32_t status = kSuccess;
};

// The entry name in the folder, opened through the folder's handle with the access asked for,
// shared with others as share says; a reparse point at the name is opened as itself.
// A new entry takes the descriptor's access list where one is given, its folder's otherwise.
Opened open_relative(HANDLE folder, std::wstring_view name, ACCESS_MASK access, DWORD share,
                     Kind kind, Disposition disposition = Disposition::Open,
                     DWORD attributes = FILE_ATTRIBUTE_NORMAL,
                     PSECURITY_DESCRIPTOR descriptor = nullptr);

// The full name of what the handle reached, as the system spells it ("\??\C:\..." under Wine,
// "\Device\HarddiskVolume3\..." on Windows), without a trailing backslash; empty when the system
// cannot say. Names from this call compare only with names from this call.
std::wstring reached_name(HANDLE handle);

// The system's words for a native status.
std::string status_text(std::int32_t status);
bool is_missing(std::int32_t status);

// Deletes the key through its handle: a link opened as itself goes by itself.
LSTATUS delete_key(HKEY key);

} // namespace win32::native
