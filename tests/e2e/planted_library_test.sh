#!/usr/bin/env bash
# A library planted beside the wizard under the name of one the wizard loads (uxtheme.dll, which
# comctl32 pulls in) is not loaded: the wizard is started from a "Downloads" folder holding the
# plant, with Wine told to prefer a native uxtheme wherever the search finds one. The plant marks
# every process that loads it. Two runs of a small loader program show that the setup can see a
# plant at all: loading by name without restriction takes the plant, and after the wizard's own
# first call (app::restrict_library_search) it takes the system's library.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
: "${VESK_PLANTED_LIBRARY:?VESK_PLANTED_LIBRARY must name the planted library}"
: "${VESK_LIBRARY_LOADER:?VESK_LIBRARY_LOADER must name the loader program}"
run_under_xvfb "$@"

readonly PLANTED_NAME=uxtheme.dll
readonly SYSTEM_COPY='C:\windows\system32\uxtheme.dll'

prepare_prefix
set_host_key "$(make_host_folder planted_library)"
downloads="$VESK_E2E_DIR/downloads"
marks="$VESK_E2E_DIR/planted-marks.txt"
rm -rf "$downloads" "$marks"
mkdir -p "$downloads"
cp "$VESK_EXE" "$VESK_LIBRARY_LOADER" "$downloads/"
cp "$VESK_PLANTED_LIBRARY" "$downloads/$PLANTED_NAME"
VESK_PLANTED_MARK=$(windows_path "$marks")
export VESK_PLANTED_MARK
# Native before built-in: Wine then takes the first file of that name its search comes across,
# as Windows would, instead of its own library whatever the search finds.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;${PLANTED_NAME%.dll}=n,b"
loader=$(basename "$VESK_LIBRARY_LOADER")

# Prints the file that the loader, started from the Downloads folder, loaded for the plant's name.
load_from_downloads() {
    (cd "$downloads" && wine "./$loader" "$@" "$PLANTED_NAME") 2>&1 | tr -d '\r'
}

loaded=$(load_from_downloads)
[ "$loaded" = "$(windows_path "$downloads/$PLANTED_NAME")" ] ||
    fail "a program searching its own folder did not load the plant (it loaded: $loaded);" \
        "this test could not tell a plant from the system's library"
grep -qF "$loader loaded" "$marks" || fail "the plant loaded but left no mark"
rm -f "$marks"

loaded=$(load_from_downloads --restricted)
[ "$loaded" = "$SYSTEM_COPY" ] || fail "after restrict_library_search the loader loaded: $loaded"
[ ! -e "$marks" ] || fail "after restrict_library_search the plant was loaded: $(cat "$marks")"

plant_not_loaded() {
    [ ! -e "$marks" ] || fail "the wizard loaded the plant: $(tr -d '\r' <"$marks")"
}

# The wizard from the same folder, with Wine listing what each process loads. A plant would have
# been loaded by the time the window shows; the advanced panel draws the rest of the controls.
trace="$VESK_E2E_DIR/planted-library-trace.txt"
(cd "$downloads" && WINEDEBUG=+pid,+loaddll exec wine ./"$(basename "$VESK_EXE")") >"$trace" 2>&1 &
WIZARD_PID=$!
driver wait-window >/dev/null || {
    plant_not_loaded
    fail "the window did not open"
}
plant_not_loaded
driver click "Advanced Options" >/dev/null || fail "cannot open the advanced panel"
eventually driver seen "Hide Advanced Options"
driver close
wait_wizard_end
plant_not_loaded
wizard=$(grep -m1 -F "$(basename "$VESK_EXE")\"" "$trace" | cut -d: -f1)
[ -n "$wizard" ] || fail "the trace does not show the wizard starting"
# Proof that the name was one the wizard loads: otherwise the plant could not have been taken.
grep "^$wizard:" "$trace" | grep -qF "Loaded L\"${SYSTEM_COPY//\\/\\\\}\"" ||
    fail "the wizard did not load the system's $PLANTED_NAME; the test shows nothing"
echo "PASS: planted_library"
