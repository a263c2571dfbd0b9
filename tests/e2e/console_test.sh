#!/usr/bin/env bash
# The console program under Wine, without a display: a preview that changes nothing followed by
# a cleaning that does exactly what it listed, the text and JSON it prints, every exit code it
# can reach here, and the lock it shares with the window (that case with a display).
# Usage: console_test.sh CASE
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/worlds.sh"
: "${VESK_CLEAN:?VESK_CLEAN must name VeskClean.exe}"
: "${VESK_LOCK_HOLDER:?VESK_LOCK_HOLDER must name the lock holder}"

CASE=${1:?usage: console_test.sh CASE}
[ "$CASE" != lock ] || run_under_xvfb "$@"

# Runs the console program with the arguments given; its standard output, standard error and
# exit code land in $SCRATCH/NAME.out, .err and .code. Output goes to files, never into $(...):
# a Wine helper process can outlive the program and hold a captured pipe open.
clean() {
    local name=$1
    shift
    local code=0
    wine "$VESK_CLEAN" "$@" >"$SCRATCH/$name.out" 2>"$SCRATCH/$name.err" || code=$?
    echo "$code" >"$SCRATCH/$name.code"
}

expect_code() {
    local name=$1 expected=$2
    local code
    code=$(cat "$SCRATCH/$name.code")
    [ "$code" = "$expected" ] || {
        echo "standard output:" >&2
        cat "$SCRATCH/$name.out" >&2
        echo "standard error:" >&2
        cat "$SCRATCH/$name.err" >&2
        fail "$name: exit code $code, expected $expected"
    }
}

# Standard output as lines without their CR LF.
out_lines() {
    sed 's/\r$//' "$SCRATCH/$1.out"
}

err_lines() {
    sed 's/\r$//' "$SCRATCH/$1.err"
}

# The host key with all three values, and a store of each kind with files in it.
setup_installation() {
    local host=$1 aux=$2
    set_host_key "$host"
    wine_quiet reg add 'HKLM\Software\TOLM\VESK 4.0' /v "AuxData Path" /d "$(windows_path "$aux")" \
        /f /reg:32 || fail "cannot write the host key"
    wine_quiet reg add 'HKLM\Software\TOLM\VESK 4.0' /v "Program Path" \
        /d 'C:\Program Files\TOLM\VESK\bin' /f /reg:32 || fail "cannot write the host key"
    local local_app_data
    local_app_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
    STORES=$(winepath -u "$local_app_data\\VirtualStore" 2>/dev/null) || fail "no virtual store"
    rm -rf "$STORES/ProgramData" "$STORES/Program Files/TOLM"
    put "$STORES/Program Files/TOLM/VESK/Veskpath/VeskMain.ini"
    put "$STORES/Program Files/TOLM/VESK/Veskpath/Toolbars/Main.tlb"
    put "$STORES/ProgramData/TOLM/VESK 4.4/Maps/World.ini"
}

# Everything the programs could touch, in one file: host, data folders, stores, settings branch,
# the OpenGL settings file.
snapshot() {
    local out=$1 host=$2 aux=$3
    {
        manifest "$host"
        manifest "$aux"
        manifest "$STORES"
        export_branch "$SCRATCH/branch"
        cat "$SCRATCH/branch"
        ls -l "$WINEPREFIX/drive_c/windows/veskhogl.ini" 2>&1 | cut -d' ' -f5-
    } >"$out"
}

# The items of a JSON output as "outcome<TAB>path", in order; fails on any line that is not a
# JSON object, and checks the summary's exit code.
json_items() {
    local name=$1 exit_code=$2
    python3 - "$SCRATCH/$name.out" "$exit_code" <<'EOF'
import json, sys
path, exit_code = sys.argv[1], int(sys.argv[2])
with open(path, encoding="utf-8") as stream:
    objects = [json.loads(line) for line in stream]
summary = objects.pop()
assert summary["type"] == "summary", summary
assert summary["exit_code"] == exit_code, summary
for item in objects:
    if item["type"] == "item":
        print(f'{item["outcome"]}\t{item["path"]}')
EOF
}

case_preview_then_clean() {
    start_scratch
    prepare_prefix
    local host aux
    host=$(make_host_folder "$CASE")
    aux="$host-aux"
    rm -rf "$aux"
    put "$aux/keep.txt"
    put_lookalikes "$host"
    manifest "$host" >"$SCRATCH/lookalikes"
    put_targets "$host" "$WINEPREFIX/drive_c/windows"
    put "$host/Данные.\$\$\$"
    import_lookalike_keys
    export_branch "$SCRATCH/lookalike-keys"
    import_target_keys
    setup_installation "$host" "$aux"
    snapshot "$SCRATCH/before" "$host" "$aux"

    clean preview-text /preview /all
    expect_code preview-text 0
    clean preview /PREVIEW -all /json
    expect_code preview 0
    snapshot "$SCRATCH/after-preview" "$host" "$aux"
    diff -u "$SCRATCH/before" "$SCRATCH/after-preview" >&2 || fail "the preview changed something"
    [ -z "$(find "$host" -name 'Cleaning*.log')" ] || fail "the preview made a log"

    # Every text line but the last says what would be done.
    local bad
    bad=$(out_lines preview-text | sed '$d' | grep -Ev '^(Would delete |Would set permissions for: )' || true)
    [ -z "$bad" ] || fail "preview lines that say nothing would be done:$(echo; echo "$bad")"
    grep -qxF "Would delete $(windows_path "$host")\\Данные.\$\$\$" <(out_lines preview-text) ||
        fail "the non-ANSI name did not come out intact"
    json_items preview 0 >"$SCRATCH/previewed"
    [ "$(out_lines preview-text | sed '$d' | wc -l)" = "$(wc -l <"$SCRATCH/previewed")" ] ||
        fail "text and JSON previews list different numbers of items"

    clean cleaning /all /json
    # The read-only settings file is refused.
    expect_code cleaning 1
    json_items cleaning 1 >"$SCRATCH/cleaned"
    diff -u <(cut -f2 "$SCRATCH/previewed") <(cut -f2 "$SCRATCH/cleaned") >&2 ||
        fail "the cleaning did not handle exactly the previewed targets, in order"
    [ "$(cut -f1 "$SCRATCH/previewed" | sort -u)" = $'would delete\nwould set permissions' ] ||
        fail "unexpected preview outcomes: $(cut -f1 "$SCRATCH/previewed" | sort -u)"
    [ "$(grep -c '^refused' "$SCRATCH/cleaned")" = 1 ] &&
        grep -qxF $'refused\t'"$(windows_path "$host")\\VeskTree.ini" "$SCRATCH/cleaned" ||
        fail "not exactly the read-only settings file was refused"

    manifest "$host" | grep -Ev ' \./Cleaning1\.(log|backup)( |/|$)' >"$SCRATCH/host-after"
    # /all restores the host folder's rights too: run elevated, as everything under Wine is, the
    # program grants them itself, which Wine shows as the Unix group's rights.
    sed -E 's/^([df]) [0-9]+ /\1 775 /' "$SCRATCH/lookalikes" | sort >"$SCRATCH/lookalikes-granted"
    diff -u "$SCRATCH/lookalikes-granted" "$SCRATCH/host-after" >&2 ||
        fail "the host folder is not exactly its look-alikes (- expected, + found)"
    export_branch "$SCRATCH/branch-after"
    diff -u "$SCRATCH/lookalike-keys" "$SCRATCH/branch-after" >&2 ||
        fail "the settings branch is not exactly its look-alike keys"
    [ -z "$(find "$STORES" -type f)" ] || fail "files left in the stores"
    [ ! -e "$WINEPREFIX/drive_c/windows/veskhogl.ini" ] || fail "veskhogl.ini is still there"
}

