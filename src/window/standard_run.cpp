// The standard panel's run: confirm, log, the ticked operations in their fixed order, reset.
#include "window/form1.h"

void Form1::Command1_Click() {
    if (control(ControlId::Command1).caption == kDone) {
        end_program();
        return;
    }
    const auto run = allowed_cleaning(standard_options());
    if (!run) {
        return;
    }
    if (!confirmed(Panel::Standard)) {
        return;
    }
    const auto session = claim_cleaning();
    if (!session || !clean_and_tell(*run, "Command1_Click", ControlId::Frame1)) {
        return;
    }
    after_standard_run();
}

void Form1::after_standard_run() {
    for (const OptionRow& row : kOptionTable) {
        if (row.panel == Panel::Standard) {
            set_value(box_of(row), 0);
        }
    }
    set_caption(ControlId::Command1, kDone);
}

std::string Form1::ConfirmStandardRun() const {
    std::string text = "Do you really want to delele: \r\n\r\n";
    bool any = false;
    for (const OptionRow& row : kOptionTable) {
        if (row.panel == Panel::Standard && ticked(box_of(row))) {
            text += row.confirmation;
            text += "\r\n";
            any = true;
        }
    }
    return any ? text : std::string();
}

CleaningOptions Form1::standard_options() const {
    return options_ticked_in(Panel::Standard);
}
