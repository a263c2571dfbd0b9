#include "window/preview_list.h"

#include "model/keep_list.h"
#include "platform/text.h"

#include <algorithm>

namespace {

constexpr std::string_view kKeptByOrganisation = "Kept by your organisation";
constexpr std::string_view kOnYourKeepList = "On your keep list";
constexpr std::string_view kHoldsAKeptItem = "Holds an item on a keep list";
constexpr std::string_view kUnreadable = "Cannot be read whole now, so it stays";
constexpr std::string_view kGoesWithOption = "Goes with its option: untick the option to leave it";

std::string kind_word(TargetKind kind) {
    std::string word(words_of(kind).one);
    if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') {
        word[0] = static_cast<char>(word[0] - 'a' + 'A');
    }
    return word;
}

std::string kept_note(const std::string& path, const KeepSources& keep) {
    KeepList organisation;
    organisation.set_everywhere(keep.organisation);
    if (organisation.keeps(path)) {
        return std::string(kKeptByOrganisation);
    }
    KeepList own;
    own.set_everywhere(keep.own);
    return std::string(own.keeps(path) ? kOnYourKeepList : kHoldsAKeptItem);
}

// A row that shows what the cleaning does with the item, which no tick changes.
PreviewRow fixed(PreviewRow row, bool goes, std::string note) {
    row.can_tick = false;
    row.ticked = goes;
    row.note = std::move(note);
    return row;
}

PreviewRow row_of(const FoundItem& item, const Plan& made, const KeepSources& keep,
                  std::span<const std::string> captions) {
    PreviewRow row;
    row.group = captions[item.option];
    row.kind = kind_word(item.kind);
    row.path = item.path;
    const ItemOutcome& outcome = item.outcome;
    switch (outcome.outcome) {
    case Outcome::Kept:
        return fixed(row, false, kept_note(item.path, keep));
    case Outcome::Refused:
        return fixed(row, false, "Would be refused: " + outcome.reason);
    case Outcome::NotBackedUp:
        return fixed(row, false, "Cannot be backed up: " + outcome.reason);
    default:
        break;
    }
    if (words_of(item.kind).kept.empty()) {
        return fixed(row, true, std::string(kGoesWithOption));
    }
    if (!made.find(words_of(item.kind).json, item.path)) {
        return fixed(row, false, std::string(kUnreadable));
    }
    return row;
}

} // namespace

void PreviewCollector::operation_started(std::string_view procedure) {
    for (std::size_t i = started_ ? option_ + 1 : 0; i < kOptionTable.size(); ++i) {
        const OptionRow& row = kOptionTable[i];
        if (options_.*row.chosen && row.procedure == procedure) {
            option_ = i;
            started_ = true;
            return;
        }
    }
}

void PreviewCollector::item_handled(const ItemEvent& item) {
    // What is found gone at its turn is nothing to show.
    if (item.outcome.outcome == Outcome::Missing) {
        return;
    }
    found_.push_back(
        {option_, item.target.kind, shown_path(item.target, item.key_root), item.outcome});
}

std::vector<PreviewRow> preview_rows(const std::vector<FoundItem>& found, const Plan& made,
                                     const KeepSources& keep,
                                     std::span<const std::string> captions) {
    std::vector<PreviewRow> rows;
    for (const FoundItem& item : found) {
        rows.push_back(row_of(item, made, keep, captions));
    }
    return rows;
}

Plan plan_of_ticked(const std::vector<FoundItem>& found, const std::vector<bool>& ticked,
                    const Plan& made) {
    Plan plan;
    plan.header = made.header;
    for (std::size_t i = 0; i < found.size() && i < ticked.size(); ++i) {
        if (!ticked[i]) {
            continue;
        }
        const std::string_view kind = words_of(found[i].kind).json;
        if (const PlanItem* item = made.find(kind, found[i].path)) {
            plan.add(item->kind, item->path, item->identity);
        }
    }
    return plan;
}

std::vector<std::string> unticked_names(const std::vector<PreviewRow>& rows,
                                        const std::vector<bool>& ticked) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < rows.size() && i < ticked.size(); ++i) {
        if (rows[i].can_tick && !ticked[i]) {
            names.push_back(rows[i].path);
        }
    }
    return names;
}

void untick_named(std::vector<PreviewRow>& rows, const std::vector<std::string>& names) {
    for (PreviewRow& row : rows) {
        const bool named = std::ranges::any_of(
            names, [&](const std::string& name) { return platform::iequals(name, row.path); });
        if (row.can_tick && named) {
            row.ticked = false;
        }
    }
}
