#!/usr/bin/env bash
# Speed comparisons. Usage: bench/run.sh BUILD_DIR (a release build; ./build.sh bench makes one).
set -euo pipefail
buildDir=$(cd "${1:?usage: bench/run.sh BUILD_DIR}" && pwd)
moxa=$buildDir/app/moxa
[ -x "$moxa" ] || { echo "no $moxa: build the release preset first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qvd-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Nanoseconds for one run of the command; its exit code must be the expected one.
timeOne() { # expectedExit command...
    local expected=$1 start end status
    shift
    start=$(date +%s%N)
    set +e
    "$@" >/dev/null
    status=$?
    set -e
    end=$(date +%s%N)
    [ "$status" = "$expected" ] || { echo "unexpected exit $status from: $*" >&2; exit 1; }
    echo $((end - start))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Runs both commands in turn, repetitions times, and prints their medians and the ratio.
compare() { # title expectedExit repetitions moxaArgs... -- cmpArgs...
    local title=$1 expected=$2 repetitions=$3
    shift 3
    local moxaArgs=() cmpArgs=()
    while [ "$1" != -- ]; do moxaArgs+=("$1"); shift; done
    shift
    cmpArgs=("$@")
    local moxaTimes=() cmpTimes=()
    for ((i = 0; i < repetitions; ++i)); do
        moxaTimes+=("$(timeOne "$expected" "$moxa" "${moxaArgs[@]}")")
        cmpTimes+=("$(timeOne "$expected" cmp "${cmpArgs[@]}")")
    done
    local moxaMedian cmpMedian
    moxaMedian=$(printf '%s\n' "${moxaTimes[@]}" | median)
    cmpMedian=$(printf '%s\n' "${cmpTimes[@]}" | median)
    awk -v t="$title" -v m="$moxaMedian" -v c="$cmpMedian" -v n="$repetitions" 'BEGIN {
        printf "%s (median of %d)\n  moxa -b %8.1f ms\n  cmp -s  %8.1f ms\n  ratio   %8.2f (goal <= 1.2)\n",
               t, n, m / 1e6, c / 1e6, m / c }'
}

# Section 1: the identity test of batch mode on two identical files of 100 MB, read from the page
# cache (both files are read once before timing).
head -c $((100 * 1024 * 1024)) /dev/urandom >"$work/one"
cp "$work/one" "$work/two"
cat "$work/one" "$work/two" >/dev/null
compare "Identical files of 100 MB" 0 9 -b "$work/one" "$work/two" -- -s "$work/one" "$work/two"

# Section 2: the comparison engine against GNU diff (its own script, with its own inputs).
"$(dirname "$0")/engine.sh" "$buildDir"

# Section 3: the view (first screen, rebuilds, one-row scroll), also against GNU diff.
"$(dirname "$0")/viewer.sh" "$buildDir"

# Section 4: the real program's first screen on a pseudo-terminal, against GNU diff (the pair of
# ten million lines only when asked for: PAIRS="logs1m logs10m").
PAIRS="${PAIRS:-logs1m}" "$(dirname "$0")/firstScreen.sh" "$buildDir"
