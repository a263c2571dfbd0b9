// How the window hears a run: a trapped failure is shown at once in an error box, with the text
// and icon the user has always seen; everything else the window learns from the report.
#pragma once

#include "operations/run_observer.h"
#include "platform/platform.h"

class MessageBoxObserver final : public RunObserver {
public:
    explicit MessageBoxObserver(platform::UserInterface& ui) : ui_(ui) {}
    void failure_trapped(const TrappedFailure& failure) override {
        ui_.message_box(failure.box_text, platform::kMbError);
    }

private:
    platform::UserInterface& ui_;
};
