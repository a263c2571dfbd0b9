// The program's start: the shared state and the decision whether the window may open.
#pragma once

#include "platform/platform.h"
#include "startup/shared_state.h"

// The start before the window: platform family, host key, host folder, name tables. True when
// the window is to be created; false when the program must end (the user has been told why, on
// ui).
bool Main(SharedState& state, const platform::Platform& os, platform::UserInterface& ui);

// Reports a failure that nothing trapped, naming where it arose, in an error box.
void report_fatal_failure(platform::UserInterface& ui, std::string_view where,
                          std::string_view description);
