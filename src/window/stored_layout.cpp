#include "window/stored_layout.h"

namespace {

using Id = ControlId;
using Kind = ControlKind;
using Holder = std::optional<ControlId>;

constexpr Holder kWindow = std::nullopt;
constexpr std::string_view kCloseVeskFirst = "\"Please close any open VESK windows first!\".";

enum class Look { Plain, RedNote, Hidden };

constexpr StoredControl own(Id id, std::string_view name, int index, Kind kind, Holder holder,
                            Place at, std::string_view caption, Look look = Look::Plain) {
    StoredControl control{id, nullptr, name, index, kind, holder, at, caption};
    control.red = look == Look::RedNote;
    control.visible = look != Look::Hidden;
    return control;
}

// The check box of the option's row.
constexpr StoredControl box(bool CleaningOptions::*option, std::string_view name, int index,
                            Holder holder, Place at, std::string_view caption) {
    return {Id::FirstOptionBox, option, name, index, Kind::CheckBox, holder, at, caption};
}

constexpr StoredControl kControls[] = {
    // The window's own children. Check1 indexes 1 to 4 lie on the window itself, over Frame1, so
    // that all six boxes line up; Frame2, shown, covers them. Command3 lies below both frames,
    // and the preview's and the undo's buttons beside it, seen in both views.
    own(Id::Command5, "Command5", -1, Kind::Button, kWindow, {4080, 4920, 1335, 255}, "Undo..."),
    own(Id::Command4, "Command4", -1, Kind::Button, kWindow, {2640, 4920, 1335, 255}, "Preview..."),
    own(Id::Command3, "Command3", -1, Kind::Button, kWindow, {240, 4920, 2295, 255},
        "Advanced Options"),
    own(Id::Frame2, "Frame2", -1, Kind::Frame, kWindow, {240, 240, 5175, 4455},
        "Advanced Cleaning Options", Look::Hidden),
    box(&CleaningOptions::toolbar_settings, "Check1", 4, kWindow, {960, 3000, 3135, 255},
        "Delete VESK Toolbar Settings"),
    box(&CleaningOptions::project_folders, "Check1", 3, kWindow, {960, 2500, 3135, 255},
        "Delete Temporary VESK Project Folders"),
    box(&CleaningOptions::temporary_files, "Check1", 2, kWindow, {960, 2000, 2655, 255},
        "Delete Temporary VESK Files"),
    box(&CleaningOptions::configuration_settings, "Check1", 1, kWindow, {960, 1500, 3135, 255},
        "Delete VESK Configuration Settings"),
    own(Id::Frame1, "Frame1", -1, Kind::Frame, kWindow, {240, 240, 5175, 4455}, "Cleaning Options"),

    // The advanced panel.
    own(Id::Command2, "Command2", -1, Kind::Button, Id::Frame2, {3840, 3720, 975, 495}, "Done"),
    box(&CleaningOptions::access_rights, "Check2", 0, Id::Frame2, {720, 1560, 3855, 255},
        "Restore VESK Folder Access Rights"),
    own(Id::Label2_0, "Label2", 0, Kind::Label, Id::Frame2, {720, 400, 3255, 255}, kCloseVeskFirst,
        Look::RedNote),
    own(Id::Label2_1, "Label2", 1, Kind::Label, Id::Frame2, {720, 2160, 4215, 255},
        "Access rights need an administrator.", Look::RedNote),
    // The master of the two store boxes: it ticks and unticks both.
    own(Id::Check3, "Check3", -1, Kind::CheckBox, Id::Frame2, {720, 2400, 3375, 375},
        "Delete VESK Settings from Virtual Store"),
    box(&CleaningOptions::store_program_files, "Check4", -1, Id::Frame2, {1200, 2880, 1815, 195},
        "Program Files"),
    box(&CleaningOptions::store_program_data, "Check5", -1, Id::Frame2, {1200, 3360, 1935, 195},
        "Program Data"),
    // Ours: beside the action button, level with its middle, shown only while the policy greys a
    // box of the panel.
    own(Id::Label4, "Label4", -1, Kind::Label, Id::Frame2, {720, 3840, 3000, 255},
        kSetByOrganisation, Look::Hidden),

    // The standard panel.
    own(Id::Command1, "Command1", -1, Kind::Button, Id::Frame1, {3840, 3720, 975, 495}, "Go!"),
    box(&CleaningOptions::registry_settings, "Check1", 0, Id::Frame1, {720, 800, 4215, 255},
        "Delete VESK Registry VB Program Settings"),
    box(&CleaningOptions::opengl_settings, "Check1", 5, Id::Frame1, {720, 3300, 3135, 255},
        "Delete VESK OpenGL Settings"),
    own(Id::Label1, "Label1", -1, Kind::Label, Id::Frame1, {720, 400, 3255, 255}, kCloseVeskFirst,
        Look::RedNote),
    own(Id::Label3, "Label3", -1, Kind::Label, Id::Frame1, {720, 3840, 3000, 255},
        kSetByOrganisation, Look::Hidden),
};

} // namespace

constinit const std::span<const StoredControl> kStoredLayout(kControls);
