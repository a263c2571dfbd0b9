// What every cleaning operation is handed: the shared state, the platform, the open log, the
// action that each target found goes to, and the observer that hears of it.
#pragma once

#include "log/cleaning_log.h"
#include "model/shared_state.h"
#include "operations/run_observer.h"
#include "operations/targets.h"
#include "platform/platform.h"

struct Context {
    SharedState& state;
    platform::Platform os;
    CleaningLog& log;
    TargetAction& action;
    RunObserver& observer;
    // How the log and the console show the user's keys: "HKEY_CURRENT_USER\\", or another
    // profile's "HKEY_USERS\\<SID>\\".
    std::string_view key_root = kCurrentUserRoot;
};
