#include "operations/targets.h"

#include "operations/context.h"

#include <array>

namespace {

// One row a kind, in the kinds' order: done, refused, not backed up, restored, not restored,
// JSON kind, JSON outcomes (done, previewed), the preview's words (would, would not), the
// detection's count (one, many), kept, not found by a cleaning that applies a plan.
// clang-format off
constexpr std::array<KindWords, 8> kKindWords = {{
    {"Deleted Key:", "Could not delete Key:", "Could not back up Key:", "Restored Key:",
     "Not restored Key:", "key", "deleted", "would delete", "Would delete ", "Would not delete ",
     "key", "keys", "Kept Key:", "Not found Key:"},
    {"Deleted File:", "Could not delete File:", "Could not back up File:", "Restored File:",
     "Not restored File:", "settings file", "deleted", "would delete", "Would delete ",
     "Would not delete ", "settings file", "settings files", "Kept File:", "Not found File:"},
    {"Deleted File:", "Could not delete File:", {}, {}, {}, "file", "deleted", "would delete",
     "Would delete ", "Would not delete ", "file", "files", "Kept File:", "Not found File:"},
    {"Deleted Directory:", "Could not delete Directory:", {}, {}, {}, "project folder", "deleted",
     "would delete", "Would delete ", "Would not delete ", "project folder", "project folders", "Kept Directory:", "Not found Directory:"},
    {"Deleted Directory:", "Could not delete Directory:", {}, {}, {}, "project link", "deleted",
     "would delete", "Would delete ", "Would not delete ", "project link", "project links", "Kept Directory:", "Not found Directory:"},
    {{}, "Could not delete File:", {}, {}, {}, "store file", "deleted", "would delete",
     "Would delete ", "Would not delete ", "virtual-store file", "virtual-store files", "Kept File:", "Not found File:"},
    {{}, "Could not clean Directory:", {}, {}, {}, "store folder", "deleted", "would delete",
     "Would delete ", "Would not clean ", "virtual-store folder", "virtual-store folders", {}, {}},
    {"Permissions Set For: ", "Permissions Not Set For: ", {}, {}, {}, "folder rights",
     "permissions set", "would set permissions", "Would set permissions for: ",
     "Would not set permissions for: ", "folder's access rights", "folders' access rights", {}, {}},
}};
// clang-format on
static_assert(kKindWords.size() == static_cast<std::size_t>(TargetKind::FolderRights) + 1,
              "a row for every kind of target, in the kinds' order");

void write_log_line(CleaningLog& log, const Target& target, const ItemOutcome& outcome,
                    std::string_view key_root) {
    const KindWords& words = words_of(target.kind);
    const std::string path = shown_path(target, key_root);
    switch (outcome.outcome) {
    case Outcome::Done:
        if (!words.done.empty()) {
            log.write_line(words.done, path);
        }
        break;
    case Outcome::Refused:
        log.write_refusal(words.refused, path, outcome.reason);
        break;
    case Outcome::NotBackedUp:
        log.write_refusal(words.not_backed_up, path, outcome.reason);
        break;
    case Outcome::Restored:
        log.write_line(words.restored, path);
        break;
    case Outcome::NotRestored:
        log.write_refusal(words.not_restored, path, outcome.reason);
        break;
    case Outcome::Kept:
        log.write_refusal(words.kept, path, outcome.reason);
        break;
    case Outcome::Previewed:
    case Outcome::Missing:
        break;
    }
}

} // namespace

ItemOutcome outcome_of(const platform::RemovalResult& result) {
    switch (result.removal) {
    case platform::Removal::Deleted:
        return {Outcome::Done, {}};
    case platform::Removal::Refused:
        return {Outcome::Refused, result.reason};
    case platform::Removal::Missing:
        break;
    }
    return {Outcome::Missing, result.reason};
}

std::optional<TargetKind> kind_named(std::string_view json) {
    for (std::size_t kind = 0; kind < kKindWords.size(); ++kind) {
        if (kKindWords[kind].json == json) {
            return static_cast<TargetKind>(kind);
        }
    }
    return std::nullopt;
}

const KindWords& words_of(TargetKind kind) {
    return kKindWords[static_cast<std::size_t>(kind)];
}

std::string shown_path(const Target& target, std::string_view key_root) {
    if (target.kind == TargetKind::Key) {
        return std::string(key_root) + target.path;
    }
    return target.path;
}

void record(Context& context, const Target& target, const ItemOutcome& outcome) {
    if (context.log.is_open()) {
        write_log_line(context.log, target, outcome, context.key_root);
    }
    context.observer.item_handled({target, outcome, context.key_root});
}

ItemOutcome hand_over(Context& context, const Target& target) {
    if (auto kept = set_aside(context, target)) {
        return *kept;
    }
    ItemOutcome outcome = context.action.apply(context, target);
    add_to_plan(context, target, outcome);
    record(context, target, outcome);
    return outcome;
}
