// The advanced panel: the coupling of the virtual-store boxes, and its run.
#include "operations/virtual_store.h"
#include "window/form1.h"

void Form1::Check2_Click(int /*index*/) {
    UpdateCommand2Caption();
}

// Check3 is the master of Check4 and Check5: it is ticked exactly while either of them is.
void Form1::Check3_Click() {
    const int value = ticked(ControlId::Check3) ? 1 : 0;
    set_value(ControlId::Check4, value);
    set_value(ControlId::Check5, value);
    UpdateCommand2Caption();
}

void Form1::Check4_Click() {
    follow_folder_box(ControlId::Check4, ControlId::Check5);
}

void Form1::Check5_Click() {
    follow_folder_box(ControlId::Check5, ControlId::Check4);
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

void Form1::ConfirmAdvancedRun(const std::string& pf_store, const std::string& pd_store,
                               bool& confirmable, std::string& message) const {
    constexpr std::string_view kCrLf = "\r\n";
    constexpr std::string_view kMissing =
        "This Virtual Store does not exist, no action will be taken.";
    constexpr std::string_view kCleanQuestion =
        "Do you really want to clean the Virtual Store for this folder?";
    confirmable = false;
    message.clear();
    auto append = [&message](std::initializer_list<std::string_view> parts) {
        for (const auto part : parts) {
            message += part;
        }
    };
    if (ticked(ControlId::Check2_0)) {
        append({kCrLf,
                "Do you really want to restore the VESK folder access rights for these folders ?",
                kCrLf, context_.state.AppDataPath, kCrLf, context_.state.AuxDataPath, kCrLf});
        confirmable = true;
    }
    if (ticked(ControlId::Check2_0) && ticked(ControlId::Check3)) {
        append({kCrLf, "and", kCrLf});
    }
    if (ticked(ControlId::Check4)) {
        if (store_exists(context_, StoreKind::ProgramFiles, pf_store)) {
            append({kCrLf, kCleanQuestion, kCrLf, pf_store, kCrLf});
            confirmable = true;
        } else {
            append({kCrLf, pf_store, kCrLf, kMissing, kCrLf});
        }
    }
    if (ticked(ControlId::Check5)) {
        if (store_exists(context_, StoreKind::ProgramData, pd_store)) {
            append({kCrLf, kCleanQuestion, kCrLf, pd_store});
            confirmable = true;
        } else {
            append({kCrLf, pd_store, kCrLf, kMissing, kCrLf});
        }
    }
}

void Form1::Command2_Click() {
    if (control(ControlId::Command2).caption == kDone) {
        end_program();
        return;
    }
    if (told_previews_only()) {
        return;
    }
    const std::string pf_store = MM_GetVirtualStorePath(context_, StoreKind::ProgramFiles);
    const std::string pd_store = MM_GetVirtualStorePath(context_, StoreKind::ProgramData);
    bool confirmable = false;
    std::string message;
    ConfirmAdvancedRun(pf_store, pd_store, confirmable, message);
    if (!confirmable) {
        ui_.message_box(message, platform::kMbOk);
    } else {
        // Only a Yes is consent: a box that could not be shown answers 0.
        if (ui_.message_box(message, platform::kMbQuestionYesNo) != platform::kIdYes) {
            return;
        }
        const auto session = claim_cleaning();
        if (!session || !clean_and_tell(advanced_options(), "Command2_Click", ControlId::Frame2)) {
            return;
        }
    }
    for (int index = 0; index <= 5; ++index) {
        set_value(Check1(index), 0);
    }
    set_value(ControlId::Check2_0, 0);
    set_value(ControlId::Check3, 0);
    set_caption(ControlId::Command2, kDone);
}

CleaningOptions Form1::advanced_options() const {
    return options_ticked_in(Panel::Advanced);
}
