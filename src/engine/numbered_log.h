// The numbered log that a cleaning or a restore writes into the host folder.
#pragma once

#include "engine/cleaning_run.h"
#include "operations/context.h"
#include "operations/folder_walk.h"

// Opens a new log under the next free number and notes in report how far
// it came: NotCreated while the file is not there (a failure to create it is thrown), NoName when
// every number is taken or the folder cannot be listed, otherwise Open with the log's name and
// path. True when the log is open.
inline bool open_numbered_log(Context& context, RunReport& report) {
    report.log = LogStatus::NotCreated;
    // A host folder that cannot be reached (a link on its way among the reasons) cannot be
    // listed for a free number either.
    const platform::OpenedFolder host =
        open_folder_at(context, context.state.VeskPath, platform::Use::Read);
    report.log_name = host.folder ? context.log.open_new(*host.folder) : std::string();
    if (report.log_name.empty()) {
        report.log = LogStatus::NoName;
        return false;
    }
    report.log = LogStatus::Open;
    report.log_path = context.state.VeskPath + "\\" + report.log_name;
    return true;
}
