#!/usr/bin/env bash
# Creates (or refreshes) a private Wine prefix and waits until its wineserver is idle.
set -euo pipefail
prefix="${1:?usage: wine-prefix-init.sh PREFIX}"
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
mkdir -p "$prefix"
if [ -z "${DISPLAY:-}" ] && [ -s "$prefix.display" ]; then
    export DISPLAY=":$(cat "$prefix.display")"
fi
wine="${WINE64:-/usr/lib/wine/wine64}"
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
server="$(dirname "$wine")/wineserver"
[ -x "$server" ] || server="$(command -v wineserver)"
"$wine" wineboot --init >/dev/null 2>&1 || true
"$server" --wait || true
test -f "$prefix/system.reg"
echo "Wine prefix ready: $prefix"
