// The grant that restores a data folder's rights, made through a handle: the built-in Users
// group (by SID, so that the name's language does not matter) gets full control, replacing the
// entries it had, and a folder's entry is inherited by the files and folders it will hold. Set
// on the object alone, never passed down by path: a walk through handles sets it on each entry.
#pragma once

#include <optional>
#include <string>
#include <windows.h>

namespace win32 {

// The handle needs READ_CONTROL and WRITE_DAC; the reason when the list cannot be changed.
std::optional<std::string> grant_users_full_control(HANDLE object, bool folder);

// An access list for a new folder that only the system account and Administrators may use,
// inheriting nothing; freed with LocalFree.
PSECURITY_DESCRIPTOR administrators_only_descriptor();

// Who else than the system account, Administrators, TrustedInstaller and the account this
// program runs as owns the object or may change it; nullopt when nobody does. The handle needs
// READ_CONTROL.
std::optional<std::string> others_who_may_write(HANDLE object);

} // namespace win32
