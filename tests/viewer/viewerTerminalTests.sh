#!/usr/bin/env bash
# The view on a real terminal, through tmux, with the helpers of tests/terminal/tmuxTests.sh
# (its cases run by name, so the cases below are defined first and the helpers sourced after).
#
#   viewerTerminalTests.sh CASE PROGRAM

# Two texts that differ in their fourth line and in a line only the first one has, each
# followed by enough equal lines for the two to fall back into step.
makeDifferingFiles() {
    local middle tail
    middle=$(seq -f 'middle %g' 5)
    tail=$(seq -f 'line %g' 10)
    printf 'title\n=====\n\nthe older text\n%s\nonly here\n%s\n' "$middle" "$tail" >"$work/old.txt"
    printf 'title\n=====\n\nthe newer text\n%s\n%s\n' "$middle" "$tail" >"$work/new.txt"
}

# Waits up to 10 s for screen row n (1-based) to match an extended regular expression.
waitForRow() {
    for _ in $(seq 100); do
        screen | sed -n "$1p" | grep -Eq -- "$2" && return 0
        sleep 0.1
    done
    return 1
}

# The colour escapes of screen row n (1-based), in order.
colours() { tm capture-pane -e -p -t "$pane" | sed -n "$1p" | grep -o $'\e\\[[0-9;]*m' | tr -d '\n'; }

differingFilesShowTheViewAndQuitWithOne() {
    makeDifferingFiles
    startShell 80 25
    # Side by side, so that the first screen holds every row.
    runRecorded "$program -v $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    waitForRow 1 '^┌.*old\.txt─*┬.*new\.txt─*┐$' || fail "no frames with the names"
    waitForRow 5 '^│   4 the older text +│   4 the newer text +│$' ||
        fail "the fourth lines do not stand level"
    waitForRow 11 '^│  10 only here +│  -  +│$' || fail "no marker for the missing line"
    waitForRow 24 'Case sensitive' || fail "no menu"
    [ -n "$(colours 5)" ] || fail "no colours"
    [ "$(colours 2)" != "$(colours 5)" ] || fail "a differing line looks like an equal one"
    press Space
    waitForRow 2 '^│   4 the older text' || fail "Space did not go to the difference"
    press s
    waitForText '^├.*new\.txt─*┤$' || fail "s did not stack the panes"
    press q
    expectStatus 1
    expectModesRestored
    expectShellScreen
}

differingFilesFillAWideTerminal() {
    makeDifferingFiles
    startShell 200 60
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    waitForRow 1 '^┌.*old\.txt─{150,}┐$' || fail "the frame does not span 200 columns"
    waitForRow 57 '^└═+─*┘$' || fail "no bottom border with the scroll bar on row 57"
    press t
    waitForRow 25 'SPACE next difference' || fail "t did not make the view 25 rows"
    press Escape
    expectStatus 1
    expectModesRestored
}

viewerCtrlCEndsWith130() {
    makeDifferingFiles
    startShell 80 25
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'Case sensitive' || fail "the view was not drawn"
    press C-c
    expectStatus 130
    expectModesRestored
    expectShellScreen
}

viewerCtrlZSuspendsAndRedraws() {
    makeDifferingFiles
    startShell 80 25
    type "echo marker-before-run; $program $work/old.txt $work/new.txt"
    press Enter
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    press Down
    waitForRow 2 '^│   2 =====' || fail "Down did not scroll"
    press C-z
    waitForText 'Stopped' || fail "Ctrl-Z did not suspend"
    type "fg"
    press Enter
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn again after fg"
    waitForRow 2 '^│   2 =====' || fail "the view did not come back where it was"
    press q
    waitForText 'marker-before-run' || fail "the shell's screen did not come back"
}

source "$(dirname "$0")/../terminal/tmuxTests.sh" "$@"
