#!/usr/bin/env bash
# Two directory trees compared by moxa -b and by treeCompare (the whole comparison) against GNU
# diff -rq on the same pair: median time of REPEAT runs each (default 5, the programs taking
# turns, after one run of each to have the trees in the page cache), the ratio, and median peak
# memory.
#   bench/trees.sh [BUILD_DIR] [DATA_DIR]
# FILES (default 100000) files of 10 KiB, about 1 GB a tree, 100 to a directory: t1; t2, with 1% of
# the files changed in one byte; same, a copy of t1. They are generated into DATA_DIR/trees100k
# (the name follows FILES; DATA_DIR defaults to ${TMPDIR:-/tmp}/qvd-bench) when missing and kept
# there; they are never part of the source tree. The rows:
#   t1 t2    moxa -b      stops at the first difference, as batch mode does
#   t1 same  moxa -b      identical trees: every path walked and every file read
#   t1 t2    treeCompare  every path walked and every two files compared, differences and all
# diff -rq always goes through the whole trees.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build/release}"
data="${2:-${TMPDIR:-/tmp}/qvd-bench}"
repeat="${REPEAT:-5}"
files="${FILES:-100000}"
for tool in bench/genInputs bench/measure bench/treeCompare bench/firstScreen app/moxa; do
    [ -x "$build/$tool" ] || { echo "trees.sh: no $build/$tool (build the release preset)" >&2; exit 2; }
done
command -v diff >/dev/null || { echo "trees.sh: GNU diff is missing" >&2; exit 2; }

name="trees$files"
[ $((files % 1000)) -ne 0 ] || name="trees$((files / 1000))k"
trees="$data/$name"
if [ ! -d "$trees" ]; then
    # Made beside its place and moved there once complete: a broken run leaves no half trees.
    rm -rf "$trees.partial"
    mkdir -p "$trees.partial"
    echo "generating $name: 3 trees of $files files..." >&2
    start=$(date +%s%N)
    "$build/bench/genInputs" trees "$files" 1 1 "$trees.partial/t1" "$trees.partial/t2" "$trees.partial/same"
    mv "$trees.partial" "$trees"
    awk -v t=$(($(date +%s%N) - start)) 'BEGIN { printf "generated in %.1f s\n", t / 1e9 }' >&2
fi

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
field() { awk -v n="$1" '{ print $n }'; }

# Times one of ours against diff -rq on the pair, in turns.
race() { # pair label command...
    local pair=$1 label=$2 ours="" theirs=""
    shift 2
    local left="$trees/${pair% *}" right="$trees/${pair#* }"
    "$@" "$left" "$right" >/dev/null || [ $? -eq 1 ]
    diff -rq "$left" "$right" >/dev/null || [ $? -eq 1 ]
    for ((run = 0; run < repeat; run++)); do
        ours+=$("$build/bench/measure" 1 "$@" "$left" "$right")$'\n'
        theirs+=$("$build/bench/measure" 1 diff -rq "$left" "$right")$'\n'
    done
    local time peak diffTime diffPeak
    time=$(printf '%s' "$ours" | field 1 | median)
    peak=$(printf '%s' "$ours" | field 2 | median)
    diffTime=$(printf '%s' "$theirs" | field 1 | median)
    diffPeak=$(printf '%s' "$theirs" | field 2 | median)
    awk -v p="$pair" -v l="$label" -v t="$time" -v k="$peak" -v d="$diffTime" -v m="$diffPeak" 'BEGIN {
        printf "%-8s %-12s %7.3f s %7.3fx %8d KiB %6.2fx\n", p, l, t, t / d, k, k / m
        printf "%-8s %-12s %7.3f s %8s %8d KiB\n", p, "diff -rq", d, "", m }'
}

echo "$name: $(du -sh "$trees/t1" | field 1) a tree; median of $repeat runs each, warm cache"
echo "treeCompare t1 t2: $("$build/bench/treeCompare" "$trees/t1" "$trees/t2" || true)"
printf '%-8s %-12s %9s %8s %12s %7s\n' pair program time ratio peak ratio
race "t1 t2" "moxa -b" "$build/app/moxa" -b
race "t1 same" "moxa -b" "$build/app/moxa" -b
race "t1 t2" treeCompare "$build/bench/treeCompare"

# The directory list's first screen on a 200 x 60 pseudo-terminal: the screen is complete once its
# 57th row, the path that comes 57th in the walk, has been drawn.
lastShown=$(cd "$trees/t1" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort -t/ -k1,1 -k2,2 -k3,3 | sed -n 57p)
times=""
for ((run = 0; run < repeat; run++)); do
    times+=$(FIRST_SCREEN_TEXT="$lastShown" "$build/bench/firstScreen" 1 200 60 "$build/app/moxa" \
        "$trees/t1" "$trees/t2" | field 1)$'\n'
done
diffTime=$("$build/bench/measure" 1 diff -rq "$trees/t1" "$trees/t2" | field 1)
awk -v t="$(printf '%s' "$times" | median)" -v d="$diffTime" 'BEGIN {
    printf "%-8s %-12s %7.3f s %7.3fx   (the list on show, to %s, against diff -rq %.3f s)\n", "t1 t2", "list screen", t, t / d, "row 57", d }'
