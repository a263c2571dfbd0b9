// The numbered log that a cleaning or a restore writes into the host folder.
#pragma once

#include "engine/cleaning_run.h"
#include "operations/context.h"

// Opens a new log under the next free number and notes in report how far it came: NotCreated
// while the file is not there (a failure to create it is thrown), NoName when every number is
// taken or the host folder cannot be reached or listed, otherwise Open with the log's name and
// path. True when the log is open. Where the backups are kept away from the logs, a number their
// folder has a backup of is taken too: a cleaning's backup is named after its log.
bool open_numbered_log(Context& context, RunReport& report);
