// Deleting temporary files by pattern and temporary project folders from the host folder.
#pragma once

#include "operations/context.h"

#include <string>
#include <string_view>

inline constexpr std::string_view kProjectFolderSuffix = ".vk$";

// Deletes the host folder's files whose long names match pattern; subfolders are not entered.
void MM_DeleteTempFiles(Context& context, std::string_view pattern);
// Removes every entry of the host folder whose name ends in ".vk$" (case counts).
void MM_DeleteTempDirs(Context& context);
// Removes one folder with its contents, or one file, through the shell.
platform::RemovalResult MM_ShellDelete(const Context& context, const std::string& path);
