// The standard panel's run: confirm, log, the ticked operations in their fixed order, reset.
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "operations/temp_files.h"
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
    if (context_.os.ui.message_box(ConfirmStandardRun(), platform::kMbQuestionYesNo) ==
        platform::kIdNo) {
        return;
    }
    const std::string log_name = begin_run();
    if (!log_name.empty()) {
        // The boxes are read again as each operation is due; nothing can change them meanwhile.
        if (ticked(Check1(0))) {
            CleanRegistrySettings();
        }
        if (ticked(Check1(1))) {
            MM_DeleteIniFiles(context_);
        }
        if (ticked(Check1(2))) {
            MM_DeleteTempFiles(context_, "*.$*");
            MM_DeleteTempFiles(context_, "log*.txt");
        }
        if (ticked(Check1(3))) {
            MM_DeleteTempDirs(context_);
        }
        if (ticked(Check1(4))) {
            MM_DeleteTempFiles(context_, "*.tlb");
        }
        if (ticked(Check1(5))) {
            MM_DeleteOpenGLSettings(context_);
        }
    }
    end_run(log_name);
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

void Form1::CleanRegistrySettings() {
    MM_EnumVESKKeys(context_);
    MM_DeleteVESKKeys(context_);
}