case_standard() {
    start_scratch
    prepare_prefix
    local host vesk_path
    host=$(make_host_folder "$CASE")
    vesk_path=$(windows_path "$host")
    put "$host/a.\$\$\$"
    put "$host/log1.txt"
    put "$host/p.vk\$/Main.frm"
    put "$host/Main.tlb"
    set_host_key "$host"

    clean standard /standard
    expect_code standard 0
    [ -z "$(cat "$SCRATCH/standard.err")" ] || fail "standard error: $(cat "$SCRATCH/standard.err")"
    out_lines standard >"$SCRATCH/printed"
    [ "$(tail -n 1 "$SCRATCH/printed")" = "$CLOSING $vesk_path\\Cleaning1.log" ] ||
        fail "the last line does not name the log: $(tail -n 1 "$SCRATCH/printed")"
    diff -u <(sed '$d' "$SCRATCH/printed") <(sed 's/\r$//' "$host/Cleaning1.log") >&2 ||
        fail "the printed lines are not the log's"
    expect_log "$host/Cleaning1.log" <<EOF
~ $DELETED_FILE$vesk_path\\a.\$\$\$
~ $DELETED_FILE$vesk_path\\log1.txt
= $DELETED_DIR$vesk_path\\p.vk\$
EOF
    [ "$(ls "$host")" = $'Cleaning1.log\nMain.tlb' ] || fail "left in the host folder: $(ls "$host")"

    clean quiet /standard /quiet
    expect_code quiet 0
    [ ! -s "$SCRATCH/quiet.out" ] || fail "/quiet printed: $(cat "$SCRATCH/quiet.out")"
    [ -f "$host/Cleaning2.log" ] || fail "the quiet run wrote no log"
}

# The user's own list, the organisation's and the command line's each keep an item; the log
# says so, nothing kept is touched, and keeping is no refusal.
case_keep() {
    start_scratch
    prepare_prefix
    local host vesk_path
    host=$(make_host_folder "$CASE")
    vesk_path=$(windows_path "$host")
    put "$host/a.\$\$\$"
    put "$host/log1.txt"
    put "$host/p.vk\$/Deep/Main.frm"
    put "$host/q.vk\$/Old.frm"
    set_host_key "$host"
    wine_quiet reg add "HKCU\\$MARKER_KEY" /v Keep /t REG_MULTI_SZ /d '*\LOG1.TXT\0?:\nowhere' /f ||
        fail "cannot write the user's keep list"
    set_policy HKLM Keep REG_MULTI_SZ '*\a.$$$'

    clean keep /standard '/keep:*\Deep\Main.frm'
    expect_code keep 0
    expect_log "$host/Cleaning1.log" <<EOF
~ $KEPT_FILE$vesk_path\\a.\$\$\$ (on a keep list)
~ $KEPT_FILE$vesk_path\\log1.txt (on a keep list)
~ $KEPT_DIR$vesk_path\\p.vk\$ (on a keep list)
~ $DELETED_DIR$vesk_path\\q.vk\$
EOF
    [ -f "$host/a.\$\$\$" ] && [ -f "$host/log1.txt" ] && [ -f "$host/p.vk\$/Deep/Main.frm" ] ||
        fail "a kept item is gone: $(ls -R "$host")"
    [ ! -e "$host/q.vk\$" ] || fail "the project folder nobody kept is still there"
}

# A plan written by a preview, a file written to since, and the plan applied with its digest:
# only what it lists goes, the changed file stays, and a wrong digest does nothing.
case_plan() {
    start_scratch
    prepare_prefix
    local host vesk_path plan
    host=$(make_host_folder "$CASE")
    vesk_path=$(windows_path "$host")
    put "$host/a.\$\$\$"
    put "$host/b.\$\$\$"
    set_host_key "$host"
    plan="$SCRATCH/vesk.plan"
    rm -f "$plan"

    clean preview /preview /temp "/plan:$(windows_path "$plan")"
    expect_code preview 0
    local digest
    digest=$(out_lines preview | sed -n 's/^Its SHA-256: //p')
    [ "${#digest}" = 64 ] || fail "no digest printed: $(out_lines preview)"
    touch -d '2001-01-01' "$host/b.\$\$\$"
    put "$host/new.\$\$\$"

    clean wrong "/apply:$(windows_path "$plan")" "/expect:$(printf '%064d' 0)"
    expect_code wrong 4
    [ -f "$host/a.\$\$\$" ] || fail "a refused plan deleted something"

    clean apply "/apply:$(windows_path "$plan")" "/expect:$digest"
    expect_code apply 0
    expect_log "$host/Cleaning1.log" <<EOF
~ $DELETED_FILE$vesk_path\\a.\$\$\$
~ ${KEPT_FILE}$vesk_path\\b.\$\$\$ (changed since the preview)
~ ${KEPT_FILE}$vesk_path\\new.\$\$\$ (not in the plan)
EOF
    [ ! -e "$host/a.\$\$\$" ] && [ -f "$host/b.\$\$\$" ] && [ -f "$host/new.\$\$\$" ] ||
        fail "the plan did not take exactly its unchanged items: $(ls "$host")"
}

