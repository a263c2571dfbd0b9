#include "window/form1.h"

#include "startup/main.h"

#include <algorithm>
#include <stdexcept>

namespace {

using Id = ControlId;
using Kind = ControlKind;

// The stored layout, in tab order. Check1 indexes 1 to 4 lie on the window itself, over
// Frame1, so that all six boxes line up; Command3 lies below both frames.
std::array<Control, kControlCount> stored_layout() {
    return {{
        {Id::Frame1,
         "Frame1",
         -1,
         Kind::Frame,
         {},
         240,
         240,
         5175,
         4455,
         0,
         7,
         false,
         "Cleaning Options"},
        {Id::Command1, "Command1", -1, Kind::Button, Id::Frame1, 3840, 3720, 975, 495, 8, 8, false,
         "Go!"},
        {Id::Check1_0, "Check1", 0, Kind::CheckBox, Id::Frame1, 720, 800, 4215, 255, 2, 9, false,
         "Delete VESK Registry VB Program Settings"},
        {Id::Check1_1,
         "Check1",
         1,
         Kind::CheckBox,
         {},
         960,
         1500,
         3135,
         255,
         3,
         6,
         false,
         "Delete VESK Configuration Settings"},
        {Id::Check1_2,
         "Check1",
         2,
         Kind::CheckBox,
         {},
         960,
         2000,
         2655,
         255,
         4,
         5,
         false,
         "Delete Temporary VESK Files"},
        {Id::Check1_3,
         "Check1",
         3,
         Kind::CheckBox,
         {},
         960,
         2500,
         3135,
         255,
         5,
         4,
         false,
         "Delete Temporary VESK Project Folders"},
        {Id::Check1_4,
         "Check1",
         4,
         Kind::CheckBox,
         {},
         960,
         3000,
         3135,
         255,
         6,
         3,
         false,
         "Delete VESK Toolbar Settings"},
        {Id::Check1_5, "Check1", 5, Kind::CheckBox, Id::Frame1, 720, 3300, 3135, 255, 7, 10, false,
         "Delete VESK OpenGL Settings"},
        {Id::Label1, "Label1", -1, Kind::Label, Id::Frame1, 720, 400, 3255, 255, 1, 11, true,
         "\"Please close any open VESK windows first!\"."},
        {Id::Frame2,
         "Frame2",
         -1,
         Kind::Frame,
         {},
         240,
         240,
         5175,
         4455,
         10,
         1,
         false,
         "Advanced Cleaning Options"},
        {Id::Command2, "Command2", -1, Kind::Button, Id::Frame2, 3840, 3720, 975, 495, 17, 12,
         false, "Done"},
        {Id::Check2_0, "Check2", 0, Kind::CheckBox, Id::Frame2, 720, 1560, 3855, 255, 12, 13, false,
         "Restore VESK Folder Access Rights"},
        {Id::Command3,
         "Command3",
         -1,
         Kind::Button,
         {},
         240,
         4920,
         2295,
         255,
         19,
         0,
         false,
         "Advanced Options"},
        {Id::Label2_0, "Label2", 0, Kind::Label, Id::Frame2, 720, 400, 3255, 255, 11, 14, true,
         "\"Please close any open VESK windows first!\"."},
        {Id::Label2_1, "Label2", 1, Kind::Label, Id::Frame2, 720, 2160, 4215, 255, 13, 15, true,
         "Access rights need an administrator."},
        {Id::Check3, "Check3", -1, Kind::CheckBox, Id::Frame2, 720, 2400, 3375, 375, 14, 16, false,
         "Delete VESK Settings from Virtual Store"},
        {Id::Check4, "Check4", -1, Kind::CheckBox, Id::Frame2, 1200, 2880, 1815, 195, 15, 17, false,
         "Program Files"},
        {Id::Check5, "Check5", -1, Kind::CheckBox, Id::Frame2, 1200, 3360, 1935, 195, 16, 18, false,
         "Program Data"},
        // Ours: beside each action button, level with its middle, shown only while the policy
        // greys a box of the panel.
        {Id::Label3, "Label3", -1, Kind::Label, Id::Frame1, 720, 3840, 3000, 255, 9, 19, false,
         std::string(kSetByOrganisation), 0, false},
        {Id::Label4, "Label4", -1, Kind::Label, Id::Frame2, 720, 3840, 3000, 255, 18, 20, false,
         std::string(kSetByOrganisation), 0, false},
    }};
}

std::string handler_name(const Control& control) {
    return std::string(control.name) + "_Click";
}

} // namespace

