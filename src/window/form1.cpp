#include "window/form1.h"

#include "startup/main.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>

namespace {

using Id = ControlId;
using Kind = ControlKind;

const OptionRow& row_of(bool CleaningOptions::*option) {
    const auto found = std::ranges::find(kOptionTable, option, &OptionRow::chosen);
    if (found == kOptionTable.end()) {
        throw std::logic_error("a box of the stored layout has no option");
    }
    return *found;
}

ControlId id_of(const StoredControl& stored) {
    return stored.option ? Form1::box_of(row_of(stored.option)) : stored.id;
}

// The row of an option's box.
const OptionRow& row_of_box(ControlId box) {
    return kOptionTable[static_cast<std::size_t>(box) -
                        static_cast<std::size_t>(Id::FirstOptionBox)];
}

// Tab reads each panel top to bottom, the standard panel first: its frame, what the frame holds
// and the boxes that lie over it. The window's own controls below the panels come last.
int tab_group(const Control& control) {
    constexpr int kStandard = 0;
    constexpr int kAdvanced = 1;
    constexpr int kBelowThePanels = 2;
    const auto of_frame = [](ControlId frame) {
        return frame == Id::Frame1 ? kStandard : kAdvanced;
    };
    if (control.kind == Kind::Frame) {
        return of_frame(control.id);
    }
    if (control.holder) {
        return of_frame(*control.holder);
    }
    if (control.id >= Id::FirstOptionBox) {
        return row_of_box(control.id).panel == Panel::Standard ? kStandard : kAdvanced;
    }
    return kBelowThePanels;
}

void number_tab_order(std::vector<Control>& controls) {
    const auto top_in_window = [&](const Control& c) {
        return c.top + (c.holder ? controls[static_cast<std::size_t>(*c.holder)].top : 0);
    };
    std::vector<Control*> order;
    for (Control& control : controls) {
        order.push_back(&control);
    }
    std::ranges::sort(order, {}, [&](const Control* c) {
        return std::tuple(tab_group(*c), top_in_window(*c), c->left, c->z_order);
    });
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i]->tab_index = static_cast<int>(i);
    }
}

Control placed(ControlId id, const StoredControl& stored, int z_order) {
    const Place& at = stored.place;
    Control control{};
    control.id = id;
    control.name = stored.name;
    control.index = stored.index;
    control.kind = stored.kind;
    control.holder = stored.holder;
    control.left = at.left;
    control.top = at.top;
    control.width = at.width;
    control.height = at.height;
    control.z_order = z_order;
    control.red = stored.red;
    control.caption = stored.caption;
    control.visible = stored.visible;
    return control;
}

// The stored layout, each option's box where its row's place says; the order of the layout is
// the stacking order.
std::vector<Control> stored_controls() {
    std::vector<std::optional<Control>> slots(static_cast<std::size_t>(Id::FirstOptionBox) +
                                              kOptionTable.size());
    int z_order = 0;
    for (const StoredControl& stored : kStoredLayout) {
        const ControlId id = id_of(stored);
        std::optional<Control>& slot = slots.at(static_cast<std::size_t>(id));
        if (slot) {
            throw std::logic_error("the stored layout places " + std::string(stored.name) +
                                   " twice");
        }
        slot = placed(id, stored, z_order++);
    }
    std::vector<Control> controls;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (!slots[i]) {
            throw std::logic_error(
                i < static_cast<std::size_t>(Id::FirstOptionBox)
                    ? "the stored layout has no place for control " + std::to_string(i)
                    : "the stored layout has no box for /" +
                          std::string(row_of_box(static_cast<ControlId>(i)).switch_name));
        }
        controls.push_back(*slots[i]);
    }
    number_tab_order(controls);
    return controls;
}

std::string handler_name(const Control& control) {
    return std::string(control.name) + "_Click";
}

} // namespace

Form1::Form1(Context context, platform::UserInterface& ui, WindowDialogs& dialogs)
    : context_(context), ui_(ui), dialogs_(dialogs), controls_(stored_controls()) {}

Form1::Form1(Context context, platform::UserInterface& ui, WindowDialogs& dialogs,
             RunExecutor& executor)
    : Form1(context, ui, dialogs) {
    executor_ = &executor;
}

ControlId Form1::box_of(const OptionRow& row) {
    return static_cast<ControlId>(static_cast<int>(Id::FirstOptionBox) +
                                  static_cast<int>(&row - kOptionTable.data()));
}

ControlId Form1::named(std::string_view name, int index) {
    const auto found = std::ranges::find_if(kStoredLayout, [&](const StoredControl& stored) {
        return stored.name == name && stored.index == index;
    });
    if (found == kStoredLayout.end()) {
        throw std::logic_error("the window has no control " + std::string(name));
    }
    return id_of(*found);
}

