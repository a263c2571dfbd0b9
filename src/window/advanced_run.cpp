// The advanced panel: the coupling of the virtual-store boxes, and its run.
#include "window/form1.h"

#include <algorithm>
#include <vector>

namespace {

ControlId check4() {
    return Form1::named("Check4");
}

ControlId check5() {
    return Form1::named("Check5");
}

// The question with the folders at its "{}", one a line.
std::string with_folders(std::string_view question, const std::vector<std::string>& folders) {
    std::string listed;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        listed.append(i == 0 ? "" : "\r\n").append(folders[i]);
    }
    std::string text(question);
    const auto at = text.find("{}");
    return at == std::string::npos ? text : text.replace(at, 2, listed);
}

} // namespace

void Form1::Check2_Click(int /*index*/) {
    UpdateCommand2Caption();
}

// Check3 is the master of Check4 and Check5: it is ticked exactly while either of them is.
void Form1::Check3_Click() {
    const int value = ticked(ControlId::Check3) ? 1 : 0;
    set_value(check4(), value);
    set_value(check5(), value);
    UpdateCommand2Caption();
}

void Form1::Check4_Click() {
    follow_folder_box(check4(), check5());
}

void Form1::Check5_Click() {
    follow_folder_box(check5(), check4());
}

// Ticking a folder box ticks the master, whose handler ticks both folder boxes: the other one
// then gets its own tick back. Unticking the last ticked folder box unticks the master.
void Form1::follow_folder_box(ControlId box, ControlId other) {
    const int other_value = control(other).value;
    if (ticked(box)) {
        set_value(ControlId::Check3, 1);
        set_value(other, other_value);
    } else if (other_value != 1) {
        set_value(ControlId::Check3, 0);
    }
}

// Each ticked option in the table's order: its question about its folders, or, for a folder that
// is not there, that nothing will be done. The questions of different operations are joined by
// "and".
void Form1::ConfirmAdvancedRun(bool& confirmable, std::string& message) {
    constexpr std::string_view kCrLf = "\r\n";
    constexpr std::string_view kMissing =
        "This Virtual Store does not exist, no action will be taken.";
    confirmable = false;
    message.clear();
    const CleaningOptions ticked = advanced_options();
    std::string_view asked_before;
    for (const OptionRow& row : kOptionTable) {
        if (row.panel != Panel::Advanced || !(ticked.*row.chosen)) {
            continue;
        }
        if (!asked_before.empty() && asked_before != row.procedure) {
            message.append(kCrLf).append("and").append(kCrLf);
        }
        asked_before = row.procedure;
        const AskedFolders asked = row.asked ? row.asked(context_) : AskedFolders{};
        if (asked.found) {
            message.append(kCrLf).append(with_folders(row.confirmation, asked.folders));
            confirmable = true;
            continue;
        }
        for (const std::string& folder : asked.folders) {
            message.append(kCrLf).append(folder).append(kCrLf).append(kMissing).append(kCrLf);
        }
    }
}

void Form1::Command2_Click() {
    if (control(ControlId::Command2).caption == kDone) {
        end_program();
        return;
    }
    const auto run = allowed_cleaning(advanced_options());
    if (!run) {
        return;
    }
    bool confirmable = false;
    std::string message;
    ConfirmAdvancedRun(confirmable, message);
    if (!confirmable) {
        ui_.message_box(message, platform::kMbOk);
    } else {
        // Only a Yes is consent: a box that could not be shown answers 0.
        if (ui_.message_box(message, platform::kMbQuestionYesNo) != platform::kIdYes) {
            return;
        }
        const auto session = claim_cleaning();
        if (!session || !clean_and_tell(*run, "Command2_Click", ControlId::Frame2)) {
            return;
        }
    }
    after_advanced_run();
}

void Form1::after_advanced_run() {
    untick_every_box();
    set_caption(ControlId::Command2, kDone);
}

// In tab order: the standard boxes, then the advanced ones, whose master unticks the store boxes
// as it goes.
void Form1::untick_every_box() {
    std::vector<const Control*> boxes;
    for (const Control& control : controls_) {
        if (control.kind == ControlKind::CheckBox) {
            boxes.push_back(&control);
        }
    }
    std::ranges::sort(boxes, {}, &Control::tab_index);
    for (const Control* box : boxes) {
        set_value(box->id, 0);
    }
}

CleaningOptions Form1::advanced_options() const {
    return options_ticked_in(Panel::Advanced);
}
