#!/usr/bin/env bash
# Runs every libFuzzer target of build/fuzz for the given number of seconds each, with its seed
# corpus from tests/fuzz/corpus/<target> when there is one. Prints one line per target.
#   tools/run-fuzzers.sh [SECONDS]      (default 600: the long run; the test command uses 20)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
build="$root/build/fuzz/tests/fuzz"
[ -d "$build" ] || { echo "build the fuzz preset first: cmake --preset fuzz && cmake --build --preset fuzz"; exit 1; }
status=0
for target in "$build"/fuzz_*; do
    [ -x "$target" ] && [ -f "$target" ] || continue
    name="$(basename "$target")"
    corpus="$root/build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds=()
    [ -d "$root/tests/fuzz/corpus/$name" ] && seeds=("$root/tests/fuzz/corpus/$name")
    log="$root/build/fuzz/$name.log"
    if (cd "$root/build/fuzz" && "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
            -timeout=10 -print_final_stats=1 "$corpus" "${seeds[@]}") >"$log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
        echo "fuzz $name: passed (${runs:-?} inputs in ${seconds} s)"
    else
        echo "fuzz $name: FAILED (log: $log)"
        tail -n 30 "$log"
        status=1
    fi
done
exit "$status"
