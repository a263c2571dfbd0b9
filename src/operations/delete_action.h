// What a cleaning does with each target: it deletes it, whatever its kind, through what the
// walk reached it by.
#pragma once

#include "operations/context.h"

// Deletes the target (restores the folder's rights), as a cleaning does.
class DeleteAction final : public TargetAction {
public:
    ItemOutcome apply(const Context& context, const Target& target) override;
    bool deletes() const override { return true; }
};
