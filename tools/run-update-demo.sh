#!/usr/bin/env bash
# Shows the program updating itself, under Wine on Xvfb, in a Wine prefix made fresh for it:
# the demo build 1.0.0 is installed by its own installer, finds 1.0.1 published by the
# stand-in update service, and the offer is accepted the way a person would. First a run
# where the downloaded installer is swapped for one signed by someone else (refused and
# deleted, the old program back), then the real update (the program back as 1.0.1).
# Screenshots of each step are saved under build/demo/update-screenshots/.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=tools/packages.sh
source "$root/tools/packages.sh"
demo="$root/build/demo"
echo "==> building the demo installers 1.0.0 and 1.0.1"
build_windows_targets "$demo/update-build.log" "The update demo" \
    TervaneConnectDemoSetup-1.0.0 TervaneConnectDemoSetup-1.0.1 update_walkthrough \
    trust_test_authority update_fixtures planted_dll || exit 1
shots="$demo/update-screenshots/$(date +%Y%m%d-%H%M%S)"
python3 "$root/tests/update/run_update_end_to_end.py" --build "$root/build/windows" \
    --workdir "$demo/update-run" --shots "$shots"
status=$?
echo
echo "Screenshots of the update: $shots"
exit "$status"
