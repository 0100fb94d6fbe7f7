#!/usr/bin/env bash
# The aligned list of one build against another's, row for row, on the bench pairs and a few
# small ones, under every option that changes it: for a change that must not change the rows.
#   bench/sameRows.sh BUILD_DIR BASE_BUILD_DIR [DATA_DIR]
# Both builds need tools/rowdump (the release preset builds it); the pairs are generated into
# DATA_DIR (default ${TMPDIR:-/tmp}/qvd-bench) and kept there. Prints one line per pair and
# option set, and "same rows" or the first difference; exit status 1 when any differs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build=${1:?usage: bench/sameRows.sh BUILD_DIR BASE_BUILD_DIR [DATA_DIR]}
base=${2:?usage: bench/sameRows.sh BUILD_DIR BASE_BUILD_DIR [DATA_DIR]}
data="${3:-${TMPDIR:-/tmp}/qvd-bench}"
for dir in "$build" "$base"; do
    [ -x "$dir/tools/rowdump" ] || { echo "sameRows.sh: no $dir/tools/rowdump" >&2; exit 2; }
done
mkdir -p "$data"
generate() { # name generator-arguments...
    [ -s "$data/$1.right" ] || "$build/bench/genInputs" "${@:2}" "$data/$1.left" "$data/$1.right"
}
generate logs1m logs 1000000 1 1
generate different100k different 100000 2
generate utf8-100k utf8 100000 1 1
small=$(mktemp -d "${TMPDIR:-/tmp}/qvd-rows.XXXXXX")
trap 'rm -rf "$small"' EXIT
printf 'a\n\nB  c\n\td\n' >"$small/one.left"
printf 'A\n b c\n\n\nd\ne\n' >"$small/one.right"
printf '\xff\xfea\0\n\0b\0\n\0' >"$small/utf16.left"
printf 'a\nc\n' >"$small/utf16.right"
: >"$small/empty.left"
cp "$here/../examples/old.txt" "$small/example.left"
cp "$here/../examples/new.txt" "$small/example.right"
cp "$here/../examples/new.txt" "$small/empty.right"

pairs=("$data/logs1m" "$data/different100k" "$data/utf8-100k" "$small/one" "$small/utf16"
       "$small/empty" "$small/example")
optionSets=("" "-c" "-w" "-e" "-c -w -e" "-s" "-1" "-9" "-s -2" "--long-runs" "--long-runs -e"
            "-h" "-h -c" "--row-bytes=7 -h" "--row-bytes=24 -h -w")
failed=0
for pair in "${pairs[@]}"; do
    for options in "${optionSets[@]}"; do
        # --row-bytes must come first, as rowdump takes it.
        read -r -a words <<<"$options"
        new=$("$build/tools/rowdump" "${words[@]}" "$pair.left" "$pair.right" | md5sum)
        old=$("$base/tools/rowdump" "${words[@]}" "$pair.left" "$pair.right" | md5sum)
        if [ "$new" = "$old" ]; then
            echo "same rows: $(basename "$pair") ${options:-(no options)}"
        else
            echo "ROWS DIFFER: $(basename "$pair") ${options:-(no options)}"
            failed=1
        fi
    done
done
exit $failed
