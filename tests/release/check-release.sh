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
# The manifest: no execution level (so that Windows virtualises the program as it does the
# suite), and everything else the program relies on.
manifest=$(sed -n '/<assembly /,/<\/assembly>/p' <<<"$texts")
[ -n "$manifest" ] || fail "no manifest"
grep -q 'requestedExecutionLevel' <<<"$manifest" && fail "the manifest requests an execution level"
grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest" ||
    fail "the manifest does not ask for common controls 6"
grep -q '<dpiAwareness>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$manifest" ||
    fail "the manifest does not declare per-monitor DPI awareness"
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
echo "release program OK"
