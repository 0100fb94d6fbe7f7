#!/usr/bin/env bash
# The help pages and the colour setup screen on a real terminal, driven through tmux with the
# helpers of tests/terminal/tmuxTests.sh (its cases run by name, so the cases below are defined
# first and the helpers sourced after).
#
#   helpTmux.sh CASE PROGRAM
#
# Each case runs a copy of the program in a directory of its own: qvd.ini is written beside the
# executable, never beside the build's programs or into the source tree.

useCopyOfProgram() {
    mkdir -p "$work/bin"
    cp "$program" "$work/bin/" || fail "cannot copy $program"
    program="$work/bin/$(basename "$program")"
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
    useCopyOfProgram
    startShell 80 25
    startView
    press F1
    waitForText '^  Page 0$' || fail "F1 did not show page 0"
    screen | grep -q "Morvyn's File Compare 3.00h" || fail "no banner on page 0"
    screen | grep -q '^ ESC/ENTER/Q  exit with errorlevel 1' || fail "no key summary"
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
# writes the user's qvd.ini (the colours came from no file), never one beside the program.
colourSetupSavesAndTheNextStartUsesIt() {
    useCopyOfProgram
    startShell 80 25
    startView
    type $'\e[21;3~'
    waitForText 'COLOUR   Frame and menu' || fail "Alt-F10 did not open the colour setup"
    screen | grep -q 'colour1.txt' || fail "no sample panes"
    type F
    press Enter
    waitForText 'old line' || fail "ENTER did not bring the view back"
    quitView
    local saved=$work/.config/qvd/qvd.ini
    [ ! -e "$work/bin/qvd.ini" ] || fail "a qvd.ini beside the program"
    [ -f "$saved" ] || fail "no qvd.ini in the user's directory"
    [ "$(stat -c %s "$saved")" = 14 ] || fail "qvd.ini is not 14 bytes"
    # Entry 1, frame: the default 0x1B (light cyan on blue) stepped to 0x1C (light red on blue).
    [ "$(od -An -tx1 -j2 -N2 "$saved" | tr -d ' ')" = 1c00 ] ||
        fail "frame entry is $(od -An -tx1 -j2 -N2 "$saved")"
    startView
    tm capture-pane -e -p -t "$pane" | head -1 | grep -Eq $'\e\\[(91|38;5;9)m(\e\\[[0-9;]*m)*\xe2\x94\x8c' ||
        fail "the frames are not drawn in light red: $(tm capture-pane -e -p -t "$pane" | head -1 | od -c | head -3)"
    quitView
}

# Desktops take F1, F10 and Alt-F8 to Alt-F10: '?' opens the help, 'p' the colour setup, and
# plain F8 and F9 step the width and the height of the view.
secondKeysReachHelpColourSetupAndSizes() {
    useCopyOfProgram
    startShell 120 40
    startView
    local LC_ALL=C.UTF-8 line
    type '?'
    waitForText '^  Page 0$' || fail "? did not open the help"
    press PageDown
    waitForText '^  Page 1$' || fail "the help does not turn its pages"
    press Escape
    waitForText 'old line' || fail "ESC did not bring the view back from the help"
    type p
    waitForText 'COLOUR   Frame and menu' || fail "p did not open the colour setup"
    press Escape
    waitForText 'old line' || fail "ESC did not bring the view back from the colour setup"
    # The view starts at the terminal's 120 x 40; F8 steps the width past it, back to 80, then
    # 100; F9 the height from 40 back to 25.
    line=$(screen | head -1)
    [ "${#line}" = 120 ] || fail "the view is not 120 wide at the start: ${#line}"
    local width
    for width in 80 100; do
        press F8
        waitForTopRowWidth "$width" || fail "F8 did not make the view $width wide"
    done
    screen | sed -n 40p | grep -q '^  SPACE' || fail "the menu is not on the 40th row"
    press F9
    for _ in $(seq 100); do
        screen | sed -n 25p | grep -q '^  SPACE' && break
        sleep 0.1
    done
    screen | sed -n 25p | grep -q '^  SPACE' || fail "F9 did not make the view 25 rows high"
    [ -z "$(screen | sed -n '26,40p' | tr -d ' \n')" ] || fail "rows below the view are not blank"
    quitView
}

# The Linux console has 8 colours and 64 colour pairs. Stepping the frame through every
# foreground on every background uses more colour pairs than that over the run; the colours shown
# afterwards must still be the ones asked for.
colourSetupColoursStayRightWhenPairsRunOut() {
    useCopyOfProgram
    terminalType=linux
    startShell 80 25
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

source "$(dirname "$0")/../terminal/tmuxTests.sh" "$@"
