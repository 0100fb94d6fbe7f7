#!/usr/bin/env bash
# The help pages and the colour setup screen on a real terminal, driven through tmux.
#
#   helpTmux.sh CASE PROGRAM
#
# The program is copied into a directory of its own first: qvd.ini is written beside the
# executable, never beside the build's programs or into the source tree.
set -u

testCase=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qvdHelp.XXXXXX")
mkdir "$work/bin"
cp "$2" "$work/bin/" || exit 1
program="$work/bin/$(basename "$2")"
socket="qvd-help-$testCase-$$"
pane=qvd:0.0

tm() { tmux -L "$socket" -f /dev/null "$@"; }

cleanup() {
    tm kill-server >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

screen() { tm capture-pane -p -t "$pane"; }

fail() {
    echo "FAIL ($testCase): $*"
    echo "--- the pane shows:"
    screen 2>/dev/null
    exit 1
}

terminalType=tmux-256color
infocmp "$terminalType" >/dev/null 2>&1 || terminalType=screen

startShell() {
    tm new-session -d -s qvd -x 80 -y 25 \
        "env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=$work TERM=$terminalType LANG=C.UTF-8 PS1='$ ' bash --norc --noprofile -i" ||
        fail "tmux did not start"
    tm set -s escape-time 10
    tm set -g remain-on-exit on
    waitForText '\$' || fail "no shell prompt"
}

type() { tm send-keys -t "$pane" -l "$1"; }
press() { tm send-keys -t "$pane" "$@"; }

waitForText() {
    for _ in $(seq 100); do
        screen | grep -Eq -- "$1" && return 0
        sleep 0.1
    done
    return 1
}

waitForFile() {
    for _ in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Two files that differ, and the program started on them; the status lands in $work/status.
startView() {
    printf 'same line\nold line\n' >"$work/a.txt"
    printf 'same line\nnew line\n' >"$work/b.txt"
    rm -f "$work/status"
    type "$program $work/a.txt $work/b.txt; echo \$? > $work/status"
    press Enter
    waitForText 'old line' || fail "the view was not drawn"
}

quitView() {
    press q
    waitForFile "$work/status" || fail "the program did not end"
    [ "$(cat "$work/status")" = 1 ] || fail "exit status $(cat "$work/status"), expected 1"
}

helpPagesAndBackToTheView() {
    startShell
    startView
    press F1
    waitForText '^  Page 0$' || fail "F1 did not show page 0"
    screen | grep -q "Morvyn's File Compare 3.00h" || fail "no banner on page 0"
    screen | grep -q '^ ESC/ENTER/Q  exit with errorlevel 0' || fail "no key summary"
    local titles=("" "Specifying file names on the command line" "Command line examples"
        "Interactive usage" "Interactive usage II" "Interactive usage III" "Interactive usage IV")
    local page
    for page in 1 2 3 4 5 6; do
        press PageDown
        waitForText "^  Page $page$" || fail "PageDown did not show page $page"
        screen | grep -q "^ \{19\}${titles[$page]} *\$" || fail "page $page has not its title"
    done
    press PageDown
    sleep 0.3
    screen | grep -q '^  Page 6$' || fail "PageDown went past the last page"
    press Enter
    sleep 0.3
    screen | grep -q '^  Page 6$' || fail "ENTER left the help"
    press Escape
    waitForText 'old line' || fail "ESC did not bring the view back"
    screen | grep -q 'Page 6' && fail "the help is still on the screen"
    quitView
}

# Alt-F10 as xterm sends it; F steps the frame's foreground once; ENTER keeps it and the view
# writes qvd.ini beside the program.
colourSetupSavesAndTheNextStartUsesIt() {
    startShell
    startView
    type $'\e[21;3~'
    waitForText 'COLOUR   Frame and menu' || fail "Alt-F10 did not open the colour setup"
    screen | grep -q 'colour1.txt' || fail "no sample panes"
    type F
    press Enter
    waitForText 'old line' || fail "ENTER did not bring the view back"
    quitView
    [ -f "$work/bin/qvd.ini" ] || fail "no qvd.ini beside the program"
    [ "$(stat -c %s "$work/bin/qvd.ini")" = 14 ] || fail "qvd.ini is not 14 bytes"
    # Entry 1, frame: the default 0x1B (light cyan on blue) stepped to 0x1C (light red on blue).
    [ "$(od -An -tx1 -j2 -N2 "$work/bin/qvd.ini" | tr -d ' ')" = 1c00 ] ||
        fail "frame entry is $(od -An -tx1 -j2 -N2 "$work/bin/qvd.ini")"
    startView
    tm capture-pane -e -p -t "$pane" | head -1 | grep -Eq $'\e\\[(91|38;5;9)m(\e\\[[0-9;]*m)*\xe2\x94\x8c' ||
        fail "the frames are not drawn in light red: $(tm capture-pane -e -p -t "$pane" | head -1 | od -c | head -3)"
    quitView
}

# The Linux console has 8 colours and 64 colour pairs. Stepping the frame through every
# foreground on every background uses more colour pairs than that over the run; the colours shown
# afterwards must still be the ones asked for.
colourSetupColoursStayRightWhenPairsRunOut() {
    terminalType=linux
    startShell
    startView
    type $'\e[21;3~'
    waitForText 'COLOUR   Frame and menu' || fail "Alt-F10 did not open the colour setup"
    local background
    for background in 1 2 3 4 5 6 7 8; do
        type FFFFFFFFFFFFFFFFf
    done
    # Frame 0x1B again; seven f and fifteen F make it 0x8A: bright green (bold green on 8
    # colours) on dark grey (black on 8 colours).
    type fffffffFFFFFFFFFFFFFFF
    sleep 1
    local corner
    corner=$(tm capture-pane -e -p -t "$pane" | head -1 | sed 's/\xe2\x94\x8c.*//')
    [[ $corner == *32m* && $corner == *40m* ]] ||
        fail "the frame is not green on black: $(printf '%s' "$corner" | od -c | head -2)"
    press Escape
    waitForText 'old line' || fail "ESC did not bring the view back"
    quitView
}

"$testCase"
