// The console program: the same engine as the window, a command line instead of boxes, and an
// exit code that a deployment tool can act on.
#pragma once

#include "console/console_streams.h"
#include "platform/platform.h"

#include <atomic>
#include <string>
#include <vector>

enum ExitCode : int {
    kExitDone = 0,          // nothing refused, no failure trapped (a preview: listed)
    kExitSomethingLeft = 1, // something refused or failed; the log lists it
    kExitNoHostFolder = 2,
    kExitNoLog = 3, // nothing was cleaned
    kExitWrongCommandLine = 4,
    kExitSystemAccount = 5,    // it would clean the wrong profile; nothing done
    kExitBusy = 6,             // another cleaning is running for this user; nothing done
    kExitStopped = 7,          // stopped before the end; the log lists what was done
    kExitNotAdministrator = 8, // /allusers without the rights to reach every profile
    kExitPolicy = 9,           // the organisation's policy refuses it; nothing done
    kExitNotSetUp = 10,        // the run could not be set up (a name for the backup folder)
};

// Runs the command line (without the program's name) against the platform; what start-up would
// show in a box goes to the streams' standard error. Never waits for input. A cleaning or a
// restore ends at its next item boundary once stop is set, which another thread may do at any
// time (the console's Ctrl+C); the log is closed and the lock released before this returns.
int run_console(const std::vector<std::string>& arguments, const platform::Platform& os,
                ConsoleStreams& streams, const std::atomic<bool>& stop);
