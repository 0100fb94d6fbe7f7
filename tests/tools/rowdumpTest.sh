#!/usr/bin/env bash
# rowdump end to end: options, decoding, table modes, exit codes and the exact output format.
#   rowdumpTest.sh ROWDUMP
set -uo pipefail
# A user's own defaults (QVD_OPTIONS) never reach the programs under test.
unset QVD_OPTIONS
rowdump="$1"
work=$(mktemp -d "${TMPDIR:-/tmp}/rowdump-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

# expect NAME EXIT EXPECTED-OUTPUT rowdump-arguments...
expect() {
    local name="$1" code="$2" expected="$3" output status
    shift 3
    output=$("$rowdump" "$@" 2>&1)
    status=$?
    if [ "$status" != "$code" ]; then
        echo "FAIL $name: exit $status, expected $code; output:"$'\n'"$output"
        failures=$((failures + 1))
    elif [ -n "$expected" ] && [ "$output" != "$expected" ]; then
        echo "FAIL $name: output"$'\n'"$output"$'\n'"expected"$'\n'"$expected"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

printf 'A\nB\nC\nD\nE\nF\n' >"$work/six"
printf 'A\nC\nD\nE\nF\n' >"$work/five"
expect "a left-only line" 0 "rows 6 flags 0x00 digits 1
1 1 1
2 0 0
3 2 1
4 3 1
5 4 1
6 5 1" "$work/six" "$work/five"

expect "identical files still get their rows" 0 "rows 5 flags 0x00 digits 1
1 1 1
2 2 1
3 3 1
4 4 1
5 5 1" "$work/five" "$work/five"

printf 'first\r\nsecond\r\n' >"$work/crlf"
printf 'first\nsecond\n' >"$work/lf"
expect "CR LF against LF" 0 "rows 2 flags 0x00 digits 1
1 1 1
2 2 1" "$work/crlf" "$work/lf"

# UTF-16 with its mark against 8-bit text: the 8-bit file is brought to UTF-16.
printf '\xff\xfea\x00\n\x00b\x00\n\x00' >"$work/utf16"
printf 'a\nc\n' >"$work/ansi"
expect "UTF-16 against 8-bit text" 0 "rows 2 flags 0x41 digits 1
1 1 1
2 2 0" "$work/utf16" "$work/ansi"

# UTF-8 without a signature is Linux text: read as a signed file would be, with the same flag.
printf 'caf\xc3\xa9\n\xe4\xb8\xad\xe6\x96\x87\n\xf0\x9f\x98\x80\n' >"$work/utf8a"
printf 'caf\xc3\xa9\n\xe4\xb8\xad\n\xf0\x9f\x98\x80\n' >"$work/utf8b"
expect "two UTF-8 files without signatures" 0 "rows 3 flags 0x22 digits 2
1 1 1
2 2 0
3 3 1" "$work/utf8a" "$work/utf8b"
printf 'cafe\nplain\n' >"$work/ascii"
expect "UTF-8 against ASCII" 0 "rows 3 flags 0x42 digits 2
1 1 0
2 2 0
3 0 0" "$work/utf8a" "$work/ascii"
printf 'cafe\nother\n' >"$work/ascii2"
expect "two ASCII files" 0 "rows 2 flags 0x00 digits 1
1 1 1
2 2 0" "$work/ascii" "$work/ascii2"
printf 'caf\xc3\xa9\n\xe9t\xe9\n' >"$work/invalid"
expect "invalid UTF-8 against ASCII stays 8-bit" 0 "rows 2 flags 0x00 digits 1
1 1 0
2 2 0" "$work/invalid" "$work/ascii"
printf '\xc3\x89COLE\nsame\n' >"$work/upper"
printf '\xc3\xa9cole\nsame\n' >"$work/lower"
expect "-c pairs letters beyond ASCII" 0 "rows 2 flags 0x22 digits 1
1 1 1
2 2 1" -c "$work/upper" "$work/lower"
expect "without -c they differ" 0 "rows 2 flags 0x22 digits 1
1 1 0
2 2 1" "$work/upper" "$work/lower"
# The same text in UTF-16 (with its mark): every row equal.
printf '\xff\xfec\x00a\x00f\x00\xe9\x00\n\x00\x2d\x4e\x87\x65\n\x00\x3d\xd8\x00\xde\n\x00' >"$work/utf16twin"
expect "UTF-8 against its UTF-16 twin" 0 "rows 3 flags 0x12 digits 2
1 1 1
2 2 1
3 3 1" "$work/utf8a" "$work/utf16twin"

printf 'aaaaBBBBcc' >"$work/hex1"
printf 'aaaabbbbccddddeeee' >"$work/hex2"
expect "hex rows of 4 bytes" 0 "rows 5 flags 0x00 digits 2
1 1 1
2 2 0
3 3 0
0 4 0
0 5 0" --row-bytes=4 -h "$work/hex1" "$work/hex2"
expect "hex rows ignoring case" 0 "rows 5 flags 0x00 digits 2
1 1 1
2 2 1
3 3 0
0 4 0
0 5 0" --row-bytes=4 -h -c "$work/hex1" "$work/hex2"
expect "hex rows of the default 16 bytes" 0 "rows 2 flags 0x00 digits 2
1 1 0
0 2 0" -h "$work/hex1" "$work/hex2"

printf 'a\n\n  \nb\n' >"$work/blank1"
printf 'a\nb\n\t\n' >"$work/blank2"
expect "suppressed white lines" 0 "rows 2 flags 0x00 digits 1
1 1 1
2 2 1" -e "$work/blank1" "$work/blank2"
expect "white lines kept" 0 "" "$work/blank1" "$work/blank2"

# 650 lines inserted after line 1000 of 3000: beyond the window, so without --long-runs every later
# line pairs up with the wrong one; with it the 650 new lines are the only unmatched rows.
unmatched() { "$rowdump" "$@" | awk 'NR > 1 && $3 == 0' | wc -l; }
seq 3000 >"$work/numbers"
{ seq 1000; seq 650 | sed 's/^/new /'; seq 1001 3000; } >"$work/inserted"
for run in "2650:" "650:--long-runs" "650:-s --long-runs" "650:--long-runs -1"; do
    options=${run#*:}
    # shellcheck disable=SC2086 # the options are meant to split
    count=$(unmatched $options "$work/numbers" "$work/inserted")
    if [ "$count" = "${run%%:*}" ]; then
        echo "ok   long insertion, options '$options': $count unmatched rows"
    else
        echo "FAIL long insertion, options '$options': $count unmatched rows, expected ${run%%:*}"
        failures=$((failures + 1))
    fi
done

expect "unknown option" 2 "" -q "$work/six" "$work/five"
expect "a long option other than --long-runs" 2 "" --long "$work/six" "$work/five"
expect "missing file" 2 "" "$work/six" "$work/none"
expect "no file names" 2 ""
expect "row width 0" 2 "" --row-bytes=0 -h "$work/six" "$work/five"
expect "row width not a number" 2 "" --row-bytes=x "$work/six" "$work/five"

[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }
