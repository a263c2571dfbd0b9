// The standard panel's run: confirm, log, the ticked operations in their fixed order, reset.
#include "window/form1.h"

namespace {

// The confirmation line of each standard box, by index.
constexpr std::array<std::string_view, 6> kConfirmationLines = {
    "- VESK Registry Settings",         "- VESK Configuration Settings", "- Temporary VESK Files",
    "- Temporary VESK Project Folders", "- VESK Toolbar Settings",       "- VESK OpenGL Settings",
};

} // namespace

void Form1::Command1_Click() {
    if (control(ControlId::Command1).caption == kDone) {
        end_program();
        return;
    }
    if (ui_.message_box(ConfirmStandardRun(), platform::kMbQuestionYesNo) == platform::kIdNo) {
        return;
    }
    const auto lock = claim_cleaning();
    if (!lock || !clean_and_tell(standard_options(), "Command1_Click", ControlId::Frame1)) {
        return;
    }
    for (int index = 0; index <= 5; ++index) {
        set_value(Check1(index), 0);
    }
    set_caption(ControlId::Command1, kDone);
}

std::string Form1::ConfirmStandardRun() const {
    std::string text = "Do you really want to delele: \r\n\r\n";
    bool any = false;
    for (int index = 0; index <= 5; ++index) {
        if (ticked(Check1(index))) {
            text += kConfirmationLines[static_cast<std::size_t>(index)];
            text += "\r\n";
            any = true;
        }
    }
    return any ? text : std::string();
}

CleaningOptions Form1::standard_options() const {
    CleaningOptions options;
    options.registry_settings = ticked(Check1(0));
    options.configuration_settings = ticked(Check1(1));
    options.temporary_files = ticked(Check1(2));
    options.project_folders = ticked(Check1(3));
    options.toolbar_settings = ticked(Check1(4));
    options.opengl_settings = ticked(Check1(5));
    return options;
}
