#!/usr/bin/env bash
# Checks that the release program is a 32-bit PE GUI program carrying its version and manifest.
set -euo pipefail
exe=$1
objdump=$2
fail() { echo "FAIL: $*"; exit 1; }

headers=$("$objdump" -p "$exe")
grep -q 'file format pe-i386' <<<"$headers" || fail "not a 32-bit PE program"
grep -Eq 'Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI program"
strings -el "$exe" | grep -qx '1.02.0006' || fail "no version 1.02.0006 in its version resource"
strings -el "$exe" | grep -qx 'VESK Cleaning Wizard' || fail "no product name"
strings "$exe" | grep -q 'requestedExecutionLevel level="asInvoker"' || fail "no asInvoker manifest"
strings "$exe" | grep -q '<longPathAware>true</longPathAware>' || fail "manifest not long-path aware"
if "$objdump" -p "$exe" | grep -qi 'DLL Name: libstdc++\|DLL Name: libgcc\|DLL Name: libwinpthread'; then
    fail "not statically linked"
fi
echo "release program OK"
