// Whether the run leaves a target alone: the keep lists, and the plan it applies or makes.
#include "operations/context.h"
#include "operations/folder_walk.h"
#include "operations/identity.h"
#include "operations/targets.h"

#include <utility>

namespace {

// Finds a subkey whose name a keep list matches; whatever cannot be entered or listed is judged
// by its name alone.
class KeptBelow final : public platform::KeyTreeVisitor {
public:
    KeptBelow(const KeepList& keep, std::string_view key_root, std::string_view top)
        : keep_(keep), key_root_(key_root), top_(top) {}

    std::optional<std::string> reached(platform::RegistryKey&, const std::string& path) override {
        return path == top_ ? std::nullopt : kept(path);
    }
    std::optional<std::string> not_entered(const std::string& path,
                                           const platform::OpenedKey&) override {
        return kept(path);
    }
    std::optional<std::string> unlisted(const std::string&) override { return std::nullopt; }

private:
    std::optional<std::string> kept(const std::string& path) const {
        if (keep_.keeps(std::string(key_root_) + path)) {
            return std::string(kOnAKeepList);
        }
        return std::nullopt;
    }

    const KeepList& keep_;
    std::string_view key_root_;
    std::string_view top_;
};

bool keeps_a_subkey(const Context& context, const Target& target) {
    const platform::OpenedKey opened = context.os.registry.open_unlinked(
        platform::RegistryRoot::CurrentUser, target.path, platform::RegistryAccess::Default);
    if (!opened.key) {
        return false;
    }
    KeptBelow search(context.state.keep, context.key_root, target.path);
    return platform::walk_key_tree(*opened.key, target.path, search).has_value();
}

// Looks through the folder's tree for an entry whose name a keep list matches, entering only a
// folder below which a pattern could match.
bool keeps_an_entry(const Context& context, const Target& target) {
    const KeepList& keep = context.state.keep;
    return look_through_tree(
        *target.folder, target.name, target.path,
        [&](const platform::DirEntry&, platform::Folder&, const std::string& path) {
            if (keep.keeps(path)) {
                return Step::Stop;
            }
            return keep.may_keep_below(path) ? Step::Enter : Step::Next;
        },
        [](const std::string&) { return false; });
}

bool on_keep_list(const Context& context, const Target& target) {
    const KeepList& keep = context.state.keep;
    if (keep.empty()) {
        return false;
    }
    const std::string name = shown_path(target, context.key_root);
    if (keep.keeps(name)) {
        return true;
    }
    if (!keep.may_keep_below(name)) {
        return false;
    }
    if (target.kind == TargetKind::Key) {
        return keeps_a_subkey(context, target);
    }
    return target.kind == TargetKind::ProjectFolder && target.folder &&
           keeps_an_entry(context, target);
}

} // namespace

std::optional<std::string> left_alone(const Context& context, const Target& target) {
    if (words_of(target.kind).kept.empty()) {
        return std::nullopt;
    }
    Plan* plan = context.state.plan_applied.get();
    if (on_keep_list(context, target)) {
        // Found, and kept: the plan's item is not gone.
        if (plan) {
            plan->meet(words_of(target.kind).json, shown_path(target, context.key_root));
        }
        return std::string(kOnAKeepList);
    }
    if (!plan) {
        return std::nullopt;
    }
    const std::optional<std::string> identity = identity_of(context, target);
    switch (plan->judge(words_of(target.kind).json, shown_path(target, context.key_root),
                        identity.value_or(std::string()))) {
    case PlanVerdict::Goes:
        // A plan file may hold an empty identity: what cannot be read now never goes.
        return identity ? std::nullopt : std::optional<std::string>(kChangedSincePreview);
    case PlanVerdict::Changed:
        return std::string(kChangedSincePreview);
    case PlanVerdict::NotListed:
        break;
    }
    return std::string(kNotInThePlan);
}

bool leaves_any_alone(const Context& context) {
    return !context.state.keep.empty() || context.state.plan_applied;
}

std::optional<ItemOutcome> set_aside(Context& context, const Target& target) {
    auto reason = left_alone(context, target);
    if (!reason) {
        return std::nullopt;
    }
    const ItemOutcome kept{Outcome::Kept, std::move(*reason)};
    record(context, target, kept);
    return kept;
}

void add_to_plan(const Context& context, const Target& target, const ItemOutcome& outcome) {
    Plan* plan = context.state.plan_made.get();
    if (!plan || outcome.outcome != Outcome::Previewed) {
        return;
    }
    // What cannot be read whole now could not be told unchanged later: it stays out.
    if (auto identity = identity_of(context, target)) {
        plan->add(std::string(words_of(target.kind).json), shown_path(target, context.key_root),
                  std::move(*identity));
    }
}

void record_plan_leftovers(Context& context) {
    Plan* plan = context.state.plan_applied.get();
    if (!plan) {
        return;
    }
    for (const PlanItem& item : plan->items()) {
        const std::optional<TargetKind> kind = kind_named(item.kind);
        if (item.met || !kind) {
            continue;
        }
        // The plan holds full names: keys with their root already.
        const Target target{*kind, item.path};
        const ItemOutcome gone{
            Outcome::Missing,
            std::string(plan->header.every_profile ? kGoneOrNotCleaned : kGoneSincePreview)};
        if (context.log.is_open()) {
            context.log.write_refusal(words_of(*kind).not_found, item.path, gone.reason);
        }
        context.observer.item_handled({target, gone, ""});
    }
}
