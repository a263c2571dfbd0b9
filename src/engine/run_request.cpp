#include "engine/run_request.h"

#include "backup/backup_action.h"
#include "engine/every_profile.h"
#include "engine/restore_run.h"

#include <algorithm>

namespace {

constexpr std::string_view kNeedsAdministrator =
    "VeskClean /allusers needs administrator rights: run it from an elevated command prompt, or "
    "as the system account. Nothing was done.";
constexpr std::string_view kSystemAccount =
    "The local system account's profile is no user's: nothing was done. Run the program in the "
    "signed-in user's context, or VeskClean with /allusers to clean every profile.";

std::string forbidden_text(const OptionRow& row, const Policy& policy) {
    // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string here.
    std::string text("/");
    text.append(row.switch_name).append(" (").append(where_set(policy.setting_of(row)));
    return text.append(").");
}

CleaningOptions options_allowed(const CleaningOptions& asked, const Policy& policy) {
    CleaningOptions allowed = asked;
    for (const OptionRow& row : kOptionTable) {
        allowed.*row.chosen = allowed.*row.chosen && policy.allows(row);
    }
    return allowed;
}

std::optional<std::string> refusal_by_policy(const RunRequest& request, const Policy& policy) {
    if (policy.previews_only() && request.changes()) {
        return previews_only_text(policy);
    }
    for (const OptionRow& row : kOptionTable) {
        if (request.named.*row.chosen && !policy.allows(row)) {
            return "your organisation's policy forbids " + forbidden_text(row, policy);
        }
    }
    if (request.kind != RunKind::Restore && any_chosen(request.options) &&
        !any_chosen(options_allowed(request.options, policy))) {
        const auto first = std::ranges::find_if(
            kOptionTable, [&](const OptionRow& row) { return request.options.*row.chosen; });
        return "your organisation's policy forbids every option asked for, " +
               forbidden_text(*first, policy);
    }
    return std::nullopt;
}

std::optional<RunRefusal> refusal_by_rights(const RunRequest& request, platform::System& system) {
    if (request.scope == RunScope::EveryProfile) {
        // The one run where the system account is right: device-management tools run as it.
        if (!system.may_clean_every_profile()) {
            return RunRefusal{RefusalReason::NotAdministrator, std::string(kNeedsAdministrator)};
        }
    } else if (system.runs_as_system_account()) {
        return RunRefusal{RefusalReason::SystemAccount, std::string(kSystemAccount)};
    }
    return std::nullopt;
}

BackupHome backups_of(const RunRequest& request, const Policy& policy, platform::System& system) {
    if (!request.changes()) {
        return {};
    }
    BackupHome home = backup_home(policy, system);
    // The organisation's folder is theirs to protect; otherwise a run over every profile keeps
    // its backups where only administrators may change them.
    if (request.scope == RunScope::EveryProfile && home.folder.empty()) {
        home = administrators_backup_home(system);
    }
    return home;
}

} // namespace

std::variant<AllowedRun, RunRefusal> check_run(const RunRequest& request, const Policy& policy,
                                               platform::System& system) {
    if (auto refused = refusal_by_policy(request, policy)) {
        return RunRefusal{RefusalReason::Policy, std::move(*refused)};
    }
    if (auto refused = refusal_by_rights(request, system)) {
        return std::move(*refused);
    }
    AllowedRun run;
    run.request_ = request;
    run.request_.options = options_allowed(request.options, policy);
    for (const OptionRow& row : kOptionTable) {
        if (request.options.*row.chosen && !policy.allows(row)) {
            run.left_out_.push_back(row.switch_name);
        }
    }
    if (request.kind != RunKind::Restore) {
        run.keep_ = policy.keep_patterns();
        run.keep_.insert(run.keep_.end(), request.keep.begin(), request.keep.end());
    }
    try {
        run.backups_ = backups_of(request, policy, system);
    } catch (const platform::Failure& failure) {
        return RunRefusal{RefusalReason::NotSetUp, failure.what()};
    }
    return run;
}

RunReport carry_out(Context& context, const AllowedRun& run) {
    const RunRequest& request = run.request();
    context.state.backup_home = run.backups();
    context.state.keep = KeepList();
    context.state.keep.set_everywhere(run.keep());
    context.state.plan_made = request.kind == RunKind::Preview ? request.plan : nullptr;
    context.state.plan_applied = request.kind == RunKind::Clean ? request.plan : nullptr;
    if (request.scope == RunScope::OwnProfile) {
        switch (request.kind) {
        case RunKind::Preview:
        case RunKind::Detect:
            return preview_cleaning(context, request.options);
        case RunKind::Clean:
            return run_cleaning(context, request.options);
        case RunKind::Restore:
            break;
        }
        return run_restore(context, request.restore_number);
    }
    const MachineProfiles machine = find_profiles(context.os);
    switch (request.kind) {
    case RunKind::Preview:
    case RunKind::Detect:
        return preview_every_profile(context, request.options, machine);
    case RunKind::Clean:
        return run_cleaning_every_profile(context, request.options, machine);
    case RunKind::Restore:
        break;
    }
    return run_restore_every_profile(context, request.restore_number, machine.profiles);
}
