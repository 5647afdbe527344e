#!/usr/bin/env bash
# Installs, reinstalls and uninstalls with the NSIS installer in a Wine prefix of its own, the
# way the update helper runs it, and checks the files and the registration values.
#   installer_test.sh INSTALLER.exe WORK_FOLDER
set -uo pipefail
installer="${1:?}"
work="${2:?}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEPREFIX="$work/wineprefix"
rm -rf "$work"
mkdir -p "$work"
run() { "$here/tools/wine-run.sh" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
wait_wine() { "$(dirname "${WINE64:-/usr/lib/wine/wine64}")/wineserver" -w; }

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    if "$@"; then passed=$((passed + 1)); echo "ok: $what"
    else failed=$((failed + 1)); echo "FAILED: $what"; fi
}
install() {  # install MODE-SWITCH: a silent install as the update helper runs it
    run "$work/setup.exe" /SILENT /SP- /NORESTART /RESTARTEXITCODE=3010 "$1"
}
value() {  # value ROOT NAME: prints the registration value
    run reg query "$1\\Software\\Tervane\\Tervane Connect" /v "$2" | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  */, ""); print }'
}
user_dir="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Local/Programs/Tervane Connect"
machine_dir="$WINEPREFIX/drive_c/Program Files/Tervane Connect"

"$here/tools/wine-prefix-init.sh" "$WINEPREFIX" >/dev/null || { echo "FAILED: Wine prefix"; exit 1; }
cp "$installer" "$work/setup.exe"

install /CURRENTUSER
check "per-user install exits 0" test $? -eq 0
check "per-user install puts the program in place" test -f "$user_dir/TervaneConnect.exe"
check "per-user install writes Installed=1" test "$(value HKCU Installed)" = "0x1"
check "per-user install writes InstallMode" test "$(value HKCU InstallMode)" = "currentuser"
check "per-user install writes InstallPath without a trailing backslash" \
    test "$(value HKCU InstallPath)" = 'C:\users\'"$(whoami)"'\AppData\Local\Programs\Tervane Connect'

echo "stale" >"$user_dir/TervaneConnect.exe"
install /CURRENTUSER
check "reinstall exits 0" test $? -eq 0
check "reinstall replaces the old program" cmp -s "$user_dir/TervaneConnect.exe" "$here/build/windows/tests/update/signing_sample.exe"

install /ALLUSERS
check "all-users install exits 0" test $? -eq 0
check "all-users install puts the program in place" test -f "$machine_dir/TervaneConnect.exe"
check "all-users install writes InstallMode" test "$(value HKLM InstallMode)" = "allusers"
check "all-users install writes InstallPath" test "$(value HKLM InstallPath)" = 'C:\Program Files\Tervane Connect'

run "$user_dir/Uninstall.exe" /S
wait_wine
check "per-user uninstall removes the program" test ! -e "$user_dir/TervaneConnect.exe"
check "per-user uninstall removes the registration" test -z "$(value HKCU Installed)"
check "per-user uninstall leaves the all-users installation" test "$(value HKLM Installed)" = "0x1"

run "$machine_dir/Uninstall.exe" /S
wait_wine
check "all-users uninstall removes the program" test ! -e "$machine_dir/TervaneConnect.exe"
check "all-users uninstall removes the registration" test -z "$(value HKLM Installed)"

"$(dirname "${WINE64:-/usr/lib/wine/wine64}")/wineserver" -k 2>/dev/null
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
