# The run tests' world, shared by the window's and the console program's: a host folder with
# leftovers of every kind and look-alikes that must stay, the settings branch likewise, and the
# means to compare a whole tree or branch before and after. Sourced after lib.sh.

readonly SETTINGS_BRANCH='HKCU\Software\VB and VBA Program Settings'
readonly KEY_PATH='HKEY_CURRENT_USER\Software\VB and VBA Program Settings'
# Log labels as they stand in the file: padded with blanks to the next column stop of 14.
readonly DELETED_KEY='Deleted Key:  '
readonly DELETED_FILE='Deleted File: '
readonly NOT_DELETED_FILE='Could not delete File:      '
readonly DELETED_DIR='Deleted Directory:          '
readonly KEPT_FILE='Kept File:    '
readonly KEPT_DIR='Kept Directory:             '
readonly PERMISSIONS_SET='Permissions Set For:        '
readonly PATH_CLEANED='Path cleaned: '
readonly BACKED_UP='Backed up to: '
# Wine's text for ERROR_ACCESS_DENIED, which DeleteFileW gives for a read-only file.
readonly ACCESS_DENIED='Access denied.'
readonly CLOSING='Cleaning finished. Log file has been written to:'
readonly REFUSALS_NOTE='Some items could not be cleaned; the log lists them.'
readonly CRLF=$'\r\n'

SCRATCH=

# Shows text with its line ends and blanks visible, for failure reports.
visible() {
    cat -A "$1" | sed 's/^/    | /'
}

# The text $2 (exact bytes) must equal the file $3; $1 names what is compared.
expect_text() {
    local what=$1 expected_text=$2 actual_file=$3 expected_file="$SCRATCH/expected-$1"
    printf '%s' "$expected_text" >"$expected_file"
    if ! cmp -s "$expected_file" "$actual_file"; then
        {
            echo "FAIL: $what differs (^M is CR, \$ a line end)"
            echo "  expected:"
            visible "$expected_file"
            echo "  actual:"
            visible "$actual_file"
        } >&2
        exit 1
    fi
}

# Compares the log file $1 with the expected lines on stdin. A line "= TEXT" must come at its
# place; a run of lines "~ TEXT" must come at its place as a block, in any order within the
# block (the order in which the platform lists a folder or a key's subkeys).
expect_log() {
    local log=$1 expected_raw="$SCRATCH/log-expected-raw"
    [ -f "$log" ] || fail "no log file $log"
    cat >"$expected_raw"
    local lines crlf
    lines=$(tr -cd '\n' <"$log" | wc -c)
    crlf=$(grep -c $'\r$' "$log" || true)
    [ "$lines" = "$crlf" ] || fail "the log has lines not ended by CR LF:$(echo; visible "$log")"
    [ ! -s "$log" ] || [ "$(tail -c 1 "$log" | od -An -c | tr -d ' ')" = '\n' ] ||
        fail "the log's last line has no line end:$(echo; visible "$log")"
    local -a actual
    mapfile -t actual < <(sed 's/\r$//' "$log")
    local want="$SCRATCH/log-expected" got="$SCRATCH/log-actual" index=0 block=()
    : >"$want"
    : >"$got"
    flush_block() {
        if [ "${#block[@]}" -gt 0 ]; then
            printf '%s\n' "${block[@]}" | sort >>"$want"
            printf '%s\n' "${actual[@]:index:${#block[@]}}" | sort >>"$got"
            index=$((index + ${#block[@]}))
            block=()
        fi
    }
    local entry
    while IFS= read -r entry; do
        case $entry in
        "~ "*) block+=("${entry#\~ }") ;;
        "= "*)
            flush_block
            printf '%s\n' "${entry#= }" >>"$want"
            [ "$index" -ge "${#actual[@]}" ] || printf '%s\n' "${actual[index]}" >>"$got"
            index=$((index + 1))
            ;;
        *) fail "bad expected log line: $entry" ;;
        esac
    done <"$expected_raw"
    flush_block
    [ "$index" -ge "${#actual[@]}" ] || printf '%s\n' "${actual[@]:index}" >>"$got"
    if ! diff -u "$want" "$got" >"$SCRATCH/log-diff"; then
        {
            echo "FAIL: the log differs from the expected lines (blocks of any order sorted)"
            sed 's/^/    /' "$SCRATCH/log-diff"
            echo "  whole log:"
            visible "$log"
        } >&2
        exit 1
    fi
}

# Every entry below a folder with its type, mode and, for files, content checksum; one a line.
manifest() {
    (
        cd "$1"
        find . -mindepth 1 -printf '%y %m %p\n' | sort | while read -r type mode path; do
            if [ "$type" = f ]; then
                echo "$type $mode $path $(sha1sum <"$path" | cut -c1-40)"
            else
                echo "$type $mode $path"
            fi
        done
    )
}

