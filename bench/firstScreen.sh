#!/usr/bin/env bash
# Start to the first full screen of moxa on a 200 x 60 pseudo-terminal, against GNU diff on the
# same pair in the same run: median times of REPEAT runs each (default 5, the programs taking
# turns), their ratio, and median peak memory.
#   bench/firstScreen.sh [BUILD_DIR] [DATA_DIR]
# PAIRS names the pairs (default "logs1m logs10m": 1,000,000 and 10,000,000 log lines, 1%
# edited; about 90 MB and 900 MB a file). Missing pairs are generated into DATA_DIR (default
# ${TMPDIR:-/tmp}/qvd-bench) and kept there; they are never part of the source tree. BASELINE, a
# second release build directory, adds its moxa as a third program in the same turns, for a
# before-and-after comparison. The screen of files still being read shows their progress on its
# last row, which never falls quiet: moxa's first screen is complete once that row is there
# (OURS_TEXT, default "the files: "; the baseline's once its output falls quiet, as before).
ours_text="${OURS_TEXT-the files: }"
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build/release}"
data="${2:-${TMPDIR:-/tmp}/qvd-bench}"
repeat="${REPEAT:-5}"
pairs="${PAIRS:-logs1m logs10m}"
baseline="${BASELINE:-}"
for tool in bench/firstScreen bench/genInputs bench/measure app/moxa; do
    [ -x "$build/$tool" ] || { echo "firstScreen.sh: no $build/$tool (build the release preset)" >&2; exit 2; }
done
[ -z "$baseline" ] || [ -x "$baseline/app/moxa" ] || { echo "firstScreen.sh: no $baseline/app/moxa" >&2; exit 2; }
command -v diff >/dev/null || { echo "firstScreen.sh: GNU diff is missing" >&2; exit 2; }
mkdir -p "$data"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
field() { awk -v n="$1" '{ print $n }'; }

echo "first full screen on 200 x 60 against GNU diff, median of $repeat runs each"
printf '%-8s %-9s %9s %7s %12s %7s %s\n' pair program time ratio peak ratio "screen bytes"
for pair in $pairs; do
    lines=${pair#logs}
    lines=${lines/k/000}
    lines=${lines/m/000000}
    if [ ! -s "$data/$pair.right" ]; then
        echo "generating $pair..." >&2
        "$build/bench/genInputs" logs "$lines" 1 1 "$data/$pair.left" "$data/$pair.right"
    fi
    cat "$data/$pair.left" "$data/$pair.right" >/dev/null # into the page cache
    ours="" theirs="" before=""
    for ((run = 0; run < repeat; run++)); do
        ours+=$(FIRST_SCREEN_TEXT="$ours_text" "$build/bench/firstScreen" 1 200 60 "$build/app/moxa" "$data/$pair.left" "$data/$pair.right")$'\n'
        theirs+=$("$build/bench/measure" 1 diff "$data/$pair.left" "$data/$pair.right")$'\n'
        if [ -n "$baseline" ]; then
            before+=$("$build/bench/firstScreen" 1 200 60 "$baseline/app/moxa" "$data/$pair.left" "$data/$pair.right")$'\n'
        fi
    done
    diffTime=$(printf '%s' "$theirs" | field 1 | median)
    diffPeak=$(printf '%s' "$theirs" | field 2 | median)
    show() { # label results
        local time peak bytes
        time=$(printf '%s' "$2" | field 1 | median)
        peak=$(printf '%s' "$2" | field 2 | median)
        bytes=$(printf '%s' "$2" | field 3 | median)
        awk -v p="$pair" -v l="$1" -v t="$time" -v k="$peak" -v b="$bytes" -v d="$diffTime" -v m="$diffPeak" 'BEGIN {
            printf "%-8s %-9s %7.3f s %6.3fx %8d KiB %6.2fx %d\n", p, l, t, t / d, k, k / m, b }'
    }
    show moxa "$ours"
    [ -z "$baseline" ] || show baseline "$before"
    awk -v p="$pair" -v t="$diffTime" -v k="$diffPeak" 'BEGIN {
        printf "%-8s %-9s %7.3f s %7s %8d KiB\n", p, "diff", t, "", k }'
done
