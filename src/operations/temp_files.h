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
// Removes one folder of the target's folder with its contents, or one file, through the shell,
// once the links inside it are gone by themselves.
platform::RemovalResult MM_ShellDelete(const Context& context, const Target& target);
// Removes a project folder: through the shell, or in an elevated run through the walk's handles.
platform::RemovalResult delete_project_folder(const Context& context, const Target& target);
