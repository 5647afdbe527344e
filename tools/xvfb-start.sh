#!/usr/bin/env bash
# Starts one Xvfb for a Wine prefix's test run, on a display it picks itself, and writes the
# display number beside the prefix (PREFIX.display) so tools/wine-run.sh can use it. Does
# nothing when it already runs.
set -euo pipefail
prefix="${1:?usage: xvfb-start.sh PREFIX}"
pidfile="$prefix.xvfb.pid"
displayfile="$prefix.display"
if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null && [ -s "$displayfile" ]; then
    exit 0
fi
rm -f "$displayfile"
mkdir -p "$(dirname "$prefix")"
Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
echo $! >"$pidfile"
for _ in $(seq 1 100); do
    [ -s "$displayfile" ] && break
    sleep 0.1
done
[ -s "$displayfile" ] || { echo "Xvfb did not start"; exit 1; }
echo "Xvfb on :$(cat "$displayfile")"
