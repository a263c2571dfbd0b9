// The log line that follows a deletion request: what the platform did, never what was hoped.
#pragma once

#include "log/cleaning_log.h"
#include "platform/platform.h"

#include <string_view>

// "Deleted <kind>:" for a removal, "Could not delete <kind>:" with the reason for a refusal,
// and nothing for an entry that was already gone. kind is "Key", "File" or "Directory".
void LogRemoval(CleaningLog& log, const platform::RemovalResult& result, std::string_view kind,
                std::string_view path);
