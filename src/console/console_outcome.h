// What a run comes to on the console: its closing lines and its exit code, for each kind of run.
#pragma once

#include "console/console_reporter.h"
#include "model/shared_state.h"

#include <string_view>

// A failure before anything ran: nothing was done, and the run cannot say more than why.
int not_set_up(ConsoleReporter& reporter, std::string_view why);

// The closing lines of a run that was carried out, and its exit code.
int after_run(ConsoleReporter& reporter, RunKind kind, const SharedState& state,
              const RunReport& report, platform::UserInterface& ui);
