// "Preview...": what the ticked options of the panel in view would act on, item by item; the
// user unticks what is to stay, and the cleaning takes exactly what is left ticked.
#include "engine/own_keep_list.h"
#include "window/form1.h"

namespace {

constexpr std::string_view kNothingToPreview =
    "Tick the options to preview first: none of this panel's is ticked.";

std::string failure_text(const UncoveredFailure& failure) {
    return "The preview could not be completed. Error in " + failure.where + ": " +
           failure.description;
}

} // namespace

void Form1::Command4_Click() {
    const Panel panel = shown_panel();
    const CleaningOptions options = options_ticked_in(panel);
    if (!any_chosen(options)) {
        ui_.message_box(kNothingToPreview, platform::kMbInformation);
        return;
    }
    // The user's unticks outlive a change of the keep list, which previews anew.
    std::vector<std::string> unticked;
    for (;;) {
        const auto made = std::make_shared<Plan>();
        const auto found = previewed_items(options, made);
        if (!found) {
            return;
        }
        std::vector<PreviewRow> rows = rows_of(*found, *made);
        untick_named(rows, unticked);
        const PreviewAnswer answer = dialogs_.preview(rows, !policy_.previews_only());
        unticked = unticked_names(rows, answer.ticked);
        if (answer.choice == PreviewChoice::Close ||
            (answer.always_keep && !keep_always(unticked))) {
            return;
        }
        if (answer.choice == PreviewChoice::Clean) {
            clean_as_previewed(panel, options, plan_of_ticked(*found, answer.ticked, *made));
            return;
        }
        edit_keep_list();
    }
}

std::optional<std::vector<FoundItem>> Form1::previewed_items(const CleaningOptions& options,
                                                             const std::shared_ptr<Plan>& made) {
    const RunRequest request{RunKind::Preview, RunScope::OwnProfile, options, options, 0, {}, made};
    auto checked = check_run(request, policy_, context_.os.system);
    if (const auto* refusal = std::get_if<RunRefusal>(&checked)) {
        ui_.message_box(refusal->text, platform::kMbInformation);
        return std::nullopt;
    }
    PreviewCollector collector(options);
    Context previewing{context_.state,  context_.os, context_.log,
                       context_.action, collector,   context_.key_root};
    set_mouse_pointer(platform::kPointerHourglass);
    const RunReport report = carry_out(previewing, std::get<AllowedRun>(checked));
    // The plan is the caller's now: no later run's count may add to it.
    context_.state.plan_made = nullptr;
    set_mouse_pointer(platform::kPointerDefault);
    if (report.uncovered) {
        ui_.message_box(failure_text(*report.uncovered), platform::kMbWarning);
        return std::nullopt;
    }
    return collector.found();
}

std::vector<PreviewRow> Form1::rows_of(const std::vector<FoundItem>& found, const Plan& made) {
    std::vector<std::string> captions;
    for (const OptionRow& row : kOptionTable) {
        captions.push_back(control(box_of(row)).caption);
    }
    const KeepSources keep{policy_.keep_patterns(), read_own_keep_list(context_.os.registry)};
    return preview_rows(found, made, keep, captions);
}

bool Form1::keep_always(const std::vector<std::string>& names) {
    if (names.empty()) {
        return true;
    }
    platform::Registry& registry = context_.os.registry;
    if (const auto failed =
            write_own_keep_list(registry, with_names_kept(read_own_keep_list(registry), names))) {
        ui_.message_box("Your keep list could not be written: " + *failed, platform::kMbWarning);
        return false;
    }
    return true;
}

void Form1::edit_keep_list() {
    platform::Registry& registry = context_.os.registry;
    const auto edited = dialogs_.edit_keep_list(read_own_keep_list(registry));
    if (!edited) {
        return;
    }
    if (const auto failed = write_own_keep_list(registry, *edited)) {
        ui_.message_box("Your keep list could not be written: " + *failed, platform::kMbWarning);
    }
}

void Form1::clean_as_previewed(Panel panel, const CleaningOptions& options, Plan plan) {
    const auto run = allowed_cleaning(options, std::make_shared<Plan>(std::move(plan)));
    if (!run || !confirmed(panel)) {
        return;
    }
    const auto session = claim_cleaning();
    if (!session || !clean_and_tell(*run, "Command4_Click", frame_of(panel))) {
        return;
    }
    if (panel == Panel::Standard) {
        after_standard_run();
    } else {
        after_advanced_run();
    }
}

bool Form1::confirmed(Panel panel) {
    // Only a Yes is consent: a box that could not be shown answers 0.
    if (panel == Panel::Standard) {
        return ui_.message_box(ConfirmStandardRun(), platform::kMbQuestionYesNo) ==
               platform::kIdYes;
    }
    bool confirmable = false;
    std::string message;
    ConfirmAdvancedRun(confirmable, message);
    if (!confirmable) {
        ui_.message_box(message, platform::kMbOk);
        return false;
    }
    return ui_.message_box(message, platform::kMbQuestionYesNo) == platform::kIdYes;
}
