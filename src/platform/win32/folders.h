// Folders and files held open through their handles (see platform::Folder). Under Wine a link
// is no reparse point: a Unix symbolic link is opened as what it leads to. What tells it is the
// name the handle reached, asked of the system once per folder and once per entry opened, and
// compared with the folder's own: an entry that reached another name than folder\name is a link.
#pragma once

#include "platform/platform.h"

#include <windows.h>

namespace win32 {

platform::OpenedFolder open_trusted_folder(std::string_view path, platform::Use use);

// Every byte from the file's position to its end. Throws platform::Failure.
std::string read_to_end(HANDLE file);

} // namespace win32
