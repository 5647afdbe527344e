#!/usr/bin/env bash
# Runs a Windows program under Wine on a private Xvfb display that lives only as long as the
# program does. The screen is large enough for the tallest window size the program restores.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wine_run="$here/../../tools/wine-run.sh"

run() {
    # With no window manager on the display, Wine waits two seconds for each managed top-level
    # window to be withdrawn; unmanaged windows close at once.
    "$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    status=0
    timeout --kill-after=10 "${TERVANE_WINDOW_TEST_TIMEOUT:-500}" "$wine_run" "$@" || status=$?
    exit "$status"
}

# The test run's own Xvfb (tools/xvfb-start.sh) serves when there is one: a display that goes
# away under the prefix's running desktop would take that desktop down with it.
if [ -z "${DISPLAY:-}" ] && [ -n "${WINEPREFIX:-}" ] && [ -s "$WINEPREFIX.display" ]; then
    export DISPLAY=":$(cat "$WINEPREFIX.display")"
    run "$@"
fi
displayfile="$(mktemp)"
Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    rm -f "$displayfile"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
    [ -s "$displayfile" ] && break
    sleep 0.05
done
[ -s "$displayfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$displayfile")"
run "$@"
