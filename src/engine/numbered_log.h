// The numbered log that a cleaning or a restore writes into the host folder.
#pragma once

#include "engine/cleaning_run.h"
#include "operations/context.h"

// Opens a new log under the next free number and notes in report how far
// it came: NotCreated while the file is not there (a failure to create it is thrown), NoName when
// every number is taken or the folder cannot be listed, otherwise Open with the log's name and
// path. True when the log is open.
inline bool open_numbered_log(Context& context, RunReport& report) {
    report.log = LogStatus::NotCreated;
    report.log_name = context.log.open_new(context.os.files, context.state.VeskPath);
    if (report.log_name.empty()) {
        report.log = LogStatus::NoName;
        return false;
    }
    report.log = LogStatus::Open;
    report.log_path = context.state.VeskPath + "\\" + report.log_name;
    return true;
}
