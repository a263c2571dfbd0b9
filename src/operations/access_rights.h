// Restoring the access rights of the host's two data folders with the platform's icacls.
#pragma once

#include "operations/context.h"

#include <string>

// The outcome for one folder: empty when the rights were set, else why not.
struct PermissionOutcome {
    bool set = false;
    std::string reason;
};

// Restores both folders; when logName is not empty, logs one line for each.
void MM_RestoreAccessRights(Context& context, const std::string& logName);
PermissionOutcome MM_SetFolderPermissions(Context& context, const std::string& folder);
