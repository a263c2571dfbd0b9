#!/usr/bin/env bash
# Checks that a shipped program is a 32-bit or 64-bit (as $3 says) PE program of its kind ($4:
# "window" for the wizard, "console" for the console program) carrying its version and manifest.
set -euo pipefail
exe=$1
objdump=$2
bits=$3
kind=$4
fail() { echo "FAIL: $*"; exit 1; }

headers=$("$objdump" -p "$exe")
case $bits in
    32) format='pei-i386' ;;
    64) format='pei-x86-64' ;;
    *) fail "no PE format for $bits bits" ;;
esac
grep -q "file format $format\$" <<<"$headers" || fail "not a $bits-bit PE program"
case $kind in
    window) grep -Eq 'Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI program" ;;
    console) grep -Eq 'Subsystem[[:space:]]+00000003' <<<"$headers" || fail "not a console program" ;;
    *) fail "no such kind of program: $kind" ;;
esac
# Read once: grep -q ending a pipe early would fail it under pipefail.
texts=$(strings "$exe")
wide_texts=$(strings -el "$exe")
grep -qx '1.02.0006' <<<"$wide_texts" || fail "no version 1.02.0006 in its version resource"
# The version the marker for detection rules records is the resource's.
grep -qx '1.02.0006' <<<"$texts" || fail "the marker's version is not 1.02.0006"
grep -qx 'VESK Cleaning Wizard' <<<"$wide_texts" || fail "no product name"
# The manifest: no execution level (so that Windows virtualises the program as it does the
# suite), and everything else the program relies on.
manifest=$(sed -n '/<assembly /,/<\/assembly>/p' <<<"$texts")
[ -n "$manifest" ] || fail "no manifest"
grep -q 'requestedExecutionLevel' <<<"$manifest" && fail "the manifest requests an execution level"
if [ "$kind" = window ]; then
    grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest" ||
        fail "the manifest does not ask for common controls 6"
    grep -q '<dpiAwareness>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$manifest" ||
        fail "the manifest does not declare per-monitor DPI awareness"
fi
grep -q '<longPathAware>true</longPathAware>' <<<"$manifest" || fail "manifest not long-path aware"
grep -q 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' <<<"$manifest" ||
    fail "the manifest does not declare Windows 10 and 11"
# Without an execution level, Windows takes a 32-bit program whose names speak of installing or
# updating for an installer and asks for elevation.
names="$(basename "$exe") $(grep -E '^(VESK|Vesk|TOLM)' <<<"$wide_texts" | tr '\n' ' ')"
if grep -Eqi 'install|setup|update|patch|upgrad' <<<"$names"; then
    fail "a name would make Windows take the program for an installer: $names"
fi
if grep -qi 'DLL Name: libstdc++\|DLL Name: libgcc\|DLL Name: libwinpthread' <<<"$headers"; then
    fail "not statically linked"
fi
echo "$(basename "$exe") OK"