CleaningOptions Form1::options_ticked_in(Panel panel) const {
    CleaningOptions options;
    for (const OptionRow& row : kOptionTable) {
        if (row.panel == panel) {
            options.*row.chosen = ticked(box_of(row));
        }
    }
    return options;
}

bool Form1::any_ticked_in(Panel panel) const {
    return any_chosen(options_ticked_in(panel));
}

template <class Body> void Form1::dispatch(std::string_view handler, Body&& body) {
    if (ended_) {
        return;
    }
    try {
        body();
    } catch (const platform::Failure& failure) {
        end_after_failure(failure.where.empty() ? handler : failure.where, failure.what());
    } catch (const std::exception& failure) {
        end_after_failure(handler, failure.what());
    }
}

void Form1::end_after_failure(std::string_view where, std::string_view description) {
    // The log gets the failure too, and is complete on disk before the user is told.
    try {
        if (context_.log.is_open()) {
            context_.log.write_line("Error in " + std::string(where) + ": " +
                                    std::string(description));
        }
        context_.log.close();
    } catch (const std::exception&) {
        // The report below is what matters now; the log stays as far as it got.
    }
    set_mouse_pointer(platform::kPointerDefault);
    report_fatal_failure(ui_, where, description);
    end_program();
}

void Form1::end_program() {
    context_.log.close();
    ended_ = true;
}

void Form1::Form_Load() {
    dispatch("Form_Load", [this] { InitWindow(); });
}

void Form1::click(ControlId id) {
    const Control& target = control(id);
    if (!target.enabled) {
        return;
    }
    dispatch(handler_name(target), [&] {
        if (target.kind == Kind::CheckBox) {
            set_value(id, target.value == 1 ? 0 : 1);
        } else {
            raise_click(id);
        }
    });
}

void Form1::close() {
    if (running_) {
        // The log is the run's until it ends: the closing waits for the stop.
        close_requested_ = true;
        executor_->request_stop();
        return;
    }
    dispatch("Form_QueryUnload", [this] {
        Form_QueryUnload();
        ended_ = true;
    });
}

void Form1::set_value(ControlId id, int value) {
    Control& box = mutable_control(id);
    // A greyed box stays unticked, whichever box's handler ticks it.
    if (box.value == value || (!box.enabled && value == 1)) {
        return;
    }
    box.value = value;
    raise_click(id);
}

void Form1::set_caption(ControlId id, std::string_view caption) {
    mutable_control(id).caption = caption;
}

void Form1::set_mouse_pointer(int shape) {
    mouse_pointer_ = shape;
    ui_.set_pointer(shape);
}

void Form1::raise_click(ControlId id) {
    // A control array shares one handler, which is told the member's index. Frames and labels
    // have none.
    struct Handler {
        std::string_view control;
        void (*raise)(Form1&, int index);
    };
    static constexpr Handler kHandlers[] = {
        {"Check1", [](Form1& form, int index) { form.Check1_Click(index); }},
        {"Check2", [](Form1& form, int index) { form.Check2_Click(index); }},
        {"Check3", [](Form1& form, int) { form.Check3_Click(); }},
        {"Check4", [](Form1& form, int) { form.Check4_Click(); }},
        {"Check5", [](Form1& form, int) { form.Check5_Click(); }},
        {"Command1", [](Form1& form, int) { form.Command1_Click(); }},
        {"Command2", [](Form1& form, int) { form.Command2_Click(); }},
        {"Command3", [](Form1& form, int) { form.Command3_Click(); }},
        {"Command4", [](Form1& form, int) { form.Command4_Click(); }},
        {"Command5", [](Form1& form, int) { form.Command5_Click(); }},
    };
    const Control& target = control(id);
    const auto found = std::ranges::find(kHandlers, target.name, &Handler::control);
    if (found != std::end(kHandlers)) {
        found->raise(*this, target.index);
    }
}

void Form1::InitWindow() {
    apply_policy();
    for (const OptionRow& row : kOptionTable) {
        if (row.panel == Panel::Standard) {
            set_value(box_of(row), row.first_choice ? 1 : 0);
        }
    }
}

void Form1::apply_policy() {
    policy_ = read_policy(context_.os.registry, context_.os.system);
    for (const OptionRow& row : kOptionTable) {
        if (!policy_.allows(row)) {
            const ControlId box = box_of(row);
            set_value(box, 0);
            mutable_control(box).enabled = false;
            mutable_control(row.panel == Panel::Standard ? Id::Label3 : Id::Label4).visible = true;
        }
    }
    // The store boxes' master goes with them: it only ticks and unticks both.
    mutable_control(Id::Check3).enabled =
        control(named("Check4")).enabled || control(named("Check5")).enabled;
}

