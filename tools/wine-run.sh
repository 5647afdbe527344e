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
exec "$wine" "$@"
