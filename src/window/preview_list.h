// What the window's preview found, item by item, and what the user's ticks make of it: the rows
// of the preview dialog, the plan a cleaning takes exactly, and the names to keep always.
#pragma once

#include "engine/options.h"
#include "model/plan.h"
#include "operations/run_observer.h"
#include "window/dialogs.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

struct FoundItem {
    std::size_t option; // its row in the option table
    TargetKind kind;
    std::string path; // the full name, as the log writes it
    ItemOutcome outcome;
};

// Hears a preview of the options: each item with the option whose operation found it. Two
// options may share a procedure (the temporary files and the toolbar's); the run takes them in
// the table's order, so each start is the next chosen option's of that name.
class PreviewCollector final : public RunObserver {
public:
    explicit PreviewCollector(const CleaningOptions& options) : options_(options) {}
    void operation_started(std::string_view procedure) override;
    void item_handled(const ItemEvent& item) override;
    const std::vector<FoundItem>& found() const { return found_; }

private:
    CleaningOptions options_;
    std::size_t option_ = 0;
    bool started_ = false;
    std::vector<FoundItem> found_;
};

// The keep lists as the user is told of them: which one keeps an item.
struct KeepSources {
    std::vector<std::string> organisation;
    std::vector<std::string> own;
};

// One row a found item, in the order found, grouped under the caption of its option
// (captions[i] is the option table's row i). What goes is ticked and may be unticked, when the
// preview's plan holds it; what a keep list keeps, what would be refused and what cannot be read
// whole now is unticked and stays so; what no plan holds back (access rights) stays ticked.
std::vector<PreviewRow> preview_rows(const std::vector<FoundItem>& found, const Plan& made,
                                     const KeepSources& keep,
                                     std::span<const std::string> captions);

// The plan of exactly the items left ticked, as the preview found them.
Plan plan_of_ticked(const std::vector<FoundItem>& found, const std::vector<bool>& ticked,
                    const Plan& made);

// The names of the rows the user unticked: what "Always keep" adds to the user's list.
std::vector<std::string> unticked_names(const std::vector<PreviewRow>& rows,
                                        const std::vector<bool>& ticked);

// The rows with the named items unticked, where they may be: the user's unticks outlive a
// fresh preview.
void untick_named(std::vector<PreviewRow>& rows, const std::vector<std::string>& names);
