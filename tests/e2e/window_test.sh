#!/usr/bin/env bash
# The wizard's window under Wine: what a user sees at start and after the panel toggle, the
# caption rules, the keyboard, how the program ends, and the two start-up stops.
# Usage: window_test.sh CASE [DPI]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/worlds.sh"
run_under_xvfb "$@"

readonly STANDARD_BOXES="Delete Temporary VESK Files
Delete Temporary VESK Project Folders
Delete VESK Configuration Settings
Delete VESK OpenGL Settings
Delete VESK Registry VB Program Settings
Delete VESK Toolbar Settings"
readonly ADVANCED_BOXES="Delete VESK Settings from Virtual Store
Program Data
Program Files
Restore VESK Folder Access Rights"
readonly NOTE='"Please close any open VESK windows first!".'

start_on_host() {
    prepare_prefix "${1:-96}"
    set_host_key "$(make_host_folder "$CASE")"
    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
}

# Both views as a user sees them, with a screenshot of each at the prefix's DPI.
views() {
    local dpi=$1
    start_on_host "$dpi"
    eventually focused_is "Go!"
    [ "$(seen_captions checkbox)" = "$STANDARD_BOXES" ] ||
        fail "standard view shows boxes: $(seen_captions checkbox)"
    [ "$(seen_captions button)" = $'Advanced Options\nGo!\nPreview...\nUndo...' ] ||
        fail "standard view shows buttons: $(seen_captions button)"
    [ "$(seen_captions label)" = "$NOTE" ] || fail "standard view shows labels: $(seen_captions label)"
    [ "$(seen_captions frame)" = "Cleaning Options" ] || fail "Frame1 not seen"
    tick_is "Delete Temporary VESK Files" 1 && tick_is "Delete Temporary VESK Project Folders" 1 &&
        tick_is "Delete VESK Configuration Settings" 0 || fail "wrong initial ticks"
    screenshot "standard-${dpi}dpi"

    driver click "Advanced Options"
    eventually driver seen "Hide Advanced Options"
    [ "$(seen_captions checkbox)" = "$ADVANCED_BOXES" ] ||
        fail "advanced view shows boxes: $(seen_captions checkbox)"
    [ "$(seen_captions button)" = $'Done\nHide Advanced Options\nPreview...\nUndo...' ] ||
        fail "advanced view shows buttons: $(seen_captions button)"
    [ "$(seen_captions label | grep -c .)" = 2 ] || fail "advanced view shows labels: $(seen_captions label)"
    [ "$(seen_captions frame)" = "Advanced Cleaning Options" ] || fail "Frame2 not seen"
    screenshot "advanced-${dpi}dpi"

    driver click "Hide Advanced Options"
    eventually driver seen "Advanced Options"
    [ "$(seen_captions checkbox)" = "$STANDARD_BOXES" ] || fail "standard view not back"
    tick_is "Delete Temporary VESK Files" 1 && tick_is "Delete Temporary VESK Project Folders" 1 ||
        fail "the toggle changed a tick"
}

case_views_96dpi() { views 96; }
case_views_144dpi() { views 144; }

# Unticking both initial boxes turns "Go!" into "Done"; "Done" ends the program at once.
case_done_ends() {
    start_on_host
    driver click "Delete Temporary VESK Files"
    eventually tick_is "Delete Temporary VESK Files" 0
    driver seen "Go!" >/dev/null || fail "Go! gone with a box still ticked"
    driver click "Delete Temporary VESK Project Folders"
    eventually tick_is "Delete Temporary VESK Project Folders" 0
    eventually driver seen "Done"
    driver click "Delete VESK OpenGL Settings"
    eventually driver seen "Go!"
    driver click "Delete VESK OpenGL Settings"
    eventually driver seen "Done"
    driver click "Done"
    wait_wizard_end
    driver no-box >/dev/null || fail "a message box opened on Done"
}

# The close box (WM_CLOSE) ends the program without asking.
case_close_ends() {
    start_on_host
    driver close
    wait_wizard_end
}

