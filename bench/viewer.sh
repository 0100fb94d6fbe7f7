#!/usr/bin/env bash
# The view's speed, in the same run as GNU diff on the same inputs:
#   (a) start to the end of a view without keys on the 1,000,000-line pair, its whole comparison
#       built (goal <= 0.6x diff; firstScreen.sh times the first screen on a real terminal), and
#       on a 1,000,000-line pair of UTF-8 text (accented words in every line), which moxa decodes;
#   (b) a rebuild after W or C on that pair, from the view's own wall time (goal <= 0.5x diff);
#   (c) one-row scroll on a 250 x 80 screen: CPU per key (goal <= 1 ms), cells it changes, and
#       bytes the real presenter writes to a terminal for it;
#   (d) folding and wrapping: f's answer on the 10,000,000-line pair once its comparison is built
#       (goal <= 0.1 s), and a one-row scroll there and on the 10k pair, unfolded, folded and
#       wrapped, each key's answer timed on its own (goal: folded and wrapped no slower than
#       unfolded), and on a terminal.
#   bench/viewer.sh [BUILD_DIR] [DATA_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build/release}"
data="${2:-${TMPDIR:-/tmp}/qvd-bench}"
repeat="${REPEAT:-3}"
for tool in bench/viewerBench bench/ptyKeys bench/genInputs bench/measure app/moxa; do
    [ -x "$build/$tool" ] || { echo "viewer.sh: no $build/$tool (build the release preset)" >&2; exit 2; }
done
mkdir -p "$data"
[ -s "$data/logs1m.right" ] || "$build/bench/genInputs" logs 1000000 1 1 "$data/logs1m.left" "$data/logs1m.right"
[ -s "$data/logs10k.right" ] || "$build/bench/genInputs" logs 10000 1 1 "$data/logs10k.left" "$data/logs10k.right"
[ -s "$data/utf8-1m.right" ] || "$build/bench/genInputs" utf8 1000000 1 1 "$data/utf8-1m.left" "$data/utf8-1m.right"
[ -s "$data/logs10m.right" ] || "$build/bench/genInputs" logs 10000000 1 1 "$data/logs10m.left" "$data/logs10m.right"

seconds() { "$build/bench/measure" "$repeat" "$@" | awk '{ print $1 }'; }
view() { seconds "$build/bench/viewerBench" 80 25 "$1" "$data/logs1m.left" "$data/logs1m.right" 2>/dev/null; }

# The view's own wall time in seconds, median of REPEAT runs: without the loading, which the
# keys do not change, so that the difference a key makes is not lost in its noise.
viewWall() {
    local run walls=""
    for ((run = 0; run < repeat; run++)); do
        walls+=$("$build/bench/viewerBench" 80 25 "$1" "$data/logs1m.left" "$data/logs1m.right" 2>&1 >/dev/null |
            awk '/view wall/ { print $3 / 1000 }')$'\n'
    done
    printf '%s' "$walls" | sort -g | sed -n "$(((repeat + 1) / 2))p"
}

diffTime=$(seconds diff "$data/logs1m.left" "$data/logs1m.right")
first=$(view "")
viewAlone=$(viewWall "")
withW=$(viewWall w)
withC=$(viewWall c)
echo "view on the 1M-line pair against GNU diff, median of $repeat runs each"
awk -v d="$diffTime" -v f="$first" -v v="$viewAlone" -v w="$withW" -v c="$withC" 'BEGIN {
    printf "  diff                        %7.3f s\n", d
    printf "  (a) whole view, no keys     %7.3f s  %5.2fx  (goal <= 0.6x)\n", f, f / d
    printf "  (b) rebuild after W         %7.3f s  %5.2fx  (goal <= 0.5x)\n", w - v, (w - v) / d
    printf "  (b) rebuild after C         %7.3f s  %5.2fx  (goal <= 0.5x)\n", c - v, (c - v) / d }'