Form1::Form1(Context context, platform::UserInterface& ui)
    : context_(context), ui_(ui), controls_(stored_layout()) {
    mutable_control(Id::Frame2).visible = false;
}

Form1::Form1(Context context, platform::UserInterface& ui, RunExecutor& executor)
    : Form1(context, ui) {
    executor_ = &executor;
}

ControlId Form1::Check1(int index) {
    return static_cast<ControlId>(static_cast<int>(Id::Check1_0) + index);
}

ControlId Form1::box_of(const OptionRow& row) const {
    const auto found = std::ranges::find_if(controls_, [&](const Control& box) {
        return box.kind == Kind::CheckBox && box.name == row.box.name && box.index == row.box.index;
    });
    if (found == controls_.end()) {
        throw std::logic_error("the window has no box " + std::string(row.box.name));
    }
    return found->id;
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
    switch (id) {
    case Id::Check1_0:
    case Id::Check1_1:
    case Id::Check1_2:
    case Id::Check1_3:
    case Id::Check1_4:
    case Id::Check1_5:
        Check1_Click(control(id).index);
        break;
    case Id::Check2_0:
        Check2_Click(0);
        break;
    case Id::Check3:
        Check3_Click();
        break;
    case Id::Check4:
        Check4_Click();
        break;
    case Id::Check5:
        Check5_Click();
        break;
    case Id::Command1:
        Command1_Click();
        break;
    case Id::Command2:
        Command2_Click();
        break;
    case Id::Command3:
        Command3_Click();
        break;
    default:
        break; // frames and labels have no click handler
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
    context_.state.backup_home = backup_home(policy_, context_.os.system);
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
        control(Id::Check4).enabled || control(Id::Check5).enabled;
}

bool Form1::told_previews_only() {
    if (!policy_.previews_only()) {
        return false;
    }
    ui_.message_box(previews_only_text(policy_), platform::kMbInformation);
    return true;
}

void Form1::Check1_Click(int /*index*/) {
    UpdateCommand1Caption();
}

void Form1::UpdateCommand1Caption() {
    for (int index = 0; index <= 5; ++index) {
        if (ticked(Check1(index))) {
            set_caption(Id::Command1, kGo);
            return;
        }
    }
    set_caption(Id::Command1, kDone);
}

void Form1::UpdateCommand2Caption() {
    set_caption(Id::Command2, ticked(Id::Check2_0) || ticked(Id::Check3) ? kGo : kDone);
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

bool Form1::clean_and_tell(const CleaningOptions& options, std::string_view handler,
                           ControlId panel) {
    set_mouse_pointer(platform::kPointerHourglass);
    const RunReport report = run_showing_progress(options, panel);
    if (report.uncovered) {
        const UncoveredFailure& failure = *report.uncovered;
        end_after_failure(failure.where.empty() ? handler : failure.where, failure.description);
        return false;
    }
    if (!report.stopped) {
        set_mouse_pointer(platform::kPointerDefault);
        tell_outcome(report);
    }
    context_.log.close();
    if (close_requested_) {
        close();
        return false;
    }
    return true;
}

RunReport Form1::run_showing_progress(const CleaningOptions& options, ControlId panel) {
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
    return executor_->execute(context_, options, [&](const RunProgress& progress) {
        set_caption(panel, progress_caption(stored, progress));
    });
}

void Form1::tell_outcome(const RunReport& report) {
    if (report.log != LogStatus::Open) {
        ui_.message_box(std::string(kNoLogIn) + "\r\n" + context_.state.VeskPath + "\r\n\r\n" +
                            std::string(kNothingCleaned),
                        platform::kMbWarning);
        return;
    }
    std::string message = "Cleaning finished. Log file has been written to:\r\n" + report.log_path;
    if (report.refused > 0) {
        message += "\r\n\r\nSome items could not be cleaned; the log lists them.";
    }
    ui_.message_box(message, platform::kMbInformation);
}