# Presses Tab and expects the focus on each caption in turn.
tab_through() {
    local caption
    for caption in "$@"; do
        driver key tab
        eventually focused_is "$caption"
    done
}

# The keyboard alone through both panels, with key messages through the window's own queue: Tab
# in reading order past the hidden panel's controls, Space ticks, Enter presses the panel's
# action (the confirmation on the standard panel, "Done" on the advanced one).
case_keyboard() {
    local SCRATCH_BOX="$VESK_E2E_DIR/keyboard-confirmation.txt"
    start_on_host
    eventually focused_is "Go!"
    tab_through "Advanced Options" "Preview..." "Undo..." "Delete VESK Registry VB Program Settings" \
        "Delete VESK Configuration Settings" "Delete Temporary VESK Files" \
        "Delete Temporary VESK Project Folders" "Delete VESK Toolbar Settings" \
        "Delete VESK OpenGL Settings" "Go!" "Advanced Options" "Preview..." "Undo..." \
        "Delete VESK Registry VB Program Settings" "Delete VESK Configuration Settings"
    driver key space
    eventually tick_is "Delete VESK Configuration Settings" 1
    driver key enter
    read_box "$SCRATCH_BOX"
    grep -q '^Do you really want to' "$SCRATCH_BOX" || fail "Enter on a box did not press Go!"
    driver press-box no >/dev/null || fail "cannot answer No"
    eventually focused_is "Delete VESK Configuration Settings"
    tick_is "Delete VESK Configuration Settings" 1 || fail "the answer changed a tick"

    tab_through "Delete Temporary VESK Files" "Delete Temporary VESK Project Folders" \
        "Delete VESK Toolbar Settings" "Delete VESK OpenGL Settings" "Go!" "Advanced Options"
    driver key space
    eventually driver seen "Hide Advanced Options"
    [ "$(driver default-button | tr -d '\r')" = "Done" ] || fail "Done is not the default"
    tab_through "Preview..." "Undo..." "Restore VESK Folder Access Rights" \
        "Delete VESK Settings from Virtual Store" "Program Files" "Program Data" "Done" \
        "Hide Advanced Options" "Preview..." "Undo..." "Restore VESK Folder Access Rights"
    driver key enter
    wait_wizard_end
    driver no-box >/dev/null || fail "a box opened on Done"
}

# Escape closes the window as its close box does.
case_escape() {
    start_on_host
    eventually focused_is "Go!"
    driver key tab
    eventually focused_is "Advanced Options"
    driver key escape
    wait_wizard_end
    driver no-box >/dev/null || fail "Escape opened a box"
}

# What a screen reader would say for each control equals what a sighted user reads, on both
# panels, and the panel's action is the button drawn as the default.
case_accessible() {
    start_on_host
    eventually focused_is "Go!"
    local standard advanced
    standard=$(driver names | tr -d '\r' | sort)
    [ "$standard" = "$(sort <<<"button	Advanced Options
button	Go!
button	Preview...
button	Undo...
frame	Cleaning Options
label	$NOTE
$(sed 's/^/checkbox	/' <<<"$STANDARD_BOXES")")" ] || fail "standard panel's names: $standard"
    [ "$(driver default-button | tr -d '\r')" = "Go!" ] || fail "Go! is not the default"
    driver click "Advanced Options"
    eventually driver seen "Hide Advanced Options"
    advanced=$(driver names | tr -d '\r' | sort)
    [ "$advanced" = "$(sort <<<"button	Done
button	Hide Advanced Options
button	Preview...
button	Undo...
frame	Advanced Cleaning Options
label	$NOTE
label	Access rights need an administrator.
$(sed 's/^/checkbox	/' <<<"$ADVANCED_BOXES")")" ] || fail "advanced panel's names: $advanced"
}

# Pure red pixels in the window's picture.
red_pixels() {
    /usr/bin/convert "$1" -fill black +opaque 'rgb(255,0,0)' -fill white -opaque 'rgb(255,0,0)' \
        -format '%[fx:round(mean*w*h)]' info:
}

