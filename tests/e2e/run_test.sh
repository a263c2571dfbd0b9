#!/usr/bin/env bash
# Both cleaning runs under Wine, from the ticks through the window to what is left on disk and
# in the registry: the confirmation and closing texts exactly, the log line by line, every
# target gone and every look-alike untouched.
# Usage: run_test.sh CASE
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/worlds.sh"
run_under_xvfb "$@"

# Ticks the box of that caption through the window, unless it is ticked already.
tick() {
    if tick_is "$1" 0; then
        driver click "$1" >/dev/null || fail "cannot click \"$1\""
    fi
    eventually tick_is "$1" 1
}

# Every box of both panels unticked and the action buttons' captions (sorted) as given.
expect_reset() {
    local expected_buttons=$1 listing
    listing=$(driver list | tr -d '\r')
    local ticked
    ticked=$(awk -F'\t' '$2 == "checkbox" && $3 != "0" { print $4 }' <<<"$listing")
    [ -z "$ticked" ] || fail "boxes still ticked after the run: $ticked"
    local buttons
    buttons=$(awk -F'\t' '$2 == "button" { print $4 }' <<<"$listing" | sort)
    [ "$buttons" = "$expected_buttons" ] ||
        fail "buttons after the run read:$(echo; echo "$buttons")$(echo; echo "expected:")$(echo; echo "$expected_buttons")"
}


readonly STANDARD_BOXES=(
    "Delete VESK Registry VB Program Settings"
    "Delete VESK Configuration Settings"
    "Delete Temporary VESK Files"
    "Delete Temporary VESK Project Folders"
    "Delete VESK Toolbar Settings"
    "Delete VESK OpenGL Settings"
)

# Leftovers of every kind, and look-alikes of each that must stay.
case_standard() {
    start_scratch
    prepare_prefix
    local host vesk_path windows_dir
    host=$(make_host_folder "$CASE")
    vesk_path=$(windows_path "$host")
    windows_dir="$WINEPREFIX/drive_c/windows"

    put_lookalikes "$host"
    manifest "$host" >"$SCRATCH/files-before"

    put_targets "$host" "$windows_dir"
    import_lookalike_keys
    export_branch "$SCRATCH/registry-before"
    grep -q 'Settings\\Other\\Inner\]' "$SCRATCH/registry-before" ||
        fail "the look-alike keys were not written"
    import_target_keys

    set_host_key "$host"
    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
    local box
    for box in "${STANDARD_BOXES[@]}"; do
        tick "$box"
    done
    eventually driver seen "Go!"
    driver click "Go!" >/dev/null || fail "cannot click Go!"

    read_box "$SCRATCH/confirmation"
    box_screenshot run-standard-confirmation >/dev/null
    expect_text confirmation "Do you really want to delele: ${CRLF}${CRLF}\
- VESK Registry Settings${CRLF}- VESK Configuration Settings${CRLF}- Temporary VESK Files${CRLF}\
- Temporary VESK Project Folders${CRLF}- VESK Toolbar Settings${CRLF}- VESK OpenGL Settings${CRLF}" \
        "$SCRATCH/confirmation"
    driver press-box yes >/dev/null || fail "cannot answer Yes"

    read_box "$SCRATCH/closing" 60
    expect_text closing "$CLOSING$CRLF$vesk_path\\Cleaning1.log$CRLF$CRLF$REFUSALS_NOTE" \
        "$SCRATCH/closing"
    driver press-box ok >/dev/null || fail "cannot dismiss the closing message"

    expect_log "$host/Cleaning1.log" <<EOF
= $DELETED_KEY$KEY_PATH\\VeskImex
= $DELETED_KEY$KEY_PATH\\VeskMain
= $DELETED_KEY$KEY_PATH\\VESK
~ $DELETED_KEY$KEY_PATH\\VESK 4.0
~ $DELETED_KEY$KEY_PATH\\vesk 4.4 Beta
= $DELETED_FILE$vesk_path\\Qult30.ini
= $DELETED_FILE$vesk_path\\VeskMain.ini
= $NOT_DELETED_FILE$vesk_path\\VeskTree.ini ($ACCESS_DENIED)
= $DELETED_FILE$vesk_path\\Pomb30.ini
= $DELETED_FILE$vesk_path\\proj.\$\$\$
~ $DELETED_FILE$vesk_path\\log.txt
~ $DELETED_FILE$vesk_path\\LOG2.TXT
~ $DELETED_FILE$vesk_path\\logfile.txt
~ $DELETED_DIR$vesk_path\\a.vk\$
~ $DELETED_DIR$vesk_path\\B Project.vk\$
= $DELETED_FILE$vesk_path\\Main.tlb
= ${DELETED_FILE}C:\\windows\\veskhogl.ini
= ${BACKED_UP}$vesk_path\\Cleaning1.backup
EOF

    eventually driver seen "Done"
    expect_reset $'Advanced Options\nDone\nDone\nPreview...\nUndo...'

    # Every key and settings file deleted was backed up first; the read-only one was backed up
    # too, though its deletion was refused.
    [ "$(cd "$host/Cleaning1.backup" && ls | sort)" = \
        $'Pomb30.ini\nQult30.ini\nVeskMain.ini\nVeskTree.ini\ncontents.sha256\nregistry.reg\nveskhogl.ini' ] ||
        fail "the backup holds: $(ls "$host/Cleaning1.backup")"
    manifest "$host" | grep -Ev ' \./Cleaning1\.(log|backup)( |/|$)' >"$SCRATCH/files-after"
    diff -u "$SCRATCH/files-before" "$SCRATCH/files-after" >&2 ||
        fail "the host folder is not exactly its look-alikes (- expected, + found)"
    [ ! -e "$windows_dir/veskhogl.ini" ] || fail "veskhogl.ini is still in the Windows directory"
    wine cmd /c attrib "$(windows_path "$host/Vesk30.ini")" 2>/dev/null | tr -d '\r' |
        grep -q '^ *A* *H' || fail "the hidden settings file lost its attribute"

    export_branch "$SCRATCH/registry-after"
    diff -u "$SCRATCH/registry-before" "$SCRATCH/registry-after" >&2 ||
        fail "the settings branch is not exactly its look-alike keys (- expected, + found)"

    driver click "Done" >/dev/null || fail "cannot click Done"
    wait_wizard_end
}

