# Helpers for the end-to-end tests: a private Wine prefix under the build folder, a host
# installation, the real program started in it under Xvfb, the driver, screenshots.
# Sourced by the test scripts; they set VESK_EXE, VESK_DRIVER and VESK_E2E_DIR (CMake does).

: "${VESK_EXE:?VESK_EXE must name VeskCleaningWizard.exe}"
: "${VESK_DRIVER:?VESK_DRIVER must name the driver program}"
: "${VESK_E2E_DIR:?VESK_E2E_DIR must name a folder of the build}"
VESK_SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
# The shell's delete with undo moves folders into the freedesktop trash: never the user's own.
# A case's scratch folder gives it one of its own (start_scratch).
export XDG_DATA_HOME="$VESK_E2E_DIR/xdg-data"
mkdir -p "$XDG_DATA_HOME"
WIZARD_PID=
readonly POLICY_KEY='Software\Policies\TOLM\VESK Cleaning Wizard'
readonly MARKER_KEY='Software\TOLM\VESK Cleaning Wizard'

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Re-runs the calling script inside its own X server, unless it already has one of ours.
# Everything Wine does for a test, the prefix's preparation included, must see that display.
run_under_xvfb() {
    if [ -z "${VESK_E2E_XVFB:-}" ]; then
        VESK_E2E_XVFB=1 exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
    fi
}

# The Windows form of a Linux path (drive Z: is the Linux root).
windows_path() {
    local path
    path=$(realpath -m "$1")
    echo "Z:${path//\//\\}"
}

wine_quiet() {
    wine "$@" >/dev/null 2>&1
}

# Makes (once) and readies the prefix for the given DPI: no process of an earlier test or
# display left in it, Wine's own window frames for screenshots, no host installation known.
prepare_prefix() {
    local dpi=${1:-96}
    export WINEPREFIX="$VESK_E2E_DIR/prefix-$dpi"
    if [ -f "$WINEPREFIX/system.reg" ]; then
        # The kill returns before the server has gone: a "wine reg" started meanwhile may reach
        # the dying server and fail.
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    "$VESK_SCRIPTS/wine-prefix" "$WINEPREFIX"
    trap 'stop_wizard; wineserver -k 2>/dev/null || true' EXIT
    wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
    wine_quiet reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
    forget_host
    forget_policy
}

forget_host() {
    wine_quiet reg delete 'HKLM\Software\TOLM\VESK 4.0' /f /reg:32 || true
    rm -f "$WINEPREFIX/drive_c/windows/VESK40.DIR"
    # Backups of an earlier case's run for every profile would take the log numbers.
    rm -rf "$WINEPREFIX/drive_c/ProgramData/TOLM/VESK Cleaning Wizard"
}

# No organisation's policy, and no marker of an earlier case's cleaning.
forget_policy() {
    wine_quiet reg delete "HKLM\\$POLICY_KEY" /f || true
    wine_quiet reg delete "HKCU\\$POLICY_KEY" /f || true
    wine_quiet reg delete "HKCU\\$MARKER_KEY" /f || true
}

# Sets a value of the policy key: $1 HKLM (the machine) or HKCU (the user), $2 the value's name,
# $3 its type, $4 its data.
set_policy() {
    wine_quiet reg add "$1\\$POLICY_KEY" /v "$2" /t "$3" /d "$4" /f ||
        fail "cannot set the policy value $2"
}

# A fresh, empty host folder for the test named $1; prints its Linux path.
make_host_folder() {
    local folder="$VESK_E2E_DIR/hosts/$1"
    rm -rf "$folder"
    mkdir -p "$folder"
    echo "$folder"
}

# The host key (32-bit view, as the host program writes it) naming a folder.
set_host_key() {
    wine_quiet reg add 'HKLM\Software\TOLM\VESK 4.0' /v "AppData Path" /d "$(windows_path "$1")" \
        /f /reg:32 || fail "cannot write the host key"
}

# The pointer file in the Windows directory naming a folder.
set_pointer_file() {
    printf '"%s"\r\n' "$(windows_path "$1")" >"$WINEPREFIX/drive_c/windows/VESK40.DIR"
}

start_wizard() {
    wine "$VESK_EXE" >/dev/null 2>&1 &
    WIZARD_PID=$!
}

# Waits for the program to end by itself; fails after $1 seconds (default 20).
wait_wizard_end() {
    local limit=$((${1:-20} * 10))
    while kill -0 "$WIZARD_PID" 2>/dev/null; do
        limit=$((limit - 1))
        [ "$limit" -gt 0 ] || fail "the program did not end"
        sleep 0.1
    done
    wait "$WIZARD_PID" || true
    WIZARD_PID=
}

stop_wizard() {
    if [ -n "$WIZARD_PID" ] && kill -0 "$WIZARD_PID" 2>/dev/null; then
        kill "$WIZARD_PID" 2>/dev/null || true
    fi
    WIZARD_PID=
}

driver() {
    wine "$VESK_DRIVER" "$@"
}

# Retries a command for up to 10 seconds: clicks and keys take effect a moment later.
eventually() {
    local tries=50
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "never true: $*"
        sleep 0.2
    done
}

# The captions of the controls of one kind that a user can see, one a line, sorted.
seen_captions() {
    driver list | tr -d '\r' | awk -F'\t' -v kind="$1" '$1 == "seen" && $2 == kind { print $4 }' |
        sort
}

# Succeeds when the box of that caption shows the tick $2 (0 or 1).
tick_is() {
    [ "$(driver checked "$1" | tr -d '\r')" = "$2" ]
}

focused_is() {
    [ "$(driver focused | tr -d '\r')" = "$1" ]
}

# Saves the wizard's window, with its frame, as a PNG in the build folder; prints its path.
screenshot() {
    local name=$1 geometry
    read -r -a geometry < <(driver rect | tr -d '\r')
    local out="$VESK_E2E_DIR/$name.png"
    driver park-pointer
    sleep 0.3
    xwd -root -display "$DISPLAY" |
        /usr/bin/convert xwd:- -crop "${geometry[2]}x${geometry[3]}+${geometry[0]}+${geometry[1]}" \
            +repage "$out" || fail "no screenshot"
    echo "$out"
}

# Waits (up to $2 seconds, default 20) for a message box and writes its text, exactly as the box
# holds it, to the file $1.
# The driver's console output turns each line feed into CR LF; one CR before each line end is
# that translation's and goes, the box's own CRs stay. The driver's final line end goes too.
read_box() {
    local raw
    raw=$(mktemp)
    driver wait-box "${2:-20}" >"$raw" || {
        rm -f "$raw"
        fail "no message box appeared"
    }
    sed 's/\r$//' "$raw" | head -c -1 >"$1"
    rm -f "$raw"
}

# Saves the open message box, with its frame, as a PNG in the build folder; prints its path.
# Taken from the box's own X window: a box owned by the wizard's window shows black in a capture
# of the whole screen under Xvfb, while its own window holds what it draws.
box_screenshot() {
    local out="$VESK_E2E_DIR/$1.png"
    driver no-box >/dev/null 2>&1 && fail "no message box to take a picture of"
    driver park-pointer
    sleep 0.3
    xwd -display "$DISPLAY" -name "VESK Cleaning Wizard" | /usr/bin/convert xwd:- "$out" ||
        fail "no screenshot"
    echo "$out"
}
