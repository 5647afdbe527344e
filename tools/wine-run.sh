#!/usr/bin/env bash
# Runs one Windows program under Wine (64-bit only on Debian 12) in the prefix named by
# WINEPREFIX, with Wine's own chatter and its Mono/Gecko installers switched off.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=;winemenubuilder.exe=d}"
# Without a display of its own, a test run uses the Xvfb started for its prefix.
if [ -z "${DISPLAY:-}" ] && [ -s "$WINEPREFIX.display" ]; then
    export DISPLAY=":$(cat "$WINEPREFIX.display")"
fi
wine="${WINE64:-/usr/lib/wine/wine64}"
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
# A wineserver that is just shutting down refuses new clients ("cannot connect to it"); the
# program never started then, so wait for that server to go and start it again.
server="$(dirname "$wine")/wineserver"
errors="$(mktemp)"
trap 'rm -f "$errors"' EXIT
for attempt in 1 2 3; do
    status=0
    "$wine" "$@" 2> >(tee "$errors" >&2) || status=$?
    wait
    if [ "$attempt" -lt 3 ] && grep -q "cannot connect to it" "$errors"; then
        [ -x "$server" ] && "$server" -w 2>/dev/null
        sleep 1
        continue
    fi
    exit "$status"
done