case_advanced() {
    start_scratch
    prepare_prefix
    local base app_data aux_data
    base=$(make_host_folder "$CASE")
    app_data="$base/AppData"
    aux_data="$base/aux data"
    # What a standard run would remove: the advanced run must leave it.
    put "$app_data/proj.\$\$\$"
    put "$app_data/VeskMain.ini"
    put "$aux_data/keep.txt"
    # A link in a data folder: what it leads to keeps its rights.
    put "$base/elsewhere/private.txt"
    ln -s ../elsewhere "$app_data/linked"
    manifest "$base" >"$SCRATCH/data-before"

    local local_app_data local_unix
    local_app_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
    local_unix=$(winepath -u "$local_app_data" 2>/dev/null) || fail "no local application data"
    [ -d "$local_unix" ] || fail "no folder for $local_app_data"
    local virtual_store="$local_unix/VirtualStore"
    rm -rf "$virtual_store/ProgramData" "$virtual_store/Program Files/TOLM"
    local mirror="$virtual_store/Program Files/TOLM/VESK"
    local store="$mirror/Veskpath"
    put "$store/VeskMain.ini"
    put "$store/Pomb30.ini"
    put "$store/Toolbars/Main.tlb"
    put "$store/Toolbars/Old/Setup.tlb"
    put "$store/Projects/a.vk\$/notes.txt"
    put "$store/Hidden.ini"
    hidden_attribute "$store/Hidden.ini"
    mkdir -p "$store/Empty"
    # Beside the store, not in it.
    put "$mirror/bin/keep.ini"
    put "$mirror/Veskpath2/keep.ini"
    (cd "$store" && find . -type d | sort) >"$SCRATCH/store-folders"
    [ -n "$(find "$store" -type f)" ] || fail "the store holds no files"
    manifest "$mirror" | grep -Ev ' \./Veskpath(/|$)' >"$SCRATCH/mirror-before"

    local app_path aux_path pf_store pd_store
    app_path=$(windows_path "$app_data")
    aux_path=$(windows_path "$aux_data")
    pf_store="$local_app_data\\VirtualStore\\Program Files\\TOLM\\VESK\\Veskpath"
    pd_store="$local_app_data\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4"
    set_host_key "$app_data"
    wine_quiet reg add 'HKLM\Software\TOLM\VESK 4.0' /v "AuxData Path" /d "$aux_path" /f /reg:32 ||
        fail "cannot write the host key"
    wine_quiet reg add 'HKLM\Software\TOLM\VESK 4.0' /v "Program Path" \
        /d 'C:\Program Files\TOLM\VESK\bin' /f /reg:32 || fail "cannot write the host key"

    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
    driver click "Advanced Options" >/dev/null || fail "cannot open the advanced panel"
    eventually driver seen "Hide Advanced Options"
    tick "Restore VESK Folder Access Rights"
    tick "Delete VESK Settings from Virtual Store"
    eventually tick_is "Program Files" 1
    eventually tick_is "Program Data" 1
    # The standard panel's Go! lies hidden under this panel; only the seen one may be clicked.
    eventually driver seen "Go!"
    driver click "Go!" >/dev/null || fail "cannot click Go!"

    read_box "$SCRATCH/confirmation"
    box_screenshot run-advanced-confirmation >/dev/null
    expect_text confirmation "${CRLF}\
Do you really want to restore the VESK folder access rights for these folders ?${CRLF}\
${app_path}${CRLF}${aux_path}${CRLF}\
${CRLF}and${CRLF}\
${CRLF}Do you really want to clean the Virtual Store for this folder?${CRLF}${pf_store}${CRLF}\
${CRLF}${pd_store}${CRLF}This Virtual Store does not exist, no action will be taken.${CRLF}" \
        "$SCRATCH/confirmation"
    driver press-box yes >/dev/null || fail "cannot answer Yes"

    read_box "$SCRATCH/closing" 60
    expect_text closing "$CLOSING$CRLF$app_path\\Cleaning1.log" "$SCRATCH/closing"
    driver press-box ok >/dev/null || fail "cannot dismiss the closing message"

    expect_log "$app_data/Cleaning1.log" <<EOF
= $PERMISSIONS_SET$app_path
= $PERMISSIONS_SET$aux_path
= $PATH_CLEANED$pf_store
= $pd_store not found!
EOF

    eventually driver seen "Done"
    expect_reset $'Done\nDone\nHide Advanced Options\nPreview...\nUndo...'

    local left
    left=$(find "$store" -type f)
    [ -z "$left" ] || fail "files left in the store:$(echo; echo "$left")"
    diff -u "$SCRATCH/store-folders" <(cd "$store" && find . -type d | sort) >&2 ||
        fail "the store's folders changed (- expected, + found)"
    diff -u "$SCRATCH/mirror-before" <(manifest "$mirror" | grep -Ev ' \./Veskpath(/|$)') >&2 ||
        fail "what lies beside the store changed (- expected, + found)"
    [ ! -e "$virtual_store/ProgramData" ] || fail "the program-data store was created"
    # Under Wine every program runs elevated, so the wizard grants Users full control itself,
    # entry by entry through its handles; Wine shows the grant as the Unix group's rights. Nothing
    # else changed, and nothing behind the link.
    sed -E '/ \.\/(AppData|aux data)/ s/^([df]) [0-9]+ /\1 775 /' \
        "$SCRATCH/data-before" | sort >"$SCRATCH/data-expected"
    diff -u "$SCRATCH/data-expected" <(manifest "$base" | grep -v ' ./AppData/Cleaning1.log ') >&2 ||
        fail "the data folders changed otherwise than by the grant (- expected, + found)"

    driver click "Done" >/dev/null || fail "cannot click Done"
    wait_wizard_end
}

CASE=${1:?usage: run_test.sh CASE}
"case_$CASE"
echo "PASS: $CASE"
