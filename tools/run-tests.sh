#!/usr/bin/env bash
# Builds everything and runs every test on a Debian 12 machine: the host suites natively with
# AddressSanitizer and UndefinedBehaviorSanitizer, the same portable suites and the Windows
# layer's suites cross-compiled and run under Wine, and each fuzz target for a bounded time.
# Installs missing Debian packages when run as root; otherwise prints the install line.
#
#   tools/run-tests.sh                  everything
#   FUZZ_SECONDS=300 tools/run-tests.sh longer fuzzing (default 20 s per target)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
started=$(date +%s)
fuzz_seconds="${FUZZ_SECONDS:-20}"
jobs="${TEST_JOBS:-2}"

# shellcheck source=tools/packages.sh
source "$root/tools/packages.sh"
ensure_packages || exit 1

status=0
results="$root/build/test-results"
rm -rf "$results"
mkdir -p "$results"

stage() {  # stage NAME COMMAND...: runs a build step, records a failure without stopping
    local name="$1"
    shift
    echo "==> $name"
    if ! "$@" >"$results/$name.log" 2>&1; then
        echo "FAILED: $name (log: $results/$name.log)"
        tail -n 40 "$results/$name.log"
        echo "stage $name failed" >>"$results/stage-failures.txt"
        status=1
        return 1
    fi
}

run_ctest() {  # run_ctest BUILD_DIR
    local dir="$1"
    echo "==> ctest in $dir"
    (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 900) | tee "$results/ctest-$(basename "$dir").log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}

for preset in host windows; do
    if stage "configure-$preset" cmake --preset "$preset" &&
        stage "build-$preset" cmake --build --preset "$preset" -j "$jobs"; then
        run_ctest "build/$preset"
    fi
done

if stage configure-fuzz cmake --preset fuzz && stage build-fuzz cmake --build --preset fuzz -j "$jobs"; then
    "$root/tools/run-fuzzers.sh" "$fuzz_seconds" | tee "$results/fuzz.log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
fi

elapsed=$(($(date +%s) - started))
echo "Finished in $((elapsed / 60)) min $((elapsed % 60)) s"
python3 "$root/tools/summarize-tests.py" "$results" build/host build/windows || status=1
exit "$status"