case_exit_codes() {
    start_scratch
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")

    clean help /?
    expect_code help 0
    grep -q '^VeskClean \[/preview\] OPTION\.\.\. \[/keep:PATTERN\]\.\.\. \[/allusers\] \[/json\] \[/quiet\]' <(out_lines help) ||
        fail "/? printed no usage"
    # The fault and where to learn more, in lines that a default console window keeps in sight.
    clean wrong /prevew /temp
    expect_code wrong 4
    clean nothing /preview /json
    expect_code nothing 4
    [ ! -s "$SCRATCH/wrong.out" ] && [ "$(err_lines wrong)" = 'VeskClean: unknown switch: "/prevew"
VeskClean /? tells how to call it.' ] && [ "$(err_lines nothing | wc -l)" = 2 ] &&
        grep -q 'no option given' "$SCRATCH/nothing.err" ||
        fail "usage errors not in two lines on standard error: $(cat "$SCRATCH/wrong.err")"

    clean no-restore-number /restore
    expect_code no-restore-number 4
    grep -q '"/restore" names no cleaning: write /restore:N, where N is the number of the cleaning log' \
        "$SCRATCH/no-restore-number.err" || fail "$(cat "$SCRATCH/no-restore-number.err")"

    # The window's texts, then what was looked at, as the real registry and Windows folder give it.
    local key_value='"AppData Path" of HKEY_LOCAL_MACHINE\SOFTWARE\TOLM\VESK 4.0 (32-bit view)'
    clean no-pointer /standard
    expect_code no-pointer 2
    [ "$(err_lines no-pointer)" = "VESK40.DIR not found!
Looked for the value $key_value and the file C:\windows\VESK40.DIR; neither is there." ] ||
        fail "$(cat "$SCRATCH/no-pointer.err")"
    set_host_key "$host-gone"
    clean gone /standard /json
    expect_code gone 2
    [ "$(err_lines gone)" = "Veskpath not found!
Looked for the folder \"$(windows_path "$host-gone")\", named by the value $key_value." ] ||
        fail "$(cat "$SCRATCH/gone.err")"
    json_items gone 2 >/dev/null

    # A folder that takes no new file (Wine runs as root: only the kernel's folders refuse).
    wine_quiet reg add 'HKLM\Software\TOLM\VESK 4.0' /v "AppData Path" /d 'Z:\sys\kernel' /f \
        /reg:32 || fail "cannot write the host key"
    clean no-log /all /json
    expect_code no-log 3
    grep -q '^No cleaning log could be created in: Z:\\sys\\kernel' <(err_lines no-log) ||
        fail "$(cat "$SCRATCH/no-log.err")"
    json_items no-log 3 >/dev/null

    # Exit code 5 needs the system account, which Wine has not: the unit tests reach it.
}

# Keys with every type of value, as the suite or anything else may have left them. A REG_SZ
# without its terminator, empty data and an unknown type can only be imported as hex lists.
import_every_kind_of_value() {
    import_unicode_registry every-kind <<EOF
Windows Registry Editor Version 5.00

[$KEY_PATH\\VeskMain]
@="default"
"Window"="Main \"quoted\" C:\\\\Vesk"
"Данные ☃"="Ωμέγα"
"Unterminated"=hex(1):61,00,62,00
"Empty string"=hex(1):
"Expand"=hex(2):25,00,41,00,50,00,50,00,44,00,41,00,54,00,41,00,25,00,00,00
"Multi"=hex(7):61,00,00,00,62,00,00,00,00,00
"Size"=dword:00000010
"Quad"=hex(b):01,02,03,04,05,06,07,08
"Long"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\
  18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f
"Nothing"=hex(0):
"Empty binary"=hex:
"Odd"=hex(1234):56,61,6c

[$KEY_PATH\\VeskMain\\Toolbars\\Ωμέγα]
"Back\\\\slash"=dword:00000001

[$KEY_PATH\\vesk 4.4 Beta]
"Path"="4.4"
EOF
}

# Backs up, cleans and restores; the branch and the host folder come back byte for byte.
case_backup_round_trip() {
    start_scratch
    prepare_prefix
    local host windows_dir
    host=$(make_host_folder "$CASE")
    windows_dir="$WINEPREFIX/drive_c/windows"
    put "$host/Vesk30.ini"
    printf 'Ωμέγα=1\r\n' >"$host/VeskMain.ini"
    put "$host/VeskFont.ini"
    put "$host/Pomb30.ini"
    hidden_attribute "$host/Pomb30.ini" # hidden: never deleted, so never backed up
    put "$windows_dir/veskhogl.ini"
    import_lookalike_keys
    import_every_kind_of_value
    set_host_key "$host"
    export_branch "$SCRATCH/branch-before"
    manifest "$host" >"$SCRATCH/host-before"
    cp "$windows_dir/veskhogl.ini" "$SCRATCH/opengl-before"

    clean cleaning /registry /settings /opengl
    expect_code cleaning 0
    [ "$(out_lines cleaning | tail -n 2 | head -n 1)" = \
        "$BACKED_UP$(windows_path "$host")\\Cleaning1.backup" ] ||
        fail "the log does not name the backup: $(out_lines cleaning | tail -n 2)"
    [ "$(cd "$host/Cleaning1.backup" && ls | sort)" = \
        $'Vesk30.ini\nVeskFont.ini\nVeskMain.ini\ncontents.sha256\nregistry.reg\nveskhogl.ini' ] ||
        fail "the backup holds: $(ls "$host/Cleaning1.backup")"
    [ ! -e "$windows_dir/veskhogl.ini" ] && [ ! -e "$host/Vesk30.ini" ] || fail "nothing was cleaned"

    local cleaning_time
    cleaning_time=$(marker_value LastCleaningTime)
    clean restore /restore:1
    expect_code restore 0
    # A restore's marker is its own: a rule for "cleaned" must not be met by it.
    [ "$(marker_value LastRestoreExitCode)" = 0x0 ] &&
        [ "$(marker_value LastRestoreLog)" = "$(windows_path "$host")\\Cleaning2.log" ] &&
        [[ "$(marker_value LastRestoreTime)" =~ ^20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9]Z$ ]] &&
        [ "$(marker_value LastCleaningLog)" = "$(windows_path "$host")\\Cleaning1.log" ] &&
        [ "$(marker_value LastCleaningTime)" = "$cleaning_time" ] ||
        fail "the marker after the restore: $(wine reg query "HKCU\\$MARKER_KEY" 2>&1)"
    export_branch "$SCRATCH/branch-after"
    cmp -s "$SCRATCH/branch-before" "$SCRATCH/branch-after" || {
        diff -u "$SCRATCH/branch-before" "$SCRATCH/branch-after" >&2
        fail "the branch did not come back exactly"
    }
    manifest "$host" | grep -Ev ' \./Cleaning[12]\.(log|backup)( |/|$)' >"$SCRATCH/host-after"
    diff -u "$SCRATCH/host-before" "$SCRATCH/host-after" >&2 ||
        fail "the host folder did not come back"
    cmp -s "$SCRATCH/opengl-before" "$windows_dir/veskhogl.ini" ||
        fail "veskhogl.ini did not come back"
    grep -qxF "Restored Key: $KEY_PATH\\VeskMain" <(sed 's/\r$//' "$host/Cleaning2.log") ||
        fail "the restore's log: $(cat "$host/Cleaning2.log")"

    clean again /restore:1
    expect_code again 1
    grep -q "^Not restored Key: .*VeskMain (it exists again)$" <(out_lines again) ||
        fail "what exists again was not reported: $(cat "$SCRATCH/again.out")"
}

# The backup of one key is what the system's own export of it writes, byte for byte.
case_backup_like_reg_export() {
    start_scratch
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    wine_quiet reg delete "$SETTINGS_BRANCH" /f || true
    import_unicode_registry one-key <<EOF
Windows Registry Editor Version 5.00

[$KEY_PATH\\VeskMain]
@="default"
"Window"="Main \"quoted\" C:\\\\Vesk"
"Данные ☃"="Ωμέγα"
"Expand"=hex(2):25,00,41,00,00,00
"Multi"=hex(7):61,00,00,00,62,00,00,00,00,00
"Size"=dword:00000010
"Quad"=hex(b):01,02,03,04,05,06,07,08
"Long"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\
  18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,30,31,\\
  32,33,34,35,36,37,38,39,3a,3b,3c,3d,3e,3f
"Nothing"=hex(0):
"Odd"=hex(1234):56,61,6c

[$KEY_PATH\\VeskMain\\Sub]
"Inner"="1"
EOF
    wine_quiet reg export "$KEY_PATH\\VeskMain" "$(windows_path "$SCRATCH/exported.reg")" ||
        fail "reg export failed"
    set_host_key "$host"
    clean cleaning /registry
    expect_code cleaning 0
    cmp "$SCRATCH/exported.reg" "$host/Cleaning1.backup/registry.reg" >&2 || {
        iconv -f UTF-16 -t UTF-8 "$SCRATCH/exported.reg" | cat -A | sed 's/^/    reg export | /' >&2
        iconv -f UTF-16 -t UTF-8 "$host/Cleaning1.backup/registry.reg" | cat -A |
            sed 's/^/    ours       | /' >&2
        fail "our backup of one key differs from reg export's"
    }
}

# A backup folder that cannot be made: nothing it would have covered is deleted.
case_backup_refused() {
    start_scratch
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    put "$host/Cleaning1.backup" # a file where the folder would go
    put "$host/Vesk30.ini"
    put "$host/a.\$\$\$"
    import_lookalike_keys
    import_every_kind_of_value
    export_branch "$SCRATCH/branch-before"
    set_host_key "$host"

    clean cleaning /registry /settings /temp
    expect_code cleaning 1
    export_branch "$SCRATCH/branch-after"
    cmp -s "$SCRATCH/branch-before" "$SCRATCH/branch-after" || fail "a key went without its backup"
    [ -f "$host/Vesk30.ini" ] || fail "a settings file went without its backup"
    [ ! -e "$host/a.\$\$\$" ] || fail "the temporary file, which needs no backup, stayed"
    [ "$(grep -c '^Could not back up ' "$host/Cleaning1.log")" = 3 ] ||
        fail "not every key and settings file was refused: $(cat "$host/Cleaning1.log")"
    ! grep -q "^$BACKED_UP" "$host/Cleaning1.log" || fail "the log names a backup"
}

# Starts the lock holder; returns once it holds the lock.
# A disk that fills up during the backup, on a small file system of its own: what did not fit
# is taken out again and its item stays; the restore brings back what was whole.
case_backup_full_disk() {
    start_scratch
    local host
    host=$(make_host_folder "$CASE")
    mount -t tmpfs -o size=128k vesk-full-disk "$host" 2>/dev/null || {
        echo "SKIP: mounting a small file system needs root"
        exit 77
    }
    prepare_prefix
    # Expanded now: the trap runs after this function's variables are gone.
    trap "wineserver -k 2>/dev/null || true; umount -l '$host' 2>/dev/null || true" EXIT
    wine_quiet reg delete "$SETTINGS_BRANCH" /f || true
    head -c 70000 /dev/urandom >"$host/Vesk30.ini"
    local big
    big=$(head -c 30000 /dev/urandom | od -An -v -tx1 | tr -d ' \n' | sed 's/../&,/g; s/,$//')
    import_registry full-disk <<EOF
REGEDIT4

[$KEY_PATH\VeskTorp]
"Small"="kept"

[$KEY_PATH\VeskMain]
"Big"=hex:$big
EOF
    set_host_key "$host"

    clean cleaning /registry /settings
    expect_code cleaning 1
    local log
    log=$(sed 's/\r$//' "$host/Cleaning1.log")
    grep -qxF "Deleted Key:  $KEY_PATH\\VeskTorp" <<<"$log" &&
        grep -qF "$KEY_PATH\\VeskMain (" <<<"$log" &&
        grep -qF "$(windows_path "$host")\\Vesk30.ini (" <<<"$log" &&
        [ "$(grep -c '^Could not back up ' <<<"$log")" = 2 ] &&
        grep -q "^$BACKED_UP" <<<"$log" || fail "the log: $log"
    [ "$(cd "$host/Cleaning1.backup" && ls)" = $'contents.sha256\nregistry.reg' ] ||
        fail "something cut short is left in the backup: $(ls -l "$host/Cleaning1.backup")"
    [ -f "$host/Vesk30.ini" ] || fail "a settings file went without its backup"
    # "reg query" fails on a key with a value this large; its export does not.
    export_branch "$SCRATCH/branch-after"
    grep -qxF "[$KEY_PATH\VeskMain]" <(sed 's/\r$//' "$SCRATCH/branch-after") ||
        fail "a key went without its backup"

    clean restore /restore:1
    expect_code restore 0
    wine_quiet reg query "$SETTINGS_BRANCH\VeskTorp" /v Small || fail "the whole key did not come back"
}

# Ctrl+C, which Wine hands to the program as CTRL_C_EVENT when its process gets SIGINT: the run
# ends after the item in hand with the stop line last, every file deleted is logged and every
# file logged is gone, the lock is let go (a second run cleans the rest), and the code is 7.
case_ctrl_c() {
    start_scratch
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    (cd "$host" && seq -f 't%05g.$$$' 0 29999 | xargs touch)
    set_host_key "$host"

    wine "$VESK_CLEAN" /temp >"$SCRATCH/stopped.out" 2>"$SCRATCH/stopped.err" &
    local pid=$! code=0 tries=600
    until grep -q "^$DELETED_FILE" "$host/Cleaning1.log" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "the run never logged a deletion"
        sleep 0.1
    done
    kill -INT "$pid"
    wait "$pid" || code=$?
    echo "$code" >"$SCRATCH/stopped.code"
    expect_code stopped 7

    local log=$host/Cleaning1.log
    [ "$(sed 's/\r$//' "$log" | tail -n 1)" = "Cleaning stopped by the user." ] ||
        fail "the log's last line: $(tail -n 1 "$log")"
    sed 's/\r$//' "$log" | sed -n "s/^$DELETED_FILE.*\\\\//p" | sort >"$SCRATCH/logged"
    seq -f 't%05g.$$$' 0 29999 | sort >"$SCRATCH/all"
    (cd "$host" && ls | grep '^t.*\.\$\$\$$' | sort) >"$SCRATCH/left"
    comm -23 "$SCRATCH/all" "$SCRATCH/left" >"$SCRATCH/gone"
    [ -s "$SCRATCH/logged" ] && [ -s "$SCRATCH/left" ] ||
        fail "the stop did not come in the middle: $(wc -l <"$SCRATCH/logged") logged"
    diff -u "$SCRATCH/gone" "$SCRATCH/logged" >&2 || fail "the files gone are not the files logged"
    # Standard output, written in batches to a file, loses none of the lines the log held by
    # then, but for the line in hand when the program ended (the log takes each line first).
    sed 's/\r$//' "$log" | sed '$d' >"$SCRATCH/log-lines"
    diff -u "$SCRATCH/log-lines" <(out_lines stopped | head -n "$(wc -l <"$SCRATCH/log-lines")") >&2 ||
        fail "standard output lacks lines of the log (- logged, + printed)"

    clean again /temp
    expect_code again 0
    [ -z "$(cd "$host" && ls | grep '^t')" ] || fail "the second run left files behind"
}

# A second user, logged off: a profile folder listed in ProfileList, with a hive of its own
# written by RegSaveKeyW from a scratch key, and a virtual store of its own.
readonly SECOND_SID=S-1-5-21-0-0-0-1002
readonly PROFILE_LIST='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList'
readonly SECOND_KEY="HKEY_USERS\\$SECOND_SID\\Software\\VB and VBA Program Settings\\VESK 4.1"
add_second_profile() {
    local profile="$WINEPREFIX/drive_c/users/second"
    rm -rf "$profile"
    mkdir -p "$profile"
    wine_quiet reg add "$PROFILE_LIST\\$SECOND_SID" /v ProfileImagePath /t REG_EXPAND_SZ \
        /d '%SystemDrive%\users\second' /f || fail "cannot list the second profile"
    wine_quiet reg delete 'HKCU\Software\VeskSecondHive' /f || true
    import_registry second-hive <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\VeskSecondHive\\Software\\VB and VBA Program Settings\\VESK 4.1]
"Second"="user"
EOF
    driver save-hive 'Software\VeskSecondHive' 'C:\users\second\NTUSER.DAT' ||
        fail "cannot write the second user's hive"
    wine_quiet reg delete 'HKCU\Software\VeskSecondHive' /f || fail "cannot remove the scratch key"
    SECOND_STORE="$profile/AppData/Local/VirtualStore/ProgramData/TOLM/VESK 4.4"
    put "$SECOND_STORE/Maps/Second.ini"
}

