#!/usr/bin/env bash
# The view on real terminals, with every byte the program writes to its terminal captured
# (script(1) between tmux and the program) and checked by terminalBytesCheck: only the program's
# own drawing sequences and its title, never a control from a file or a name, every character
# one column, no cursor address outside the screen. After every key the frames must still span
# the screen's width exactly: the grid never shifts.
#
#   safetyTests.sh CASE PROGRAM CHECKER [TERM] [COLUMNSxROWS]
#
# The helpers (tmux server per case, waitForText, expectStatus...) come from tmuxTests.sh.
set -u

here=$(cd "$(dirname "$0")" && pwd)
# tmuxTests.sh runs the case named by its first argument: ':' runs nothing.
# shellcheck source=tmuxTests.sh
source "$here/tmuxTests.sh" : "$2"
testCase=$1
program=$(realpath "$2")
checker=$(realpath "$3")
wantedTerminal=${4:-tmux-256color}
size=${5:-80x25}
columns=${size%x*}
rows=${size#*x}
trap 'tm kill-server >/dev/null 2>&1; sleep 0.3; rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8 # ${#line} counts characters

infocmp "$wantedTerminal" >/dev/null 2>&1 || { echo "SKIP: terminfo has no $wantedTerminal"; exit 0; }
terminalType=$wantedTerminal

# Bytes of UTF-16 LE for code units given in hex.
utf16() {
    local unit
    for unit in "$@"; do printf "\\x${unit:2:2}\\x${unit:0:2}"; done
}

# The hostile line: sequences that would set the title, the clipboard, ask the terminal to
# answer, clear the screen or start a device control string; every C0 and C1 control; invalid
# UTF-8; wide, combining and zero-width characters.
hostileUtf8() {
    printf 'esc \e]0;owned\a osc52 \e]52;c;ZWNobyBvd25lZA==\a dsr \e[6n title \e[21t clear \e[2J\e[H'
    printf ' dcs \eP1$qm\e\\ apc \e_x\e\\ mouse \e[?9h'
    printf ' c0 \x01\x02\x03\x04\x05\x06\x07\x08\x0b\x0c\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1c\x1d\x1e\x1f\x7f'
    printf ' c1 \xc2\x80\xc2\x85\xc2\x8d\xc2\x90\xc2\x9b[31m\xc2\x9d0;x\xc2\x9c raw \x9b[31m \x9d0;y\x07'
    printf ' bad \xc3( \xa0\xa1 \xed\xa0\x80 \xf4\x90\x80\x80 \xff\xfe'
    printf ' wide \xe6\xbc\xa2\xe5\xad\x97\xef\xbc\xa1 emoji \xf0\x9f\x98\x80\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9'
    printf ' comb e\xcc\x81a\xcc\x8a\xcc\x8a zw a\xe2\x80\x8bb\xe2\x80\x8cc\xe2\x80\x8dd\xef\xbb\xbfe bidi \xe2\x80\xaeevil\xe2\x80\xac tab\tend\n'
}

makeHostileFiles() {
    mkdir -p "$work/files"
    cd "$work/files" || exit 1
    local line
    line=$(hostileUtf8; echo x)
    line=${line%x}
    {
        printf '\xef\xbb\xbfplain line\n'
        printf '%s' "$line"
        printf 'a%s' "$line"
        printf 'plain end\n'
    } >utf8.txt
    { printf 'plain line\n%s' "$line"; printf 'plain end\n'; } >utf8other.txt
    { printf 'plain line\n%s' "$line"; printf 'b%s' "$line"; } >eight.txt
    { printf 'plain line\n%s' "$line"; } >eightother.txt
    {
        utf16 FEFF 0070 000A
        utf16 001B 005D 0030 003B 006F 0077 006E 0065 0064 0007 0020 009B 0033 0031 006D 0085
        utf16 D800 0020 DC00 0020 FFFF 0020 200B 0020 4E00 4E01 0020 0065 0301 0020 D83D DE00
        utf16 0020 0009 0078 000A
    } >utf16.txt
    { utf16 FEFF 0070 000A 0071 000A; } >utf16other.txt
    cp utf8other.txt $'\e]0;name\a\e[6n.txt'
    cd - >/dev/null || exit 1
}

# Every row that begins with a frame glyph spans the same width, at most the screen's, and ends
# in a frame glyph: a character drawn in other than its columns would shift the rest of its row.
# (Alt-F8 may make the console narrower than the terminal; before it, the frames span the
# terminal exactly.) The columns of a row are the terminal's: a wide character counts two.
expectGrid() {
    expectGridsIn "$1" "$2" "$(screen)"
}

# The check of expectGrid on screens taken one after another: shown holds them, each after a line
# "@@ label" (what it was taken after), and the checker measures them all in one run.
expectGridsIn() {
    local width=$1 label=$2 shown=$3 line frameWidth= columns
    exec 3< <("$checker" --columns <<<"$shown")
    while IFS= read -r line; do
        IFS= read -r columns <&3
        case $line in
        @@\ *)
            [ -z "$frameWidth" ] || expectExactWidth
            label=${line#@@ }
            frameWidth=
            ;;
        [┌│└├╞╘╒╔║╚]*)
            frameWidth=${frameWidth:-$columns}
            [ "$columns" = "$frameWidth" ] && [ "$columns" -le "$width" ] ||
                fail "a row of $columns columns among rows of $frameWidth (screen $width) after $label: '$line'"
            case $line in
            *[│┐┘┤┴┬║╗╝╣]) ;;
            *) fail "a frame row that does not end in the frame after $label: '$line'" ;;
            esac
            ;;
        esac
    done <<<"$shown"
    exec 3<&-
    expectExactWidth
}

