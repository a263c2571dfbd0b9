#!/usr/bin/env bash
# Checks that the release program is a 32-bit or 64-bit (as $3 says) PE GUI program carrying
# its version and manifest.
set -euo pipefail
exe=$1
objdump=$2
bits=$3
fail() { echo "FAIL: $*"; exit 1; }

headers=$("$objdump" -p "$exe")
case $bits in
    32) format='pei-i386' ;;
    64) format='pei-x86-64' ;;
    *) fail "no PE format for $bits bits" ;;
esac
grep -q "file format $format\$" <<<"$headers" || fail "not a $bits-bit PE program"
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
