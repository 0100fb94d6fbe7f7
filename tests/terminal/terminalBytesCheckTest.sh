#!/usr/bin/env bash
# The terminal byte check on bytes made for it: what it must let pass and what it must refuse.
#   terminalBytesCheckTest.sh CHECKER
set -u
# A user's own defaults (QVD_OPTIONS) never reach the programs under test.
unset QVD_OPTIONS
checker=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qvdBytesCheck.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

# expect clean|fault SIZE BYTES (a printf format; SIZE "-" for none) NAME
expect() {
    printf "$3" >"$work/typescript"
    local size=() status
    [ "$2" = - ] || size=(--size "$2")
    "$checker" "$work/typescript" "${size[@]}" >"$work/report"
    status=$?
    if { [ "$1" = clean ] && [ "$status" != 0 ]; } || { [ "$1" = fault ] && [ "$status" != 1 ]; }; then
        echo "FAIL $4: expected $1, exit $status"
        cat "$work/report"
        failures=$((failures + 1))
    else
        echo "ok   $4"
    fi
}

wide='\xe4\xb8\xad'  # two columns
acute='\xcc\x81'     # a combining mark
expect clean 10x5 "\e[1;1H$wide${wide}ab" "wide characters drawn whole"
expect clean 10x5 "\e[1;9H$wide" "a wide character in the last two columns"
expect fault 10x5 "\e[1;10H$wide" "a wide character in the last column"
expect fault 10x5 "$wide" "a wide character where the cursor is not known"
expect fault - "\e[1;1H$wide" "a wide character without a screen size"
expect clean 10x5 "\e[H\e[8C$wide" "moved right to the last two columns"
expect fault 10x5 "\e[H\e[9C$wide" "moved right to the last column"
expect fault 10x5 "\e[H\t\t$wide" "tabs up to the last column"
expect clean 10x5 "\e[1;9H\r$wide" "carriage return"
expect clean 10x5 "\e[1;5H\e7\e[1;10H\e8$wide" "saved and restored column"
expect fault 10x5 "\e[1;5H\e[?1049h$wide" "the other screen's cursor is not known"
expect clean 10x5 "\e[1;6Hx\e[2b$wide" "after repeated characters"
expect fault 10x5 "\e[1;7Hx\e[2b$wide" "repeated characters up to the last column"
expect clean 10x5 "\e[He$acute${wide}\xcc\x80 " "marks right after their characters"
expect clean 10x5 "\e[Ha$acute$acute$acute$acute" "four marks"
expect fault 10x5 "\e[Ha$acute$acute$acute$acute$acute" "five marks"
expect fault 10x5 "\e[H$acute" "a mark with nothing before it"
expect fault 10x5 "\e[Ha\e[1m$acute" "a mark after a sequence"
expect fault 10x5 "\e[Ha\r$acute" "a mark after a control"
expect fault 10x5 "\e[Ha\xe2\x80\x8bb" "a zero-width space"
expect fault 10x5 "\e[Ha\xe2\x80\xaeb" "a direction control"
expect fault 10x5 "\e[Ha\xef\xb8\x8f" "a variation selector"
expect fault 10x5 "\e[Ha\xc2\xadb" "a soft hyphen"
expect fault 10x5 "\e[H\x07" "a bell"
expect fault 10x5 "\e[H\xc2\x9b" "a C1 control"
expect fault 10x5 "\e[H\xff" "invalid UTF-8"
expect fault 10x5 "\e[H\xf0\x9f\x98" "a character cut short"
expect fault 10x5 "\e]52;c;eA==\a" "a clipboard sequence"
expect fault 10x5 "\e[6n" "a status request"
expect fault 10x5 "\e[1;11H" "a cursor address beyond the screen"
expect fault 10x5 "\e[?1003h" "mouse motion reports"
expect fault 10x5 "\e[?9h" "the oldest mouse reports"
expect clean 10x5 "\e[?1006h\e[?1000h\e[?1000l\e[?1006l" "the program's own mouse modes"
expect clean 10x5 "\e]2;Morvyn's File Compare x\a\e[2;3Hplain \xe2\x94\x80" "the program's own"

[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }
