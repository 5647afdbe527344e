#!/usr/bin/env bash
# Runs a Windows program under Wine on a private Xvfb display that lives only as long as the
# program does. The display number comes from the process id, so parallel runs do not meet.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wine_run="$here/../../tools/wine-run.sh"

display=$(( 100 + $$ % 800 ))
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$(( display + 1 ))
done
Xvfb ":$display" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.05
done
export DISPLAY=":$display"
# With no window manager on the display, Wine waits two seconds for each managed top-level
# window to be withdrawn; unmanaged windows close at once.
"$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
status=0
timeout --kill-after=10 "${TERVANE_WINDOW_TEST_TIMEOUT:-500}" "$wine_run" "$@" || status=$?
exit "$status"
