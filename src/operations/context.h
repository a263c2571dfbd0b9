// What every cleaning operation is handed: the shared state, the platform and the open log.
#pragma once

#include "log/cleaning_log.h"
#include "platform/platform.h"
#include "startup/shared_state.h"

struct Context {
    SharedState& state;
    platform::Platform os;
    CleaningLog& log;
};