# While exactWidth is set, the frames of the screen just checked span the whole screen.
expectExactWidth() {
    [ -z "${exactWidth:-}" ] || [ "$frameWidth" = "$width" ] ||
        fail "frames span $frameWidth columns, not the screen's $width, after $label"
}

# Each key pressed in turn, the screen taken after each, and all of them checked at the end as
# step checks one. The screen after a key and the next key go in one tmux command.
steps() {
    local key shots= number=0
    for key in "$@"; do
        if ((number == 0)); then
            press "$key"
        else
            shots+="$(tm capture-pane -p -t "$pane" \; send-keys -t "$pane" "$key")"$'\n'
        fi
        number=$((number + 1))
        shots+="@@ $key (key $number of this run)"$'\n'
        sleep "${pause:-0.15}"
    done
    shots+="$(screen)"$'\n'
    expectGridsIn "$currentColumns" "$1" "$shots"
}

# Every scroll position up to past the end of the longest line (two columns a step).
stepsRight() {
    local keys=() count
    for ((count = 0; count < $1; count++)); do keys+=(Right); done
    pause=0.03 steps "${keys[@]}"
}

# Starts the program under script(1) with the arguments (in the files directory).
startCaptured() {
    rm -f "$work/typescript"
    recordCommandLine "cd $(printf '%q' "$work/files") && SHELL=/bin/bash exec script -q -e -c $(printf '%q' "$(printf '%q ' "$program" "$@")") $(printf '%q' "$work/typescript")"
    type "clear; echo marker-before-run; sh $work/run.sh"
    press Enter
    waitForText 'ESC/ENTER quit|Case sensitive|TOGGLES|ENTER open' || fail "the view was not drawn for: $*"
}

# Presses a key, waits a moment for the drawing, and checks the grid.
step() {
    press "$@"
    sleep "${pause:-0.15}"
    expectGrid "$currentColumns" "$*"
}

expectCleanBytes() {
    local report
    report=$("$checker" "$work/typescript" --size "$1") || fail "terminal bytes: $report"
}

# tmux's record of the pane's mouse modes: 1000 and 1006, "11" while both are on.
mouseFlags() { tm display -p -t "$pane" '#{mouse_standard_flag}#{mouse_sgr_flag}'; }

