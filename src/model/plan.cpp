#include "model/plan.h"

#include "platform/text.h"

std::u32string Plan::key_of(std::string_view kind, std::string_view path) {
    return platform::fold_case(std::string(kind) + '|' + std::string(path));
}

void Plan::add(std::string kind, std::string path, std::string identity) {
    index_.emplace(key_of(kind, path), items_.size());
    items_.push_back({std::move(kind), std::move(path), std::move(identity), false});
}

PlanItem* Plan::unmet(std::string_view kind, std::string_view path) {
    const auto found = index_.find(key_of(kind, path));
    if (found == index_.end() || items_[found->second].met) {
        return nullptr;
    }
    return &items_[found->second];
}

PlanVerdict Plan::judge(std::string_view kind, std::string_view path, std::string_view identity) {
    PlanItem* item = unmet(kind, path);
    if (!item) {
        return PlanVerdict::NotListed;
    }
    item->met = true;
    return item->identity == identity ? PlanVerdict::Goes : PlanVerdict::Changed;
}

void Plan::meet(std::string_view kind, std::string_view path) {
    if (PlanItem* item = unmet(kind, path)) {
        item->met = true;
    }
}

const PlanItem* Plan::find(std::string_view kind, std::string_view path) const {
    const auto found = index_.find(key_of(kind, path));
    return found == index_.end() ? nullptr : &items_[found->second];
}
