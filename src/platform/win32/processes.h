// Starting a tool and waiting for its outcome.
#pragma once

#include "platform/platform.h"

namespace win32 {

class Processes final : public platform::Processes {
public:
    // Minimised: the window's way, shown as a button while the tool works. Hidden: the console
    // program's way, which never shows a window.
    enum class Show { Minimised, Hidden };
    explicit Processes(Show show = Show::Minimised) : show_(show) {}

    platform::ProcessResult run_and_wait(std::string_view application,
                                         std::string_view command_line) override;

private:
    Show show_;
};

} // namespace win32