std::optional<AllowedRun> Form1::allowed_cleaning(const CleaningOptions& options,
                                                  std::shared_ptr<Plan> plan) {
    const RunRequest request{RunKind::Clean, RunScope::OwnProfile, options, options, 0, {},
                             std::move(plan)};
    auto checked = check_run(request, policy_, context_.os.system);
    if (const auto* refusal = std::get_if<RunRefusal>(&checked)) {
        ui_.message_box(refusal->text, platform::kMbInformation);
        return std::nullopt;
    }
    return std::get<AllowedRun>(std::move(checked));
}

void Form1::Check1_Click(int /*index*/) {
    UpdateCommand1Caption();
}

void Form1::UpdateCommand1Caption() {
    set_caption(Id::Command1, any_ticked_in(Panel::Standard) ? kGo : kDone);
}

// Check3 is ticked exactly while a store box is (the boxes' handlers keep it so): the options'
// boxes alone decide.
void Form1::UpdateCommand2Caption() {
    set_caption(Id::Command2, any_ticked_in(Panel::Advanced) ? kGo : kDone);
}

void Form1::Command3_Click() {
    if (control(Id::Command3).caption == kShowAdvanced) {
        mutable_control(Id::Frame2).visible = true;
        set_caption(Id::Command3, kHideAdvanced);
    } else {
        mutable_control(Id::Frame2).visible = false;
        set_caption(Id::Command3, kShowAdvanced);
    }
}

Panel Form1::shown_panel() const {
    return control(ControlId::Frame2).visible ? Panel::Advanced : Panel::Standard;
}

void Form1::Form_QueryUnload() {
    set_mouse_pointer(platform::kPointerDefault);
    context_.log.close();
}

std::unique_ptr<CleaningSession> Form1::claim_cleaning() {
    auto session = std::make_unique<CleaningSession>(context_.os.system, context_.log);
    if (!session->held()) {
        ui_.message_box(kAnotherCleaningRuns, platform::kMbWarning);
        return nullptr;
    }
    return session;
}

bool Form1::clean_and_tell(const AllowedRun& run, std::string_view handler, ControlId panel) {
    return work_and_tell(run, handler, panel, kCleaningClosing);
}

bool Form1::work_and_tell(const AllowedRun& run, std::string_view handler, ControlId panel,
                          const ClosingWords& words) {
    set_mouse_pointer(platform::kPointerHourglass);
    const RunReport report = run_showing_progress(run, panel);
    if (report.uncovered) {
        const UncoveredFailure& failure = *report.uncovered;
        end_after_failure(failure.where.empty() ? handler : failure.where, failure.description);
        return false;
    }
    if (!report.stopped) {
        set_mouse_pointer(platform::kPointerDefault);
        tell_outcome(report, words);
    }
    context_.log.close();
    if (close_requested_) {
        close();
        return false;
    }
    return true;
}

RunReport Form1::run_showing_progress(const AllowedRun& run, ControlId panel) {
    const std::string stored = control(panel).caption;
    // However the run ends, an exception included, the window is no longer running one and the
    // panel shows its own caption again.
    class Running {
    public:
        Running(Form1& form, ControlId shown, const std::string& caption)
            : form_(form), shown_(shown), caption_(caption) {
            form_.running_ = true;
        }
        ~Running() {
            form_.running_ = false;
            form_.set_caption(shown_, caption_);
        }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;

    private:
        Form1& form_;
        ControlId shown_;
        const std::string& caption_;
    };
    const Running running(*this, panel, stored);
    return executor_->execute(context_, run, [&](const RunProgress& progress) {
        set_caption(panel, progress_caption(stored, progress));
    });
}

void Form1::tell_outcome(const RunReport& report, const ClosingWords& words) {
    if (report.unusable) {
        ui_.message_box("The backup cannot be restored: " + *report.unusable +
                            "\r\n\r\nNothing was changed.",
                        platform::kMbWarning);
        return;
    }
    if (report.log != LogStatus::Open) {
        ui_.message_box(std::string(words.no_log) + "\r\n" + context_.state.VeskPath + "\r\n\r\n" +
                            std::string(words.nothing_done),
                        platform::kMbWarning);
        return;
    }
    std::string message = std::string(words.finished) + "\r\n" + report.log_path;
    if (report.refused > 0) {
        message += "\r\n\r\n" + std::string(words.some_left);
    }
    ui_.message_box(message, platform::kMbInformation);
}
