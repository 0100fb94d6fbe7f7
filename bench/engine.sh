#!/usr/bin/env bash
# Compares the engine, run as whole rowdump processes, with GNU diff on the same inputs in the
# same run: median times of REPEAT runs each (default 3, the two programs taking turns), their
# ratios, and median peak memory.
#   bench/engine.sh [BUILD_DIR] [DATA_DIR]
# BUILD_DIR defaults to build/release. The inputs (about 600 MB) are generated into DATA_DIR and
# kept there for the next run; without DATA_DIR they go to a temporary directory that is removed
# at the end.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build/release}"
if [ -n "${2:-}" ]; then
    data="$2"
else
    data=$(mktemp -d "${TMPDIR:-/tmp}/qvd-engine.XXXXXX")
    trap 'rm -rf "$data"' EXIT
fi
repeat="${REPEAT:-3}"
for tool in tools/rowdump bench/genInputs bench/measure; do
    [ -x "$build/$tool" ] || { echo "engine.sh: no $build/$tool (build the release preset)" >&2; exit 2; }
done
command -v diff >/dev/null || { echo "engine.sh: GNU diff is missing" >&2; exit 2; }
mkdir -p "$data"

generate() { # name generator-arguments...
    [ -s "$data/$1.right" ] && return 0
    echo "generating $1..." >&2
    "$build/bench/genInputs" "${@:2}" "$data/$1.left" "$data/$1.right"
}
generate logs1m logs 1000000 1 1
generate logs500k logs 500000 1 1
generate logs250k logs 250000 1 1
generate different100k different 100000 2

# Median of the first and of the second field of the lines on standard input.
medians() {
    local lines time peak
    lines=$(cat)
    time=$(awk '{ print $1 }' <<<"$lines" | sort -g | sed -n "$(((repeat + 1) / 2))p")
    peak=$(awk '{ print $2 }' <<<"$lines" | sort -g | sed -n "$(((repeat + 1) / 2))p")
    echo "$time $peak"
}

# Two programs on the pair NAME, taking turns so that a change in the machine's load hits both
# alike, and their medians side by side with the ratios.
race() { # label goal name first-program first-options second-program second-options
    local first="" second="" run
    for ((run = 0; run < repeat; run++)); do
        # shellcheck disable=SC2086 # the option lists are meant to split
        first+=$("$build/bench/measure" 1 "$4" $5 "$data/$3.left" "$data/$3.right")$'\n'
        # shellcheck disable=SC2086
        second+=$("$build/bench/measure" 1 "$6" $7 "$data/$3.left" "$data/$3.right")$'\n'
    done
    first=$(printf '%s' "$first" | medians)
    second=$(printf '%s' "$second" | medians)
    echo "$1|$2|$first|$second" | awk -F'|' '{
        split($3, a, " "); split($4, b, " ");
        printf "%-36s %7.3f s %7.3f s %6.2fx %-7s %8d KiB %8d KiB %5.2fx\n",
               $1, a[1], b[1], a[1] / b[1], $2, a[2], b[2], a[2] / b[2] }'
}

# rowdump with options against GNU diff with options.
# row label goal rowdump-options diff-options name
row() { race "$1" "$2" "$5" "$build/tools/rowdump" "$3" diff "$4"; }
# rowdump with options against rowdump without them.
# withAndWithout label goal rowdump-options name
withAndWithout() { race "$1" "$2" "$4" "$build/tools/rowdump" "$3" "$build/tools/rowdump" ""; }

echo "rowdump against GNU diff, median of $repeat runs each, same inputs ($data)"
printf '%-36s %9s %9s %7s %-7s %12s %12s %6s\n' case rowdump diff ratio goal "rowdump peak" \
    "diff peak" ratio
row "(a) logs 1M lines, 1% edited" "<=0.5x" "" "" logs1m
row "(b) no line in common, 100k lines" "<=1.0x" "" "" different100k
row "(c) logs 1M: -c -w / diff -i -b" "<=0.5x" "-c -w" "-i -b" logs1m
row "(c) no line in common: -c -w / -i -b" "<=1.0x" "-c -w" "-i -b" different100k
row "(c) logs 1M: -c -w / plain diff" "<=0.5x" "-c -w" "" logs1m
row "(c) no line in common: -c -w / plain" "<=1.0x" "-c -w" "" different100k
echo "growth with the number of lines (logs, 1% edited):"
row "logs 250k" "" "" "" logs250k
row "logs 500k" "" "" "" logs500k
row "logs 1M" "" "" "" logs1m

echo "rowdump --align=histogram (rare lines, similar lines paired) against GNU diff:"
row "(h) logs 1M lines, 1% edited" "<=0.5x" --align=histogram "" logs1m
row "(h) no line in common, 100k lines" "<=1.0x" --align=histogram "" different100k

echo "rowdump --long-runs against rowdump without it:"
printf '%-36s %9s %9s %7s %-7s %12s %12s %6s\n' case with without ratio goal "with peak" \
    "without peak" ratio
withAndWithout "(d) no line in common, 100k lines" "<=1.5x" --long-runs different100k
withAndWithout "(d) logs 1M lines, 1% edited" "" --long-runs logs1m

if [ -x "$build/bench/engineBench" ]; then
    echo "engine stages in memory (Google Benchmark):"
    "$build/bench/engineBench" 2>/dev/null | grep -E '^(lineTable|diffList|histogramList)'
fi
