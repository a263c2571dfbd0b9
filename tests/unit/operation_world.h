// The world of the operation tests with the fake's hooks at hand: a test fails a chosen call
// (by throwing platform::Failure) or changes the world under the operation, before the fake's
// file system (files.before) or registry (registry.before) carries the call out.
#pragma once

#include "log_lines.h"
#include "world.h"

#include <string>
#include <string_view>

using fake::CallHook;

// A hook that fails the one call named, for the one path given.
inline CallHook fail_on(std::string call, std::string path,
                        std::string description = "The device is not ready.") {
    return [=](std::string_view made, std::string_view on) {
        if (made == call && on == path) {
            throw platform::Failure(description);
        }
    };
}

struct InterposedWorld : World {
    struct Hook {
        CallHook& before;
    };
    Hook registry{fake.before_registry_call};
    Hook files{fake.before_file_call};
    Context& interposed = context;
};
