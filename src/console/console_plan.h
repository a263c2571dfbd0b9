// The console's side of plans: the file a preview writes, and the checks a plan passes before a
// cleaning takes it - its digest, the approver's, the computer, user and host folder it was
// made for. A plan refused is refused before anything is done.
#pragma once

#include "console/command_line.h"
#include "model/shared_state.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <variant>

// Why /plan:FILE cannot be written there: not a full path, or a file already in its place.
std::optional<std::string> plan_file_refusal(const std::string& path, platform::FileSystem& files);

// Where and for whom a preview's plan is made, once start-up has found the host folder.
PlanHeader plan_header(const RunRequest& run, const SharedState& state, platform::System& system);

// Writes the plan into the new file at path; its SHA-256, or why it could not be written.
struct WrittenPlan {
    std::string sha256;
    std::string error; // empty once written
};
WrittenPlan write_plan(const Plan& plan, const std::string& path, platform::FileSystem& files);

// The request /apply:FILE stands for: the plan's options and scope, and the plan; or why the plan
// is refused (it was changed, its digest is not the expected one, or it was made for another
// computer or user).
std::variant<ConsoleRequest, std::string> request_from_plan(const ConsoleRequest& request,
                                                            const platform::Platform& os);

// Why the plan does not fit the host folder start-up found.
std::optional<std::string> host_refusal(const Plan& plan, const SharedState& state);
