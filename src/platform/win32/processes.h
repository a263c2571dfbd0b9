// Starting a tool and waiting for its outcome.
#pragma once

#include "platform/platform.h"

namespace win32 {

class Processes final : public platform::Processes {
public:
    platform::ProcessResult run_and_wait(std::string_view application,
                                         std::string_view command_line) override;
};

} // namespace win32