# A file holding its own name, so that a swapped or rewritten file shows.
put() {
    mkdir -p "$(dirname "$1")"
    printf 'content of %s\r\n' "$(basename "$1")" >"$1"
}

hidden_attribute() {
    wine_quiet cmd /c attrib +h "$(windows_path "$1")" || fail "cannot hide $1"
    wine cmd /c attrib "$(windows_path "$1")" 2>/dev/null | tr -d '\r' | grep -q '^ *A* *H' ||
        fail "$1 did not become hidden"
}

import_registry() {
    local file="$SCRATCH/$1.reg"
    cat >"$file"
    wine_quiet reg import "$(windows_path "$file")" || fail "cannot import $1 into the registry"
}

# A registry file given in UTF-8 on stdin, imported as the registry editor's version 5 files
# are stored: UTF-16LE with a byte-order mark and CR LF, so that any name comes through.
import_unicode_registry() {
    local file="$SCRATCH/$1.reg"
    {
        printf '\xff\xfe'
        sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE
    } >"$file"
    wine_quiet reg import "$(windows_path "$file")" || fail "cannot import $1 into the registry"
}

# The whole branch, keys, subkeys and values, as UTF-8 text in the file $1.
export_branch() {
    local exported="$SCRATCH/export.reg"
    rm -f "$exported"
    wine_quiet reg export "$SETTINGS_BRANCH" "$(windows_path "$exported")" ||
        fail "cannot export the branch"
    iconv -f UTF-16 -t UTF-8 "$exported" >"$1" || fail "cannot read the exported branch"
}

start_scratch() {
    SCRATCH="$VESK_E2E_DIR/scratch/$CASE"
    rm -rf "$SCRATCH"
    mkdir -p "$SCRATCH"
    # The shell's delete with undo moves folders into the user's trash: keep it ours.
    export XDG_DATA_HOME="$SCRATCH/xdg-data"
    mkdir -p "$XDG_DATA_HOME"
}

# What must survive in the host folder: look-alikes, a hidden settings file and a read-only one
# (refused).
put_lookalikes() {
    local host=$1
    put "$host/Setup.tlbak"
    put "$host/logbook.txtx"
    put "$host/mylog.txt"
    put "$host/notes.txt"
    put "$host/veskhogl.ini"
    put "$host/sub/x.tlb"
    put "$host/sub/VeskMain.ini"
    put "$host/sub/log.txt"
    put "$host/sub/keep.vk\$/inner.txt"
    put "$host/proj.VK\$/inner.txt"
    put "$host/proj.vk\$1/inner.txt"
    put "$host/VeskDrov.ini/inner.txt"
    put "$host/Vesk30.ini"
    hidden_attribute "$host/Vesk30.ini"
    put "$host/VeskTree.ini"
    chmod a-w "$host/VeskTree.ini"
}

# One leftover of every kind the standard options delete; $2 is the Windows folder.
put_targets() {
    local host=$1 windows_dir=$2
    put "$host/Qult30.ini"
    put "$host/VeskMain.ini"
    put "$host/pomb30.INI"
    put "$host/proj.\$\$\$"
    put "$host/log.txt"
    put "$host/LOG2.TXT"
    put "$host/logfile.txt"
    put "$host/Main.tlb"
    put "$host/a.vk\$/notes.txt"
    put "$host/a.vk\$/nested/deep.txt"
    put "$host/B Project.vk\$/plan.txt"
    put "$windows_dir/veskhogl.ini"
}

# Keys beside the targets that must stay, in a branch emptied first.
import_lookalike_keys() {
    wine_quiet reg delete "$SETTINGS_BRANCH" /f || true
    import_registry survivors <<EOF
REGEDIT4

[$KEY_PATH\\VESK 4]
"Keep"="4"

[$KEY_PATH\\VESK4.4]
"Keep"="4.4"

[$KEY_PATH\\Other]
"Keep"="other"

[$KEY_PATH\\Other\\Inner]
"Keep"="inner"
EOF
}

# The program-settings keys the registry option deletes, subkeys and values included.
import_target_keys() {
    import_registry targets <<EOF
REGEDIT4

[$KEY_PATH\\VeskMain]
"Window"="1"
"Size"=dword:00000010

[$KEY_PATH\\VeskMain\\Options]
"Last"="x"

[$KEY_PATH\\veskimex]
"Format"="2"

[$KEY_PATH\\VESK]
"Path"="z"

[$KEY_PATH\\VESK 4.0]
"Path"="4.0"

[$KEY_PATH\\vesk 4.4 Beta]

[$KEY_PATH\\vesk 4.4 Beta\\Sub]
"Deep"="1"
EOF
}
