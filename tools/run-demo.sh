#!/usr/bin/env bash
# Runs the wizard itself, in its demo flavour, under Wine: the shipping sources with simulated
# base units around (tools/demo/demo_world.cpp) and the stand-in account service on loopback
# with the demo account (demo / tervane-demo).
#
# With a display (DISPLAY set) you click through it yourself. Without one it runs on Xvfb and
# walks through every path like a person would (tools/demo/demo_walkthrough.cpp), saving a
# screenshot of every page. Either way it ends by printing the screenshot folder and the
# configuration each simulated base unit received.
#
#   tools/run-demo.sh                   over the simulated flat Bluetooth layer
#   tools/run-demo.sh --ble=winrt-sim   over the shipping flat layer and the test provider of
#                                       the Bluetooth runtime classes, same base units
set -uo pipefail

ble_flag=""
for argument in "$@"; do
    case "$argument" in
        --ble=winrt-sim) ble_flag="$argument" ;;
        *) echo "usage: tools/run-demo.sh [--ble=winrt-sim]"; exit 2 ;;
    esac
done

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=tools/packages.sh
source "$root/tools/packages.sh"

demo="$root/build/demo"
# The test suite runs the walk-through over a tree it has just built.
if [ -z "${TERVANE_DEMO_PREBUILT:-}" ]; then
    echo "==> building the demo flavour"
    build_windows_targets "$demo/build.log" "The demo" TervaneConnectDemo demo_walkthrough || exit 1
fi

interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
prefix="$demo/wineprefix"
run="$demo/run"
shots="$demo/screenshots/$(date +%Y%m%d-%H%M%S)"
rm -rf "$run"
mkdir -p "$run" "$shots"
export WINEPREFIX="$prefix"
service_pid=""

cleanup() {
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null
    "$root/tools/xvfb-stop.sh" "$prefix"
}
trap cleanup EXIT

if [ "$interactive" -eq 0 ]; then
    "$root/tools/xvfb-start.sh" "$prefix" >/dev/null || { echo "Xvfb did not start."; exit 1; }
    export DISPLAY=":$(cat "$prefix.display")"
fi
"$root/tools/wine-prefix-init.sh" "$prefix" >/dev/null || { echo "Wine did not start."; exit 1; }
# Let Wine draw the title bars itself, since no window manager runs on Xvfb.
[ "$interactive" -eq 0 ] &&
    "$root/tools/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# The walk-through starts as a first-time user: no saved login, no saved window size.
if [ "$interactive" -eq 0 ]; then
    rm -rf "$prefix"/drive_c/users/*/AppData/Local/Tervane
    "$root/tools/wine-run.sh" reg delete 'HKCU\Software\Tervane\ConfigApp' /f >/dev/null 2>&1
fi

echo "==> starting the stand-in account service on 127.0.0.1:47810"
python3 "$root/tools/standin/account_service.py" --port 47810 --user "demo:tervane-demo" \
    --log "$demo/service-requests.jsonl" >"$demo/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 1 50); do
    grep -q "listening" "$demo/service.log" 2>/dev/null && break
    sleep 0.1
done
grep -q "listening" "$demo/service.log" || { cat "$demo/service.log"; echo "The stand-in service did not start."; exit 1; }

cp "$root/build/windows/tools/demo/TervaneConnectDemo.exe" "$root/build/windows/tools/demo/demo_walkthrough.exe" \
    "$root/build/windows/tools/demo/tervane_winrt_provider.dll" "$run/"
cd "$run"
echo "==> starting Tervane Connect (demo) under Wine"
[ -n "$ble_flag" ] && echo "    over the shipping flat Bluetooth layer and the runtime provider ($ble_flag)"

# One walk-through as a first-time user, its pictures in the folder given (PNG).
walk() {
    local folder="$1"
    mkdir -p "$folder"
    rm -rf "$prefix"/drive_c/users/*/AppData/Local/Tervane
    "$root/tools/wine-run.sh" reg delete 'HKCU\Software\Tervane\ConfigApp' /f >/dev/null 2>&1
    "$root/tools/wine-run.sh" TervaneConnectDemo.exe $ble_flag >>"$demo/program.log" 2>&1 &
    local program_pid=$!
    timeout 600 "$root/tools/wine-run.sh" demo_walkthrough.exe "Z:$(echo "$folder" | tr '/' '\\')" \
        2>/dev/null | tr -d '\r'
    local result=${PIPESTATUS[0]}
    timeout 30 tail --pid="$program_pid" -f /dev/null
    kill "$program_pid" 2>/dev/null
    for bmp in "$folder"/*.bmp; do
        [ -e "$bmp" ] || continue
        convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
    return "$result"
}

status=0
: >"$demo/program.log"
if [ "$interactive" -eq 1 ]; then
    "$root/tools/wine-run.sh" TervaneConnectDemo.exe $ble_flag >"$demo/program.log" 2>&1 &
    program_pid=$!
    echo "Log in as demo / tervane-demo, or choose \"Setup wifi network only\". Close the window to end."
    wait "$program_pid"
else
    echo "==> walking through the wizard (full setup, retry after a failed send, a base unit"
    echo "    whose Wi-Fi scan fails, username only, a lingering and a dropped link, Wi-Fi only)"
    walk "$shots"
    status=$?
    [ -f "$run/demo-received.txt" ] && cp "$run/demo-received.txt" "$demo/received.txt"

    echo "==> the same walk at 150% display scaling"
    desktop='HKCU\Control Panel\Desktop'
    "$root/tools/wine-run.sh" reg add "$desktop" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
    walk "$shots/150-percent" >/dev/null || { echo "The 150% walk stopped early."; status=1; }
    "$root/tools/wine-run.sh" reg add "$desktop" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1

    echo "==> the same walk in a black high-contrast theme"
    colours='HKCU\Control Panel\Colors'
    "$root/tools/wine-run.sh" reg export "$colours" 'C:\colours-before.reg' /y >/dev/null 2>&1
    while read -r name rgb; do
        "$root/tools/wine-run.sh" reg add "$colours" /v "$name" /d "$rgb" /f >/dev/null 2>&1
    done <<'COLOURS'
Window 0 0 0
WindowText 255 255 255
ButtonFace 0 0 0
ButtonText 255 255 255
Hilight 26 235 255
HilightText 0 0 0
GrayText 63 242 63
HotTrackingColor 255 255 0
COLOURS
    TERVANE_DEMO_HIGH_CONTRAST=1 walk "$shots/high-contrast" >/dev/null ||
        { echo "The high-contrast walk stopped early."; status=1; }
    "$root/tools/wine-run.sh" reg import 'C:\colours-before.reg' >/dev/null 2>&1
    [ -f "$demo/received.txt" ] && cp "$demo/received.txt" "$run/demo-received.txt"
    echo
    echo "Screenshots of every page: $shots (150% and high contrast in its subfolders)"
fi
echo
echo "Configuration received by each simulated base unit:"
if [ -f "$run/demo-received.txt" ]; then
    sed 's/^/  /' "$run/demo-received.txt"
else
    echo "  (none)"
fi
echo
echo "To see the program update itself (installed 1.0.0 to 1.0.1): bash tools/run-update-demo.sh"
[ "$status" -eq 0 ] || echo "The walk-through stopped early (exit code $status)."
exit "$status"