waitForMouseFlags() {
    local try
    for ((try = 0; try < 50; try++)); do
        [ "$(mouseFlags)" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Whether the bytes written hold the fixed text (backslash escapes as printf %b takes them).
wrote() { grep -qaF -- "$(printf '%b' "$1")" "$work/typescript"; }

# One pair of hostile files (or a hostile name) per case, so that the cases run side by side.
hostileUtf8Content() { hostileContentAndNamesNeverReachTheTerminal "utf8.txt utf8other.txt"; }
hostileEightBitContent() { hostileContentAndNamesNeverReachTheTerminal "eight.txt eightother.txt"; }
hostileUtf16Content() { hostileContentAndNamesNeverReachTheTerminal "utf16.txt utf16other.txt"; }
hostileNames() { hostileContentAndNamesNeverReachTheTerminal $'utf8.txt \e]0;name\a\e[6n.txt'; }

hostileContentAndNamesNeverReachTheTerminal() { # pair...
    makeHostileFiles
    startShell "$columns" "$rows"
    currentColumns=$columns
    local title pair
    title=$(tm display -p -t "$pane" '#{pane_title}')
    for pair in "$@"; do
        # shellcheck disable=SC2086
        startCaptured ${pair% *} "${pair#* }"
        stepsRight 150
        step Home
        step o
        stepsRight 150
        step o
        step d
        step h
        step Right
        step s
        step PPage
        step h
        step s
        step q
        expectStatus 1
        expectModesRestored
        expectCleanBytes "${columns}x${rows}"
    done
    [ "$(tm display -p -t "$pane" '#{pane_title}')" = "$title" ] || fail "the user's title not back"
}

# Names with controls in the directory list: shown, never acted on by the terminal.
hostileNamesInTheDirectoryList() {
    makeHostileFiles
    local side name
    for side in left right; do
        mkdir -p "$work/files/$side/sub"$'\e[2J'
        for name in $'\e]0;name\a\e[6n.txt' $'c1 \xc2\x9b31m' $'bad \xff\xfe' $'wide \xe6\xbc\xa2\xe5\xad\x97'; do
            printf '%s\n' "$side" >"$work/files/$side/$name"
        done
    done
    startShell "$columns" "$rows"
    currentColumns=$columns
    startCaptured left right
    waitForText 'ENTER open' || fail "no directory list"
    step Down
    step Space
    step i
    step q
    expectStatus 1
    expectModesRestored
    expectCleanBytes "${columns}x${rows}"
}

longTail() {
    local number
    for number in $(seq 50); do
        printf 'tail %d with a line longer than the widest screen of the tests:%0300d\n' "$number" 0
    done
}

# Differing files with equal lines around: row 4 of the screen differs, row 2 is equal.
makeViewFiles() {
    mkdir -p "$work/files"
    {
        printf 'same 1\nsame 2\nchanged in old\n'
        seq -f 'line %g' 300
        printf 'only old\n'
        longTail
    } >"$work/files/old.txt"
    {
        printf 'same 1\nsame 2\nchanged in new\n'
        seq -f 'line %g' 300
        longTail
    } >"$work/files/new.txt"
}

colours() { tm capture-pane -e -p -t "$pane" | sed -n "$1p" | grep -o $'\e\\[[0-9;]*m' | tr -d '\n'; }

# Every key of the view, a resize, and F1 and Alt-F10 in and out, on one terminal type and size.
everyKeyOnThisTerminal() {
    makeViewFiles
    startShell "$columns" "$rows"
    currentColumns=$columns
    startCaptured old.txt new.txt
    local smallColumns=$((columns - 10)) smallRows=$((rows - 2))
    # Differing text stands out from equal text, also with eight colours.
    if [ "$rows" -ge 12 ]; then
        [ -n "$(colours 4)" ] || fail "no colours on $terminalType"
        [ "$(colours 2)" != "$(colours 4)" ] || fail "a differing line looks like an equal one on $terminalType"
    fi
    exactWidth=1
    steps Space Space + - 1 5 9 4 c c d d e e w w l l n n m m o o t t PPage NPage End Home \
        Down Down Up Right Right Left Home Space s s h Space Down Right Left h
    exactWidth=
    step M-F8
    step M-F9
    tm resize-window -t qvd -x "$smallColumns" -y "$smallRows"
    currentColumns=$smallColumns
    sleep 0.5
    step Space
    step s
    tm resize-window -t qvd -x "$columns" -y "$rows"
    currentColumns=$columns
    sleep 0.5
    step s
    press F1
    sleep 0.3
    press Escape
    sleep 0.3
    step Down
    press M-F10
    sleep 0.3
    press Escape
    sleep 0.3
    step Up
    press q
    expectStatus 1
    expectModesRestored
    # Without an alternate screen the program leaves the screen blank instead.
    if infocmp -1 "$terminalType" | grep -q smcup; then expectShellScreen; fi
    expectCleanBytes "${columns}x${rows}"
    # The mouse is asked for where the terminal reports it in xterm's way, never on the console.
    if [ "$terminalType" = linux ]; then
        ! wrote '\e[?100' || fail "a mouse mode was sent to the Linux console"
    else
        wrote '\e[?1006h\e[?1000h' || fail "the mouse was not asked for on $terminalType"
        waitForMouseFlags 00 || fail "the pane still reports the mouse"
    fi
}

# The extended reports of the wheel and of a click, typed into the pane as a terminal sends them:
# two notches down scroll six rows and one up three back, a click on "Hex mode" switches hex
# mode. tmux's record of the pane shows reporting on only while the view is shown: not while it
# is suspended, not after it. With --no-mouse not one mouse mode
# reaches the terminal.
mouseWheelAndClicksAndNoMouse() {
    makeViewFiles
    startShell "$columns" "$rows"
    currentColumns=$columns
    startCaptured old.txt new.txt
    waitForMouseFlags 11 || fail "mouse reporting is not on in the view: $(mouseFlags)"
    type $'\e[<65;10;5M'
    type $'\e[<65;10;5M'
    waitForRow 2 '^│   7 line 4 ' || fail "two notches of the wheel did not scroll six rows"
    type $'\e[<64;10;5M'
    waitForRow 2 '^│   4 line 1 ' || fail "a notch up did not scroll three rows back"
    screen | sed -n 23p | cut -c36-43 | grep -qx 'Hex mode' || fail "no Hex mode where it is clicked"
    type $'\e[<0;37;23M\e[<0;37;23m'
    waitForRow 2 '^│[0-9A-F]+ [0-9A-F]{2} ' || fail "a click on Hex mode did not switch hex mode"
    press q
    expectStatus 1
    expectModesRestored
    waitForMouseFlags 00 || fail "mouse reporting left on after the end"
    expectCleanBytes "${columns}x${rows}"

    startCaptured --no-mouse old.txt new.txt
    sleep 0.3
    [ "$(mouseFlags)" = 00 ] || fail "mouse reporting on with --no-mouse"
    press q
    expectStatus 1
    ! wrote '\e[?100' || fail "a mouse mode was written with --no-mouse"
    expectCleanBytes "${columns}x${rows}"

    # Suspended, the shell has the terminal and its mouse; fg asks for the mouse again. The
    # program runs from the shell itself, whose job it is to stop.
    type "clear; echo marker-suspend; $program $work/files/old.txt $work/files/new.txt"
    press Enter
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    waitForMouseFlags 11 || fail "mouse reporting is not on in the view"
    press C-z
    waitForText 'Stopped' || fail "Ctrl-Z did not suspend"
    waitForMouseFlags 00 || fail "mouse reporting left on while suspended"
    type "fg"
    press Enter
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn again after fg"
    waitForMouseFlags 11 || fail "mouse reporting not on again after fg"
    press q
    waitForText 'marker-suspend' || fail "the shell's screen did not come back"
    waitForMouseFlags 00 || fail "mouse reporting left on after the end"
}

"$testCase"