diffUtf8=$(seconds diff "$data/utf8-1m.left" "$data/utf8-1m.right")
firstUtf8=$(seconds "$build/bench/viewerBench" 80 25 "" "$data/utf8-1m.left" "$data/utf8-1m.right" 2>/dev/null)
echo "view on the 1M-line UTF-8 pair (accented words in every line) against GNU diff"
awk -v d="$diffUtf8" -v f="$firstUtf8" 'BEGIN {
    printf "  diff                        %7.3f s\n", d
    printf "  (a) whole view, no keys     %7.3f s  %5.2fx\n", f, f / d }'

keys=2000
downs=$(printf 'v%.0s' $(seq $keys))
# viewerBench ends with the view's exit code, 1 after q.
cpuOf() { "$build/bench/viewerBench" 250 80 "$1" "$data/logs10k.left" "$data/logs10k.right" ${2:-} 2>&1 || true; }
base=$(cpuOf "" | awk '/view cpu/ { print $3 }')
scrolled=$(cpuOf "$downs" | awk '/view cpu/ { print $3 }')
changed=$(cpuOf "vv" changed | awk '/cells changed/ { print $7 }')
echo "one-row scroll on 250 x 80 (10k-line pair)"
awk -v b="$base" -v s="$scrolled" -v n="$keys" -v c="$changed" 'BEGIN {
    printf "  (c) in memory: %.4f ms CPU per key over %d keys (goal <= 1 ms); %d of 20000 cells change\n", (s - b) / n, n, c }'
ptyKeys=200
zero=$("$build/bench/ptyKeys" 250 80 0 "$build/app/moxa" "$data/logs10k.left" "$data/logs10k.right")
some=$("$build/bench/ptyKeys" 250 80 $ptyKeys "$build/app/moxa" "$data/logs10k.left" "$data/logs10k.right")
echo "  on a terminal (pty, TERM=xterm-256color, ncurses):"
echo "    without keys: $zero"
echo "    $ptyKeys Downs:   $some"
awk -v z="$zero" -v s="$some" -v n="$ptyKeys" 'BEGIN {
    split(z, a, "cpu "); split(s, b, "cpu "); printf "    (c) %.3f ms CPU per key, presenter included\n", (b[2] - a[2]) / n }'

# Each key's answer on its own (viewerBench keytimes), once the whole comparison is built: the
# mean of each key in milliseconds. Down and Up by turns, so that every key moves the view.
meanOf() { # key, keys, pair
    "$build/bench/viewerBench" 250 80 "$2" "$data/$3.left" "$data/$3.right" keytimes 2>&1 |
        awk -v key="$1" '$1 == "key" && $2 == key { print $5 }'
}
turns=$(printf 'v^%.0s' $(seq 1000))
echo "folding and wrapping, each key's answer timed on its own (mean, ms)"
for pair in logs10m logs10k; do
    unfolded=$(meanOf v "$turns" $pair)
    folded=$(meanOf v "f$turns" $pair)
    wrapped=$(meanOf v "z$turns" $pair)
    [ $pair = logs10m ] && echo "  (d) f on the 10M-line pair: $(meanOf f ffff $pair) ms (goal <= 100 ms)"
    echo "  (d) one-row scroll on 250 x 80, $pair: unfolded $unfolded, folded $folded, wrapped $wrapped"
done
for option in --context=3 --wrap; do
    some=$("$build/bench/ptyKeys" 250 80 $ptyKeys "$build/app/moxa" $option "$data/logs10k.left" "$data/logs10k.right")
    zero=$("$build/bench/ptyKeys" 250 80 0 "$build/app/moxa" $option "$data/logs10k.left" "$data/logs10k.right")
    awk -v z="$zero" -v s="$some" -v n="$ptyKeys" -v o="$option" 'BEGIN {
        split(z, a, "cpu "); split(s, b, "cpu ");
        printf "  (d) on a terminal with %s: %.3f ms CPU per Down, presenter included\n", o, (b[2] - a[2]) / n }'
done
