// The window's stored layout as data: every control, where it lies and in what, and what it says.
// An option's box is placed here by its row's option; the window builds the box, its tab place,
// its click handler, its captions and its runs from that and the option table.
#pragma once

#include "engine/options.h"

#include <optional>
#include <span>
#include <string_view>

// The window's own controls. The box of each option comes after them, in the option table's
// order (Form1::box_of).
enum class ControlId : int {
    Frame1,
    Command1,
    Label1,
    Label3,
    Frame2,
    Command2,
    Label2_0,
    Label2_1,
    Check3,
    Label4,
    Command3,
    Command4, // "Preview..."
    Command5, // "Undo..."
    FirstOptionBox,
};

enum class ControlKind { Frame, Button, CheckBox, Label };

inline constexpr std::string_view kFormCaption = " VESK Cleaning Wizard";
inline constexpr int kClientWidthTwips = 5625;
inline constexpr int kClientHeightTwips = 5340;
// The note beside a panel's action button while the organisation forbids an option of the panel.
inline constexpr std::string_view kSetByOrganisation = "Greyed: set by your organisation";

// Twips, from the holder's top-left corner.
struct Place {
    int left, top, width, height;
};

struct StoredControl {
    ControlId id;                  // one of the window's own; FirstOptionBox for an option's box
    bool CleaningOptions::*option; // an option's box: the option of its row; else null
    std::string_view name;         // as the program names it: "Check1"
    int index;                     // member of a control array, or -1
    ControlKind kind;
    std::optional<ControlId> holder; // the frame that holds it, or the window itself
    Place place;
    std::string_view caption;
    bool red = false;    // the notes are drawn in red
    bool visible = true; // as the window opens
};

// Front to back among the controls of each holder. Tab follows each panel top to bottom: the
// standard panel with the boxes over it, then the advanced panel, then the window's own controls
// below them.
extern const std::span<const StoredControl> kStoredLayout;
