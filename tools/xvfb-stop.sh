#!/usr/bin/env bash
# Ends the test run's Wine programs and its Xvfb (see xvfb-start.sh).
set -uo pipefail
prefix="${1:?usage: xvfb-stop.sh PREFIX}"
server="$(dirname "${WINE64:-/usr/lib/wine/wine64}")/wineserver"
[ -x "$server" ] || server="$(command -v wineserver || true)"
[ -n "$server" ] && WINEPREFIX="$prefix" "$server" -k >/dev/null 2>&1
if [ -f "$prefix.xvfb.pid" ]; then
    kill "$(cat "$prefix.xvfb.pid")" 2>/dev/null
    rm -f "$prefix.xvfb.pid" "$prefix.display"
fi
exit 0
