// The program's start: the shared state and the decision whether the window may open.
#pragma once

#include "model/shared_state.h"
#include "platform/platform.h"

// How the start before the window ended; all but Started end the program, the user told why.
enum class StartOutcome {
    Started,
    NoPointerFile, // no "AppData Path", and no pointer file in the Windows folder
    NoHostFolder,  // the folder named (in state.VeskPath) does not exist or is not a full path
    Failed,        // a failure nothing trapped, reported in an error box
};

// The start before the window: host key, host folder, name tables.
StartOutcome start_program(SharedState& state, const platform::Platform& os,
                           platform::UserInterface& ui);

// True when the window is to be created; false when the program must end (the user has been
// told why, on ui).
bool Main(SharedState& state, const platform::Platform& os, platform::UserInterface& ui);

// Reports a failure that nothing trapped, naming where it arose, in an error box.
void report_fatal_failure(platform::UserInterface& ui, std::string_view where,
                          std::string_view description);