# The notes are drawn in red (Wine has no high-contrast mode to show the other colour: the
# Win32 tests hold the choice of colour).
case_red_notes() {
    start_on_host
    eventually focused_is "Go!"
    [ "$(red_pixels "$(screenshot red-notes)")" -gt 0 ] || fail "no red note"
}

# Neither a host key nor a pointer file: the program says so and ends without a window.
case_no_host() {
    prepare_prefix
    start_wizard
    [ "$(driver wait-box | tr -d '\r')" = "VESK40.DIR not found!" ] || fail "wrong message"
    driver press-box ok
    wait_wizard_end
    driver wait-window 0 >/dev/null 2>&1 && fail "the window opened"
    true
}

# A host key naming a folder that does not exist.
case_missing_folder() {
    prepare_prefix
    set_host_key "$VESK_E2E_DIR/hosts/not-there"
    start_wizard
    [ "$(driver wait-box | tr -d '\r')" = "Veskpath not found!" ] || fail "wrong message"
    driver press-box ok
    wait_wizard_end
}

# The pointer file alone leads to the host folder.
case_pointer_file() {
    prepare_prefix
    set_pointer_file "$(make_host_folder pointer_file)"
    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
    driver close
    wait_wizard_end
}

# The organisation's policy: a forbidden option's box greyed and unticked beside a note a user
# can see; under PreviewOnly, Go! says why and cleans nothing.
case_policy() {
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    set_host_key "$host"
    printf x >"$host/a.\$\$\$"
    set_policy HKLM temp REG_DWORD 0
    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
    [ "$(driver enabled "Delete Temporary VESK Files" | tr -d '\r')" = 0 ] ||
        fail "the forbidden option's box can be used"
    tick_is "Delete Temporary VESK Files" 0 || fail "the forbidden option's box is ticked"
    [ "$(driver enabled "Delete Temporary VESK Project Folders" | tr -d '\r')" = 1 ] ||
        fail "an allowed option's box is greyed"
    driver seen "Greyed: set by your organisation" || fail "no note on the standard panel"
    screenshot "policy-standard" >/dev/null
    driver click "Advanced Options"
    eventually driver seen "Hide Advanced Options"
    ! driver seen "Greyed: set by your organisation" 2>/dev/null ||
        fail "the advanced panel, where nothing is forbidden, has the note"
    driver close
    wait_wizard_end

    set_policy HKCU PreviewOnly REG_DWORD 1
    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
    driver click "Go!"
    [ "$(driver wait-box | tr -d '\r')" = "Your organisation allows only previews here: nothing \
may be cleaned or restored (PreviewOnly = 1 in HKEY_CURRENT_USER\\$POLICY_KEY)." ] ||
        fail "Go! did not say why nothing can be cleaned"
    driver press-box ok >/dev/null || fail "cannot dismiss the box"
    driver no-box >/dev/null || fail "a second box followed"
    [ -f "$host/a.\$\$\$" ] && [ -z "$(ls "$host" | grep -i '^cleaning')" ] ||
        fail "something was cleaned under PreviewOnly"
    driver close
    wait_wizard_end
}

readonly PREVIEW='Preview of the Cleaning'
readonly UNDO='Undo a Cleaning'

# The preview's rows of items ("1<TAB>path<TAB>note"), with Linux line ends.
preview_rows() {
    driver in "$PREVIEW" rows | tr -d '\r'
}

