// A whole small world for tests of the operations and the window: a fake Windows with a host
// folder, the shared state as start-up leaves it, a log, and optionally the window.
#pragma once

#include "fake_platform.h"
#include "log/cleaning_log.h"
#include "model/name_tables.h"
#include "operations/delete_action.h"
#include "scripted_dialogs.h"
#include "window/form1.h"
#include "window/message_box_observer.h"

#include <string>

inline constexpr const char* kHostFolder = "D:\\Host";

// A cleaning of the user's own profile with the options, as the engine allows it where no policy
// is set.
inline AllowedRun allowed_cleaning(const CleaningOptions& options, platform::System& system) {
    return std::get<AllowedRun>(
        check_run({RunKind::Clean, RunScope::OwnProfile, options, options}, Policy{}, system));
}

struct World {
    World() {
        fake.add_dir(kHostFolder);
        state.VeskPath = kHostFolder;
        MF_FillIniList(state);
        MF_FillKeyList(state);
    }
    // The text of the host folder's log number n, as far as it has reached the disk.
    std::string log_text(int n = 1) const {
        return fake.content(std::string(kHostFolder) + "\\Cleaning" + std::to_string(n) + ".log");
    }
    // Opens a log for tests that call operations directly.
    void open_log() { log.open_new(fake, state.VeskPath); }
    std::string closed_log_text() {
        log.close();
        return log_text();
    }

    fake::FakePlatform fake;
    SharedState state;
    CleaningLog log;
    DeleteAction deletion;
    MessageBoxObserver observer{fake};
    Context context{state, fake.os(), log, deletion, observer};
};

// The world with the window loaded, as the user first sees it.
struct FormWorld : World {
    FormWorld() { form.Form_Load(); }
    ScriptedDialogs dialogs;
    Form1 form{context, fake, dialogs};
};