# No hive of ours may stay under HKEY_USERS: it would keep its user from logging on.
expect_no_hive_left() {
    ! wine reg query HKU 2>/dev/null | grep -q "VESK Cleaning Wizard" ||
        fail "a hive of ours is still loaded: $(wine reg query HKU 2>/dev/null | grep VESK)"
}

# Every profile at once: this user's (logged on) and a second one's (logged off, its hive
# loaded for the run). Wine does not write a loaded hive back to its file, so what happened in
# the second hive is judged by the log and the backup.
case_allusers() {
    start_scratch
    prepare_prefix
    local host aux own_sid log backup
    host=$(make_host_folder "$CASE")
    aux="$host-aux"
    put "$host/a.\$\$\$"
    import_target_keys
    setup_installation "$host" "$aux"
    add_second_profile
    own_sid=$(wine reg query "$PROFILE_LIST" 2>/dev/null | tr -d '\r' |
        grep -o 'S-1-5-21-[0-9-]*$' | grep -vx "$SECOND_SID" | head -1)
    [ -n "$own_sid" ] || fail "the running user is not in ProfileList"

    clean preview /allusers /registry /store-pd /temp /preview
    expect_code preview 0
    expect_no_hive_left
    grep -qxF "Would delete $SECOND_KEY" <(out_lines preview) ||
        fail "the preview does not list the second user's key: $(cat "$SCRATCH/preview.out")"
    [ -f "$SECOND_STORE/Maps/Second.ini" ] || fail "the preview deleted something"
    clean detect /allusers /registry /store-pd /temp /detect
    expect_code detect 1
    [ "$(out_lines detect | wc -l)" = 1 ] && [ ! -s "$SCRATCH/detect.err" ] ||
        fail "detection over every profile is not one line: $(cat "$SCRATCH/detect.out")"
    expect_no_hive_left

    clean cleaning /allusers /registry /store-pd /temp
    expect_code cleaning 0
    expect_no_hive_left
    log="$host/Cleaning1.log"
    grep -qxF "Profile: C:\\users\\second ($SECOND_SID)"$'\r' "$log" ||
        fail "the second profile is not named in the log: $(cat "$log")"
    grep -qxF "$DELETED_KEY$SECOND_KEY"$'\r' "$log" || fail "the second user's key is not in the log"
    grep -qF "${DELETED_KEY}HKEY_USERS\\$own_sid\\Software\\VB and VBA Program Settings\\VESK 4.0" \
        "$log" || fail "the running user's key is not in the log"
    [ "$(grep -c "^${DELETED_FILE}.*a\\.\\\$\\\$\\\$" "$log")" = 1 ] ||
        fail "the host folder was not cleaned exactly once"
    [ -z "$(find "$SECOND_STORE" "$STORES/ProgramData" -type f)" ] || fail "files left in a store"
    # Kept where only administrators may change it, not beside the log.
    backup="$WINEPREFIX/drive_c/ProgramData/TOLM/VESK Cleaning Wizard/Backups/Cleaning1.backup"
    [ ! -e "$host/Cleaning1.backup" ] || fail "the backup lies beside the log"
    grep -qxF "${BACKED_UP}C:\ProgramData\TOLM\VESK Cleaning Wizard\Backups\Cleaning1.backup"$'\r' \
        "$log" || fail "the log does not name the backup: $(cat "$log")"
    iconv -f UTF-16 -t UTF-8 "$backup/$SECOND_SID/registry.reg" | grep -qF "[$SECOND_KEY]" ||
        fail "the second user's key was not backed up in its own folder"
    [ -f "$backup/$own_sid/registry.reg" ] || fail "the running user's keys were not backed up"
    ! wine_quiet reg query "$SETTINGS_BRANCH\\VESK 4.0" || fail "the running user's key is still there"

    # What Windows would have written back on unloading: the hive without the key.
    wine_quiet reg add 'HKCU\Software\VeskSecondHive\Software\VB and VBA Program Settings' /f &&
        rm "$WINEPREFIX/drive_c/users/second/NTUSER.DAT" &&
        driver save-hive 'Software\VeskSecondHive' 'C:\users\second\NTUSER.DAT' &&
        wine_quiet reg delete 'HKCU\Software\VeskSecondHive' /f || fail "cannot rewrite the hive"
    clean restore /restore:1 /allusers
    expect_code restore 0
    expect_no_hive_left
    grep -q "^Restored Key: *$(printf '%s' "$SECOND_KEY" | sed 's/[\\.]/\\&/g')"$'\r' \
        "$host/Cleaning2.log" || fail "the second user's key was not restored: $(cat "$host/Cleaning2.log")"
    wine_quiet reg query "$SETTINGS_BRANCH\\VESK 4.0" || fail "the running user's key did not come back"

    detection_beside_cleaning "$host"
    profile_locks_across_programs "$host" "$own_sid"
}

