#!/usr/bin/env bash
# Checks that the release program is a 32-bit PE GUI program carrying its version and manifest.
set -euo pipefail
exe=$1
objdump=$2
fail() { echo "FAIL: $*"; exit 1; }

headers=$("$objdump" -p "$exe")
grep -Eq 'file format pei?-i386' <<<"$headers" || fail "not a 32-bit PE program"
grep -Eq 'Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI program"
# Read once: grep -q ending a pipe early would fail it under pipefail.
texts=$(strings "$exe")
wide_texts=$(strings -el "$exe")
grep -qx '1.02.0006' <<<"$wide_texts" || fail "no version 1.02.0006 in its version resource"
grep -qx 'VESK Cleaning Wizard' <<<"$wide_texts" || fail "no product name"
grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$texts" || fail "no asInvoker manifest"
grep -q '<longPathAware>true</longPathAware>' <<<"$texts" || fail "manifest not long-path aware"
if grep -qi 'DLL Name: libstdc++\|DLL Name: libgcc\|DLL Name: libwinpthread' <<<"$headers"; then
    fail "not statically linked"
fi
echo "release program OK"
