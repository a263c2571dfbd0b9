// Restoring the access rights of the host's two data folders with the platform's icacls.
#pragma once

#include "operations/context.h"

#include <string>

// Restores both folders; when log_name is not empty, logs one line for each. A folder value that
// the installation does not have (absent or empty) is passed over without a word. A stop asked
// for during the first folder's tool keeps the second folder's from starting.
void MM_RestoreAccessRights(Context& context, const std::string& log_name);
// Hands the folder to the run's action, which restores its rights; a folder that is not plain
// (see is_plain_folder_path) is refused and never reaches the tool.
ItemOutcome MM_SetFolderPermissions(Context& context, const std::string& folder);
// Grants the built-in Users group full control of the folder's tree through the system's
// icacls, and waits for the tool's verdict; a wait called off is a refusal that says so.
ItemOutcome start_rights_tool(const Context& context, const std::string& folder);