# A detection while a cleaning works in the second user's hive: it leaves that hive alone, says
# why it could not look into it, and the cleaning unloads its hive and ends with 0.
detection_beside_cleaning() {
    local host=$1 log="$1/Cleaning3.log" pid code=0 tries=600
    add_second_profile
    (cd "$SECOND_STORE" && mkdir Many && cd Many && seq -f 'f%05g.ini' 0 59999 | xargs touch)
    wine "$VESK_CLEAN" /allusers /registry /store-pd >"$SCRATCH/busy.out" 2>"$SCRATCH/busy.err" &
    pid=$!
    until grep -qF "Profile: C:\\users\\second" "$log" 2>/dev/null &&
        [ "$(find "$SECOND_STORE/Many" -type f | wc -l)" -lt 60000 ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "the cleaning never reached the second user's store"
        sleep 0.1
    done
    clean beside /allusers /registry /store-pd /detect
    expect_code beside 1
    grep -qF "another run of the program has it loaded as HKEY_USERS\\VESK Cleaning Wizard $SECOND_SID" \
        "$SCRATCH/beside.out" || fail "the detection did not find the cleaning's hive: $(cat "$SCRATCH/beside.out")"
    [ ! -s "$SCRATCH/beside.err" ] || fail "the detection wrote to standard error: $(cat "$SCRATCH/beside.err")"
    wait "$pid" || code=$?
    echo "$code" >"$SCRATCH/busy.code"
    expect_code busy 0
    ! grep -q "^Hive not unloaded" "$log" || fail "the cleaning's hive was taken from it: $(cat "$log")"
    [ -z "$(find "$SECOND_STORE" -type f)" ] || fail "the cleaning left files in the second store"
    expect_no_hive_left
}

# A profile's lock held by another program: a run over every profile leaves that profile alone
# and says so; the user's own run does nothing.
profile_locks_across_programs() {
    local host=$1 own_sid=$2
    add_second_profile
    hold_lock "$SECOND_SID"
    clean second-held /allusers /store-pd
    expect_code second-held 1
    grep -qxF "Profile skipped: C:\\users\\second ($SECOND_SID): another cleaning or restore of this profile is running"$'\r' \
        "$host/Cleaning4.log" || fail "the held profile was not skipped: $(cat "$host/Cleaning4.log")"
    [ -f "$SECOND_STORE/Maps/Second.ini" ] || fail "the held profile was cleaned"
    kill "$HOLDER_PID" 2>/dev/null || true
    wait "$HOLDER_PID" 2>/dev/null || true

    hold_lock "$own_sid"
    clean own-held /temp
    expect_code own-held 6
    kill "$HOLDER_PID" 2>/dev/null || true
    wait "$HOLDER_PID" 2>/dev/null || true
}

# Holds the session's cleaning lock, or with a SID that profile's, from a program of its own.
hold_lock() {
    rm -f "$SCRATCH/holder.out"
    "$VESK_SCRIPTS/wine-run" "$VESK_LOCK_HOLDER" 120 "$@" >"$SCRATCH/holder.out" 2>&1 &
    HOLDER_PID=$!
    local tries=100
    until grep -q held "$SCRATCH/holder.out" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "the lock holder never held the lock"
        sleep 0.1
    done
}

case_lock() {
    start_scratch
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    put "$host/a.\$\$\$"
    set_host_key "$host"

    # Another program holds the lock: the console program does nothing and does not wait...
    hold_lock
    local started=$SECONDS
    clean busy /standard
    expect_code busy 6
    [ $((SECONDS - started)) -lt 15 ] || fail "the console program waited for the lock"
    [ "$(err_lines busy)" = "Another cleaning is running. Try again when it has finished." ] ||
        fail "$(cat "$SCRATCH/busy.err")"
    # ...and the window warns once and does nothing either.
    start_wizard
    driver wait-window >/dev/null || fail "the window did not open"
    driver click "Go!" >/dev/null
    read_box "$SCRATCH/confirmation"
    driver press-box yes >/dev/null || fail "cannot answer Yes"
    read_box "$SCRATCH/warning"
    [ "$(cat "$SCRATCH/warning")" = "Another cleaning is running. Try again when it has finished." ] ||
        fail "the window said: $(cat "$SCRATCH/warning")"
    driver press-box ok >/dev/null || fail "cannot dismiss the warning"
    driver no-box || fail "a second box followed the warning"
    [ -f "$host/a.\$\$\$" ] && [ ! -e "$host/Cleaning1.log" ] || fail "the window cleaned anyway"
    kill "$HOLDER_PID" 2>/dev/null || true
    wait "$HOLDER_PID" 2>/dev/null || true

    # The window holds the lock from its Yes until its log is closed.
    driver click "Go!" >/dev/null
    read_box "$SCRATCH/confirmation-2"
    driver press-box yes >/dev/null || fail "cannot answer Yes"
    read_box "$SCRATCH/closing" 60
    clean window-busy /standard
    expect_code window-busy 6
    driver press-box ok >/dev/null || fail "cannot dismiss the closing message"
    [ ! -e "$host/a.\$\$\$" ] || fail "the window did not clean"
    clean free /standard
    expect_code free 0
    driver click "Done" >/dev/null || fail "cannot click Done"
    wait_wizard_end
}

# scripts/demo console: the demo installation made on first use and kept, the program's own
# output and exit code passed through, Wine's notices held back.
demo() {
    local name=$1
    shift
    local code=0
    VESK_DEMO_BUILD=$(dirname "$VESK_CLEAN") VESK_DEMO_PREFIX=$WINEPREFIX \
        "$VESK_SCRIPTS/demo" console "$@" >"$SCRATCH/$name.out" 2>"$SCRATCH/$name.err" || code=$?
    echo "$code" >"$SCRATCH/$name.code"
}

case_demo() {
    start_scratch
    # A prefix of its own: the demo's installation must not meet the other cases' worlds.
    export WINEPREFIX="$VESK_E2E_DIR/prefix-demo"
    trap 'wineserver -k 2>/dev/null || true' EXIT
    local host="$WINEPREFIX/drive_c/ProgramData/TOLM/VESK 4.4"
    demo preview --fresh /preview /all
    expect_code preview 0
    [ "$(err_lines preview)" = "demo host folder: $host" ] || fail "$(cat "$SCRATCH/preview.err")"
    grep -qx 'Would delete C:\\ProgramData\\TOLM\\VESK 4.4\\proj.\$\$\$' <(out_lines preview) &&
        [ "$(out_lines preview | tail -1)" = "21 items would be cleaned; nothing was changed." ] ||
        fail "$(cat "$SCRATCH/preview.out")"
    [ -f "$host/proj.\$\$\$" ] || fail "the preview deleted something"

    demo clean /standard /settings
    expect_code clean 0
    [ ! -s "$SCRATCH/clean.err" ] || fail "$(cat "$SCRATCH/clean.err")"
    [ "$(out_lines clean | tail -1)" = 'Cleaning finished. Log file has been written to: C:\ProgramData\TOLM\VESK 4.4\Cleaning1.log' ] ||
        fail "$(cat "$SCRATCH/clean.out")"
    [ ! -e "$host/proj.\$\$\$" ] && [ ! -e "$host/VeskMain.ini" ] || fail "the demo was not cleaned"

    demo restore /restore:1 /json
    expect_code restore 0
    json_items restore 0 | grep -q $'^restored\t.*VeskMain.ini$' ||
        fail "$(cat "$SCRATCH/restore.out")"
    [ -f "$host/VeskMain.ini" ] || fail "the settings file did not come back"

    demo wrong /restore
    expect_code wrong 4
    grep -q 'write /restore:N' "$SCRATCH/wrong.err" && ! grep -qi wine "$SCRATCH/wrong.err" ||
        fail "$(cat "$SCRATCH/wrong.err")"
}

# The data of a value of the marker, as "reg query" shows it ("0x0" for a DWORD).
marker_value() {
    wine reg query "HKCU\\$MARKER_KEY" /v "$1" 2>/dev/null | tr -d '\r' |
        awk -v name="$1" '$1 == name { sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print }'
}

# /detect before and after a cleaning: one line of standard output, nothing on standard error,
# nothing changed, exit code 1 while something would be cleaned and 0 once nothing would; and
# the cleaning's marker.
case_detect() {
    start_scratch
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    put "$host/a.\$\$\$"
    put "$host/VeskMain.ini"
    set_host_key "$host"
    manifest "$host" >"$SCRATCH/before"

    clean before /detect /temp /settings
    expect_code before 1
    [ "$(out_lines before)" = "2 items would be cleaned: 1 settings file, 1 file." ] ||
        fail "$(cat "$SCRATCH/before.out")"
    [ ! -s "$SCRATCH/before.err" ] || fail "standard error: $(cat "$SCRATCH/before.err")"
    clean json /DETECT /temp /settings /json
    expect_code json 1
    python3 - "$SCRATCH/json.out" <<'PYTHON' || fail "$(cat "$SCRATCH/json.out")"
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
summary = json.loads(lines[0])
assert len(lines) == 1 and summary["mode"] == "detect", lines
assert summary["kinds"] == {"file": 1, "settings file": 1} and summary["exit_code"] == 1, summary
PYTHON
    manifest "$host" | diff -u "$SCRATCH/before" - >&2 || fail "the detection changed the host folder"
    ! wine_quiet reg query "HKCU\\$MARKER_KEY" || fail "the detection left a marker"

    clean cleaning /temp /settings
    expect_code cleaning 0
    [ "$(marker_value LastCleaningExitCode)" = 0x0 ] &&
        [ "$(marker_value LastCleaningLog)" = "$(windows_path "$host")\\Cleaning1.log" ] &&
        [ "$(marker_value Version)" = 1.02.0006 ] &&
        [[ "$(marker_value LastCleaningTime)" =~ ^20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9]Z$ ]] ||
        fail "the marker: $(wine reg query "HKCU\\$MARKER_KEY" 2>&1)"

    clean after /detect /temp /settings
    expect_code after 0
    [ "$(out_lines after)" = "Nothing to clean." ] || fail "$(cat "$SCRATCH/after.out")"
    [ ! -s "$SCRATCH/after.err" ] || fail "standard error: $(cat "$SCRATCH/after.err")"
}

