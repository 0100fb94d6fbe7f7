#!/usr/bin/env bash
# The view's speed, in the same run as GNU diff on the same inputs:
#   (a) start to the first full screen on the 1,000,000-line pair (goal <= 0.6x diff), and on a
#       1,000,000-line pair of UTF-8 text (accented words in every line), which moxa decodes;
#   (b) a rebuild after W or C on that pair (goal <= 0.5x diff);
#   (c) one-row scroll on a 250 x 80 screen: CPU per key (goal <= 1 ms), cells it changes, and
#       bytes the real presenter writes to a terminal for it.
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

seconds() { "$build/bench/measure" "$repeat" "$@" | awk '{ print $1 }'; }
view() { seconds "$build/bench/viewerBench" 80 25 "$1" "$data/logs1m.left" "$data/logs1m.right" 2>/dev/null; }

diffTime=$(seconds diff "$data/logs1m.left" "$data/logs1m.right")
first=$(view "")
withW=$(view w)
withC=$(view c)
echo "view on the 1M-line pair against GNU diff, median of $repeat runs each"
awk -v d="$diffTime" -v f="$first" -v w="$withW" -v c="$withC" 'BEGIN {
    printf "  diff                        %7.3f s\n", d
    printf "  (a) first full screen       %7.3f s  %5.2fx  (goal <= 0.6x)\n", f, f / d
    printf "  (b) rebuild after W         %7.3f s  %5.2fx  (goal <= 0.5x)\n", w - f, (w - f) / d
    printf "  (b) rebuild after C         %7.3f s  %5.2fx  (goal <= 0.5x)\n", c - f, (c - f) / d }'

diffUtf8=$(seconds diff "$data/utf8-1m.left" "$data/utf8-1m.right")
firstUtf8=$(seconds "$build/bench/viewerBench" 80 25 "" "$data/utf8-1m.left" "$data/utf8-1m.right" 2>/dev/null)
echo "view on the 1M-line UTF-8 pair (accented words in every line) against GNU diff"
awk -v d="$diffUtf8" -v f="$firstUtf8" 'BEGIN {
    printf "  diff                        %7.3f s\n", d
    printf "  (a) first full screen       %7.3f s  %5.2fx\n", f, f / d }'

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
