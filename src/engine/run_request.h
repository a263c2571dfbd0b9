// A run as a front end asks for it, and the engine's answer: the run it allows, or why it
// refuses. The organisation's policy and the rights are decided here alone; the window and the
// console program only present the answer, each in its own way.
#pragma once

#include "engine/cleaning_run.h"
#include "engine/policy.h"
#include "model/plan.h"

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

enum class RunKind {
    Preview, // lists what a cleaning would hand over; changes nothing
    Detect,  // a preview whose finds are only counted
    Clean,
    Restore, // puts back a cleaning's backup
};

enum class RunScope {
    OwnProfile,   // the running user's profile and the machine's items
    EveryProfile, // the machine's items once, then every user's profile
};

struct RunRequest {
    RunKind kind = RunKind::Clean;
    RunScope scope = RunScope::OwnProfile;
    // Asked for, whole: what a group of options (the console's /all or /standard) stands for
    // included. An option the policy forbids is left out of a group, and said to be.
    CleaningOptions options;
    // Asked for one by one: an option among them that the policy forbids refuses the run.
    CleaningOptions named;
    int restore_number = 0; // a restore: the cleaning whose backup it puts back
    // Patterns of items to leave alone, over every profile (the console's /keep:); a cleaning's
    // or preview's, never a restore's.
    std::vector<std::string> keep = {};
    // A preview fills it as the plan of what it found; a cleaning takes only what it lists, as
    // it was then (the options and scope being the plan's).
    std::shared_ptr<Plan> plan = {};

    bool changes() const { return kind == RunKind::Clean || kind == RunKind::Restore; }
};

enum class RefusalReason {
    Policy,           // the organisation's policy forbids it
    NotAdministrator, // every profile, without the rights to reach them
    SystemAccount,    // the own profile of the system account, which is no user's
    NotSetUp,         // where the backups go cannot be named
};

struct RunRefusal {
    RefusalReason reason;
    std::string text; // one line that says why; nothing was done
};

// A run the engine allows: only check_run makes one, so nothing carries out a request that was
// not checked.
class AllowedRun {
public:
    // The request with its options cut down to those the policy allows.
    const RunRequest& request() const { return request_; }
    // The switches of the options asked for in a group and forbidden, in the runs' order: what
    // the run leaves out without a word unless its front end tells it.
    const std::vector<std::string_view>& left_out() const { return left_out_; }
    // Where a run that changes anything keeps its backups; empty: beside its log.
    const BackupHome& backups() const { return backups_; }
    // The keep patterns that cover every item: the organisation's, then the request's. A
    // restore keeps nothing.
    const std::vector<std::string>& keep() const { return keep_; }

private:
    friend std::variant<AllowedRun, RunRefusal>
    check_run(const RunRequest& request, const Policy& policy, platform::System& system);
    AllowedRun() = default;

    RunRequest request_;
    std::vector<std::string_view> left_out_;
    BackupHome backups_;
    std::vector<std::string> keep_;
};

// Checks the request against the policy, then against the rights it needs. Refused are a
// cleaning or a restore where only previews are allowed, an option named that is forbidden,
// options that the policy forbids every one of, every profile without an administrator's
// rights, and the system account's own profile. A run that changes anything learns where its
// backups go: the organisation's folder, or for a run over every profile the administrators'.
std::variant<AllowedRun, RunRefusal> check_run(const RunRequest& request, const Policy& policy,
                                               platform::System& system);

// Carries out an allowed run in the context: the one place where the kinds and scopes part.
// The log of a run that changes anything is left open for the caller to close once it has told
// the user (see run_cleaning and run_restore).
RunReport carry_out(Context& context, const AllowedRun& run);
