#!/usr/bin/env bash
# Runs the window's display tests at 96, 144 and 192 DPI in a Wine prefix of their own, the
# display scale set the way a person sets it (LogPixels in HKCU\Control Panel\Desktop), each
# run on the prefix's own Xvfb.
#   run_display_scales.sh PREFIX wizard_window_tests.exe
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tools="$here/../../tools"
prefix="${1:?usage: run_display_scales.sh PREFIX TESTS.exe}"
tests="${2:?usage: run_display_scales.sh PREFIX TESTS.exe}"
export WINEPREFIX="$prefix"
"$tools/xvfb-start.sh" "$prefix" >/dev/null
trap '"$tools/xvfb-stop.sh" "$prefix" >/dev/null 2>&1 || true' EXIT
"$tools/wine-prefix-init.sh" "$prefix" >/dev/null
"$tools/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
filter='WindowDisplayTest.*:WindowShellTest.ControlsSitWhereTheGeometrySaysAtEverySize'
status=0
for dpi in 96 144 192; do
    "$tools/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d "$dpi" /f >/dev/null 2>&1
    echo "== $dpi DPI"
    TERVANE_DISPLAY_DPI="$dpi" timeout --kill-after=10 300 "$tools/wine-run.sh" "$tests" \
        --gtest_filter="$filter" --gtest_color=no || status=1
done
"$tools/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f \
    >/dev/null 2>&1
exit "$status"
