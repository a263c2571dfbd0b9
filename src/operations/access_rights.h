// Restoring the access rights of the host's two data folders with the platform's icacls.
#pragma once

#include "operations/context.h"

#include <string>

// The outcome for one folder: set, or the reason why not.
struct PermissionOutcome {
    bool set = false;
    std::string reason;
};

// Restores both folders; when logName is not empty, logs one line for each.
void MM_RestoreAccessRights(Context& context, const std::string& logName);
// Grants the built-in Users group full control of the folder's tree through the system's
// icacls, and waits for the tool's verdict. Starts nothing for a folder that is not plain.
PermissionOutcome MM_SetFolderPermissions(Context& context, const std::string& folder);