# The keyboard alone through the preview: Down to an item, Space unticks it, Tab to "Always keep
# the items I untick", Space ticks it, Enter cleans after the usual question. The unticked item
# stays, the log says it was kept, the user's keep list holds it, and everything else is gone.
case_preview_keyboard() {
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    set_host_key "$host"
    printf x >"$host/a.\$\$\$"
    printf x >"$host/b.\$\$\$"
    printf x >"$host/log.txt"
    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
    driver click "Preview..."
    driver wait-dialog "$PREVIEW" >/dev/null || fail "the preview did not open"
    local kept
    kept="$(windows_path "$host")\\b.\$\$\$"
    [ "$(preview_rows | cut -f1 | sort -u)" = 1 ] || fail "not every item ticked: $(preview_rows)"
    local row
    row=$(preview_rows | cut -f2 | grep -nxF "$kept" | cut -d: -f1)
    [ -n "$row" ] || fail "the preview does not list $kept: $(preview_rows)"
    for ((i = 1; i < row; i++)); do driver in "$PREVIEW" key down; done
    driver in "$PREVIEW" key space
    eventually grep -qxF "0	$kept	" <(preview_rows)
    [ "$(preview_rows | cut -f1 | grep -c 0)" = 1 ] || fail "more than one item unticked"
    driver in "$PREVIEW" key tab
    eventually [ "$(driver in "$PREVIEW" focused | tr -d '\r')" = "Always keep the items I untick" ]
    driver in "$PREVIEW" key space
    eventually [ "$(driver in "$PREVIEW" checked "Always keep the items I untick" | tr -d '\r')" = 1 ]
    driver in "$PREVIEW" key enter
    grep -q '^Do you really want to delele' <(driver wait-box) || fail "no usual question"
    driver press-box yes >/dev/null || fail "cannot answer Yes"
    grep -q "^$CLOSING" <(driver wait-box 60) || fail "no closing message"
    driver press-box ok >/dev/null
    [ -f "$host/b.\$\$\$" ] || fail "the unticked item was deleted"
    [ ! -e "$host/a.\$\$\$" ] && [ ! -e "$host/log.txt" ] || fail "a ticked item stayed"
    grep -qxF "$KEPT_FILE$kept (on a keep list)" <(tr -d '\r' <"$host/Cleaning1.log") ||
        fail "the log does not say it was kept: $(cat "$host/Cleaning1.log")"
    wine reg query "HKCU\\$MARKER_KEY" /v Keep | tr -d '\r' | grep -qF "$kept" ||
        fail "the keep list does not hold it"
    driver close
    wait_wizard_end
}

# "Undo..." lists the cleaning and restores its keys and files, naming the restore's log.
case_undo() {
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    set_host_key "$host"
    printf '[Window]\r\n' >"$host/Vesk30.ini"
    wine_quiet reg delete "$SETTINGS_BRANCH" /f || true
    wine_quiet reg add "$SETTINGS_BRANCH\\VeskMain" /v Window /d Main /f || fail "no key"
    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
    driver click "Delete VESK Registry VB Program Settings"
    driver click "Delete VESK Configuration Settings"
    eventually tick_is "Delete VESK Configuration Settings" 1
    driver click "Go!"
    driver wait-box >/dev/null && driver press-box yes >/dev/null || fail "no question"
    grep -q "^$CLOSING" <(driver wait-box 60) || fail "no closing message"
    driver press-box ok >/dev/null
    [ ! -e "$host/Vesk30.ini" ] || fail "the settings file was not cleaned"
    ! wine_quiet reg query "$SETTINGS_BRANCH\\VeskMain" || fail "the key was not cleaned"

    driver click "Undo..."
    driver wait-dialog "$UNDO" >/dev/null || fail "the undo did not open"
    driver in "$UNDO" rows | tr -d '\r' | grep -q '^-	1	1 key, 1 file (Vesk30.ini)$' ||
        fail "the undo lists: $(driver in "$UNDO" rows)"
    driver in "$UNDO" key enter
    local box="$VESK_E2E_DIR/undo-box.txt"
    read_box "$box" 60
    [ "$(cat "$box")" = $'Restore finished. Log file has been written to:\r\n'"$(windows_path "$host")\\Cleaning2.log" ] ||
        fail "the restore's message: $(cat "$box")"
    driver press-box ok >/dev/null
    [ "$(cat "$host/Vesk30.ini")" = $'[Window]\r' ] || fail "the settings file is not back"
    wine_quiet reg query "$SETTINGS_BRANCH\\VeskMain" /v Window || fail "the key is not back"
    driver close
    wait_wizard_end
}

CASE=${1:?usage: window_test.sh CASE}
"case_$CASE"
echo "PASS: $CASE"
