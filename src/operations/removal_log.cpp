#include "operations/removal_log.h"

#include <string>

void LogRemoval(CleaningLog& log, const platform::RemovalResult& result, std::string_view kind,
                std::string_view path) {
    switch (result.removal) {
    case platform::Removal::Deleted:
        log.write_line("Deleted " + std::string(kind) + ":", path);
        break;
    case platform::Removal::Refused:
        log.write_refusal("Could not delete " + std::string(kind) + ":", path, result.reason);
        break;
    case platform::Removal::Missing:
        break;
    }
}
