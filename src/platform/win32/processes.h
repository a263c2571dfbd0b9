// Starting a tool and waiting for its outcome.
#pragma once

#include "platform/platform.h"

#include <windows.h>

namespace win32 {

class Processes final : public platform::Processes {
public:
    // Minimised: the window's way, shown as a button while the tool works. Hidden: the console
    // program's way, which never shows a window.
    enum class Show { Minimised, Hidden };
    // call_off, when given, is an event (not owned) that calls off every wait while it is set:
    // the program is left to finish on its own. Any thread may set it, a console control
    // handler's included.
    explicit Processes(Show show = Show::Minimised, HANDLE call_off = nullptr)
        : show_(show), call_off_(call_off) {}

    platform::ProcessResult run_and_wait(std::string_view application,
                                         std::string_view command_line) override;

private:
    Show show_;
    HANDLE call_off_;
};

} // namespace win32