# The organisation's policy: a forbidden option refused with 9 and nothing done, /all without
# it, /policy naming each setting's source, the templates holding exactly what the program
# reads, and PreviewOnly.
case_policy() {
    start_scratch
    prepare_prefix
    local host
    host=$(make_host_folder "$CASE")
    put "$host/a.\$\$\$"
    put "$host/VeskMain.ini"
    set_host_key "$host"
    manifest "$host" >"$SCRATCH/before"
    set_policy HKLM settings REG_DWORD 0
    set_policy HKCU temp REG_SZ 0

    clean forbidden /temp /settings
    expect_code forbidden 9
    [ "$(err_lines forbidden)" = "VeskClean: your organisation's policy forbids /settings \
(settings = 0 in HKEY_LOCAL_MACHINE\\$POLICY_KEY)." ] || fail "$(cat "$SCRATCH/forbidden.err")"
    [ ! -s "$SCRATCH/forbidden.out" ] || fail "$(cat "$SCRATCH/forbidden.out")"
    manifest "$host" | diff -u "$SCRATCH/before" - >&2 || fail "a refused cleaning changed something"

    # /all and /standard run what is allowed and name what they left out, /detect on its one line.
    clean preview-all /preview /all
    expect_code preview-all 0
    [ "$(out_lines preview-all | tail -n 2 | head -n 1)" = \
        "Left out by your organisation's policy: /settings" ] ||
        fail "$(cat "$SCRATCH/preview-all.out")"
    clean detect-all /detect /all
    expect_code detect-all 1
    [[ "$(out_lines detect-all)" == *". Left out by your organisation's policy: /settings." ]] &&
        [ "$(out_lines detect-all | wc -l)" = 1 ] && [ ! -s "$SCRATCH/detect-all.err" ] ||
        fail "$(cat "$SCRATCH/detect-all.out" "$SCRATCH/detect-all.err")"
    manifest "$host" | diff -u "$SCRATCH/before" - >&2 ||
        fail "a preview or detection changed something"

    clean policy-json /policy /json
    expect_code policy-json 0
    python3 - "$SCRATCH/policy-json.out" <<'PYTHON' || fail "$(cat "$SCRATCH/policy-json.out")"
import json, sys
objects = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
settings = {o["name"]: o for o in objects if o["type"] == "setting"}
assert len(settings) == 11 and len(objects) == 12, objects
assert settings["settings"] == {"type": "setting", "name": "settings", "value": 0,
                                "source": "machine", "taken": True, "allowed": False}, settings
assert settings["temp"]["source"] == "default" and settings["temp"]["taken"] is False, settings
assert settings["temp"]["allowed"] is True and settings["temp"]["value"] is None, settings
assert objects[-1] == {"type": "ignored", "name": "temp", "source": "user", "taken": False,
                       "why": "a REG_SZ, not a REG_DWORD"}, objects[-1]
PYTHON

    clean policy /policy
    expect_code policy 0
    grep -qxF "settings      machine  forbidden" <(out_lines policy) &&
        grep -qxF "temp          default  allowed" <(out_lines policy) &&
        grep -qxF "Taken as absent: temp in HKEY_CURRENT_USER\\$POLICY_KEY (a REG_SZ, not a REG_DWORD)" \
            <(out_lines policy) || fail "$(cat "$SCRATCH/policy.out")"
    # The settings /policy lists, one a line after the first, are what the templates write.
    python3 "$VESK_SCRIPTS/../tests/release/check_policy_templates.py" "$VESK_SCRIPTS/../policy" \
        $(out_lines policy | sed -n '2,13p' | cut -d' ' -f1) >&2 ||
        fail "the templates and the program's settings differ"

    set_policy HKCU PreviewOnly REG_DWORD 1
    clean previews-only /temp
    expect_code previews-only 9
    clean preview /preview /temp
    expect_code preview 0
    manifest "$host" | diff -u "$SCRATCH/before" - >&2 || fail "something was cleaned under PreviewOnly"

    wine_quiet reg delete "HKCU\\$POLICY_KEY" /v PreviewOnly /f || fail "cannot delete PreviewOnly"
    clean all /all
    expect_code all 0
    [ -f "$host/VeskMain.ini" ] && [ ! -e "$host/a.\$\$\$" ] ||
        fail "/all did not come to the allowed options: $(ls "$host")"
}

