#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while, starting from its committed seed corpus.
#
#   tests/fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
#
# Each target works on a copy of its seeds (the committed corpus stays small); a fault stops the
# run with the input that caused it kept in the work directory. Prints one pass line per target.
# Targets run side by side, one per processor (QVD_FUZZ_JOBS to change it): each is one process.
set -euo pipefail

build=$1
seconds=${2:-20}
shift $(($# >= 2 ? 2 : $#))
source=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/qvdFuzz.XXXXXX")
keepWork=0
trap '[ "$keepWork" = 1 ] || rm -rf "$work"' EXIT

targets=("$@")
if [ ${#targets[@]} = 0 ]; then
    for program in "$build"/tests/fuzz/fuzz*; do
        [ -x "$program" ] && targets+=("$(basename "$program")")
    done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build/tests/fuzz" >&2; exit 1; }

# Fuzzes one target; its verdict goes to $work/$target/result.
fuzzTarget() {
    local target=$1 corpusName seeds log runs coverage
    # fuzzKeyParser_wide -> keyParser: both builds share a corpus.
    corpusName=${target#fuzz}
    corpusName=${corpusName%_wide}
    corpusName=${corpusName%_narrow}
    corpusName=$(tr '[:upper:]' '[:lower:]' <<<"${corpusName:0:1}")${corpusName:1}
    seeds=$source/corpus/$corpusName
    mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
    log=$work/$target/log
    if ! [ -d "$seeds" ]; then
        echo "no seed corpus $seeds" >"$work/$target/result"
        return 1
    fi
    if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
        "$work/$target/corpus" "$seeds" >"$log" 2>&1; then
        { tail -n 40 "$log"; echo "FUZZ FAIL: $target; log and the failing input in $work/$target"; } \
            >"$work/$target/result"
        return 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -Eo 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
    echo "fuzz pass: $target, ${seconds} s, $runs runs, coverage $coverage, no finding" \
        >"$work/$target/result"
}

jobs=${QVD_FUZZ_JOBS:-$(nproc)}
failed=0
for ((first = 0; first < ${#targets[@]}; first += jobs)); do
    batch=("${targets[@]:first:jobs}")
    pids=()
    for target in "${batch[@]}"; do
        fuzzTarget "$target" &
        pids+=($!)
    done
    for index in "${!batch[@]}"; do
        wait "${pids[$index]}" || failed=1
        cat "$work/${batch[$index]}/result"
    done
    if [ "$failed" = 1 ]; then
        keepWork=1
        exit 1
    fi
done