# BackupFolder, expanded: the backup goes to <folder>\<computer>\<user>, nothing of it beside the
# log, and the restore takes it from there.
case_backup_folder() {
    start_scratch
    prepare_prefix
    local host computer user
    host=$(make_host_folder "$CASE")
    printf '[Window]\r\nTop=1\r\n' >"$host/Vesk30.ini"
    cp "$host/Vesk30.ini" "$SCRATCH/Vesk30.ini"
    set_host_key "$host"
    mkdir -p "$SCRATCH/shares/vesk"
    export VESK_SHARE_NAME=vesk
    set_policy HKLM BackupFolder REG_EXPAND_SZ "$(windows_path "$SCRATCH/shares")\\%VESK_SHARE_NAME%"
    computer=$(wine cmd /c echo %COMPUTERNAME% 2>/dev/null | tr -d '\r')
    user=$(wine cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
    local backup="$SCRATCH/shares/vesk/$computer/$user/Cleaning1.backup"

    clean cleaning /settings
    expect_code cleaning 0
    cmp -s "$SCRATCH/Vesk30.ini" "$backup/Vesk30.ini" || fail "no backup in $backup: $(ls -R "$SCRATCH/shares")"
    grep -qxF "$BACKED_UP$(windows_path "$backup")" <(sed 's/\r$//' "$host/Cleaning1.log") ||
        fail "the log: $(cat "$host/Cleaning1.log")"
    [ "$(ls "$host")" = Cleaning1.log ] || fail "beside the log: $(ls "$host")"

    clean restore /restore:1
    expect_code restore 0
    cmp -s "$SCRATCH/Vesk30.ini" "$host/Vesk30.ini" || fail "the settings file did not come back"
}

# What a user on a shared machine may do while the system account empties their store: swap
# the subfolders the walk has not entered yet for links to a folder of the machine's. The walk
# enters a folder only through the handle that listed it, sees each link for what it is, and
# never deletes behind one.
case_store_swap() {
    start_scratch
    prepare_prefix
    local host important store first log
    host=$(make_host_folder "$CASE")
    setup_installation "$host" "$host-aux"
    store="$STORES/ProgramData/TOLM/VESK 4.4"
    rm -rf "$store"
    local sub
    for sub in 1 2 3 4 5 6; do
        mkdir -p "$store/sub$sub"
        (cd "$store/sub$sub" && seq -f "f$sub-%04g.ini" 1 1500 | xargs touch)
    done
    important="$SCRATCH/important"
    put "$important/system.dat"
    put "$important/f2-0001.ini"
    manifest "$important" >"$SCRATCH/important-before"
    # The walk enters the subfolders in the order Wine lists them: by name.
    first=$(ls "$store" | LC_ALL=C sort | head -n 1)

    wine "$VESK_CLEAN" /allusers /store-pd >"$SCRATCH/swap.out" 2>"$SCRATCH/swap.err" &
    local run=$! tries=0
    until [ "$(find "$store/$first" -type f | wc -l)" -lt 1500 ]; do
        tries=$((tries + 1))
        [ "$tries" -lt 3000 ] || fail "the walk never began: $(cat "$SCRATCH/swap.err")"
        sleep 0.01
    done
    for sub in $(ls "$store" | grep -vx "$first"); do
        mv "$store/$sub" "$store/$sub.moved"
        ln -s "$important" "$store/$sub"
    done
    local code=0
    wait "$run" || code=$?

    [ "$code" = 1 ] || fail "exit code $code, expected 1: $(cat "$SCRATCH/swap.err")"
    diff -u "$SCRATCH/important-before" <(manifest "$important") >&2 ||
        fail "the folder behind the links changed (- expected, + found)"
    [ -z "$(find "$store/$first" -type f)" ] || fail "the first subfolder was not emptied"
    for sub in $(ls "$store" | grep -v -e "^$first\$" -e '\.moved$'); do
        [ "$(find "$store/$sub.moved" -type f | wc -l)" = 1500 ] ||
            fail "$sub.moved lost files behind the walk's back"
    done
    log=$(sed 's/\r$//' "$host/Cleaning1.log")
    local windows_store
    windows_store=$(winepath -w "$store" 2>/dev/null)
    [ "$(grep -cF "(a link, which is never followed)" <<<"$log")" = 5 ] ||
        fail "not one refusal a swapped folder: $log"
    grep -qxF "Path not fully cleaned:     $windows_store" <<<"$log" || fail "the store's line: $log"
}

# What a profile's owner may do while the system account restores their settings: swap the
# backup's copy of a settings file, once the backup has been read and checked, for a link to a
# file of their choosing. The restore writes the bytes it checked, never what the link leads to.
case_restore_swap() {
    start_scratch
    prepare_prefix
    local host backup subkeys run code=0 tries=0
    host=$(make_host_folder "$CASE")
    set_host_key "$host"
    import_target_keys
    # Enough keys after the first group that the files are restored long after it.
    subkeys="$SCRATCH/subkeys.reg"
    {
        printf 'REGEDIT4\r\n\r\n'
        local i
        for i in $(seq -w 1 2000); do
            printf '[%s\\VESK\\Sub%s]\r\n"Value"="%s"\r\n\r\n' "$KEY_PATH" "$i" "$i"
        done
    } >"$subkeys"
    wine_quiet reg import "$(windows_path "$subkeys")" || fail "cannot import the subkeys"
    printf 'Kept=1\r\n' >"$host/VeskMain.ini"
    cp "$host/VeskMain.ini" "$SCRATCH/settings-before"
    printf 'Written by the profile owner\r\n' >"$SCRATCH/chosen.ini"

    clean cleaning /registry /settings
    expect_code cleaning 0
    backup="$host/Cleaning1.backup"
    [ -f "$backup/VeskMain.ini" ] && [ ! -e "$host/VeskMain.ini" ] || fail "VeskMain.ini was not backed up"

    wine "$VESK_CLEAN" /restore:1 >"$SCRATCH/restore.out" 2>"$SCRATCH/restore.err" &
    run=$!
    until grep -q "^Restored Key: " "$host/Cleaning2.log" 2>/dev/null; do
        tries=$((tries + 1))
        [ "$tries" -lt 3000 ] || fail "the restore never began: $(cat "$SCRATCH/restore.err")"
        sleep 0.01
    done
    rm "$backup/VeskMain.ini"
    ln -s "$SCRATCH/chosen.ini" "$backup/VeskMain.ini"
    ! grep -q "^Restored File: .*VeskMain\.ini" "$host/Cleaning2.log" ||
        fail "the restore reached the files before the swap: nothing was tried"
    wait "$run" || code=$?

    [ "$code" = 0 ] || fail "exit code $code, expected 0: $(cat "$SCRATCH/restore.out")"
    cmp -s "$SCRATCH/settings-before" "$host/VeskMain.ini" ||
        fail "the restored VeskMain.ini holds: $(cat "$host/VeskMain.ini")"
    [ "$(cat "$SCRATCH/chosen.ini")" = $'Written by the profile owner\r' ] ||
        fail "the file behind the link changed"
}

# A deleted file costs the console program four requests to Wine's single-threaded server (its
# opening, the name it reached, its deletion, its closing): a request more a file would cost as
# much time again as the link check did, whatever the machine's load.
case_requests() {
    start_scratch
    prepare_prefix
    wineserver -k 2>/dev/null || true
    "$VESK_SCRIPTS/count-requests" "$VESK_CLEAN" "$SCRATCH/requests" 10000 >"$SCRATCH/requests.out" ||
        fail "too many requests a deleted file: $(cat "$SCRATCH/requests.out")"
    cat "$SCRATCH/requests.out"
}

"case_$CASE"
echo "PASS: $CASE"
