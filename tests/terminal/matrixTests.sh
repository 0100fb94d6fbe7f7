#!/usr/bin/env bash
# The bad-input matrix on a real terminal: each case runs the program in a tmux pane, then checks
# the exit status, the message on the screen, and that the terminal modes (stty -g) are exactly
# as before.
#
#   matrixTests.sh CASE PROGRAM [TERM]
#
# The helpers (tmux server per case, waitForText, expectStatus...) come from tmuxTests.sh.
set -u

here=$(cd "$(dirname "$0")" && pwd)
# tmuxTests.sh runs the case named by its first argument: ':' runs nothing.
# shellcheck source=tmuxTests.sh
source "$here/tmuxTests.sh" : "$2"
testCase=$1
program=$(realpath "$2")
[ -n "${3:-}" ] && terminalType=$3
# The shell in the pane may still write its last file while the server goes.
trap 'tm kill-server >/dev/null 2>&1; sleep 0.3; rm -rf "$work"' EXIT

# In the view: the colour setup, F (the frame's foreground: 0x1B becomes 0x1C), and ENTER to
# save.
saveColours() {
    press M-F10
    waitForText 'COLOUR   Frame and menu' || fail "Alt-F10 did not open the colour setup"
    type F
    press Enter
}

# A save that can be written nowhere says so and waits for a key; the view then comes back and
# ends as usual.
saveColoursThatCannotBeSaved() {
    saveColours
    waitForText 'The colours were not saved: they last until the program ends' ||
        fail "no word of the failed save"
    screen | grep -Eq '/(\.config|qvd|qvd\.ini): ' || fail "the place tried is not shown"
    stillRunning 0.3 || fail "the message did not wait for a key"
    press x
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "the view did not come back after a failed save"
    press q
    expectStatus 1
    expectModesRestored
}

# The view comes back at once after a save that worked, and ends as usual.
saveColoursThatCanBeSaved() {
    saveColours
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "the view did not come back after the save"
    screen | grep -q 'not saved' && fail "a save that worked was reported as failed"
    press q
    expectStatus 1
    expectModesRestored
}

# The second entry of a qvd.ini, the frame, as hex digits.
frameEntry() { od -An -tx1 -j2 -N2 "$1" | tr -d ' '; }

# Runs a bash command line (words already quoted) in the pane, recording the modes before and
# after and the exit status.
runCommand() {
    recordCommandLine "$1"
    # The last case's screen is gone before this one's is looked at.
    type "clear"
    press Enter
    local cleared=
    local try
    for ((try = 0; try < 100; try++)); do
        [ "$(screen | grep -c .)" = 1 ] && cleared=1 && break
        sleep 0.1
    done
    [ -n "$cleared" ] || fail "the screen was not cleared before: $1"
    type "echo marker-before-run; sh $work/run.sh"
    press Enter
}

# A command line of the program and its arguments, quoted for bash.
programWith() {
    local line
    line="exec $(printf '%q' "$program")"
    for argument in "$@"; do line+=" $(printf '%q' "$argument")"; done
    printf '%s' "$line"
}

# expectCase STATUS TEXT ARGUMENTS...: runs the program; when it asks for a key, presses one.
expectCase() {
    local status=$1 text=$2
    shift 2
    runCommand "cd $(printf '%q' "$work/files") && $(programWith "$@")"
    local try
    for ((try = 0; try < 100; try++)); do
        [ -s "$work/status" ] && break
        if screen | grep -q 'Press any key to exit!'; then
            press x
            break
        fi
        sleep 0.1
    done
    expectStatus "$status"
    expectModesRestored
    [ -z "$text" ] || waitForText "$text" || fail "'$text' not shown for: $*"
    screen | grep -q '^\$ x' && fail "a key reached the shell after: $*"
    return 0
}

makeFiles() {
    mkdir -p "$work/files/sub"
    cd "$work/files" || exit 1
    printf 'one\ntwo\n' >a.txt
    printf 'one\ntwo\n' >same.txt
    printf 'one\nthree\n' >b.txt
    : >empty
    head -c 4096 /dev/urandom >binary
    cp binary binary.copy
    printf 'one\0two\0\n' >nul
    cp nul nul.copy
    printf '\xff\xfeA\0B' >utf16odd
    cp utf16odd utf16odd.copy
    printf '\xff\xfe' >mark
    cp mark mark.copy
    printf '\xef\xbb\xbfa\xc3(\xa0\xff\n' >badutf8
    cp badutf8 badutf8.copy
    printf 'one\rtwo\rthree\r' >cr
    cp cr cr.copy
    printf 'one\ntwo\n' >'with space.txt'
    printf 'one\ntwo\n' >"quote\"'.txt"
    printf 'one\ntwo\n' >$'new\nline.txt'
    printf 'one\ntwo\n' >$'n\xe9\xff.txt'
    printf 'one\ntwo\n' >$'\e]0;owned\a\e[2J.txt'
    printf 'one\ntwo\n' >./-dash.txt
    cd - >/dev/null || exit 1
}

# Everything that needs no view: errors, identical files, and the usage.
badInputWithoutView() {
    makeFiles
    startShell 80 25
    local title
    title=$(tm display -p -t "$pane" '#{pane_title}')
    expectCase 2 "Can't load file 1 \(missing\)" missing a.txt
    expectCase 2 "Can't load file 2 \(missing/a.txt\)" a.txt missing
    expectCase 2 "Can't load file 1 \(sub\)" sub a.txt
    expectCase 2 "Can't load file 2 \(a.bak\)" a.txt
    expectCase 2 "Invalid option -\? found" '-?' a.txt b.txt
    expectCase 2 "Too many file names \(same.txt\)" a.txt b.txt same.txt
    expectCase 0 "/dev/null and empty are identical" /dev/null empty
    local name
    for name in binary nul utf16odd mark badutf8 cr; do
        expectCase 0 "$name and $name.copy are identical" "$name" "$name.copy"
    done
    expectCase 0 "with space.txt and a.txt are identical" 'with space.txt' a.txt
    expectCase 0 "quote\"'.txt and a.txt are identical" "quote\"'.txt" a.txt
    expectCase 0 'new\?line.txt and a.txt are identical' $'new\nline.txt' a.txt
    expectCase 0 './-dash.txt and a.txt are identical' ./-dash.txt a.txt
    expectCase 0 'are identical' $'n\xe9\xff.txt' a.txt
    # Escape sequences in a name show as '?' stand-ins: the screen was not cleared, the title
    # not taken over.
    expectCase 0 '\?\]0;owned\?\?\[2J.txt and a.txt are identical' $'\e]0;owned\a\e[2J.txt' a.txt
    waitForText 'marker-before-run' || fail "a name cleared the screen"
    [ "$(tm display -p -t "$pane" '#{pane_title}')" = "$title" ] || fail "a name set the title"
    expectCase 2 "Can't load file 1 \(\?\]0;owned" $'\e]0;owned\a\e[2J.txtx' a.txt
}

# expectView TEXT ARGUMENTS...: the view opens for differing files, shows TEXT, and q ends it
# with status 1 and the terminal as it was.
expectView() {
    local text=$1
    shift
    runCommand "cd $(printf '%q' "$work/files") && $(programWith "$@")"
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "no view for: $*"
    [ -z "$text" ] || waitForText "$text" || fail "'$text' not shown for: $*"
    press q
    expectStatus 1
    expectModesRestored
}

# Differing files of every kind in the view.
badInputInTheView() {
    makeFiles
    cd "$work/files" || exit 1
    local name
    for name in binary nul utf16odd badutf8 cr; do
        cp "$name" "$name.changed"
        printf 'changed' >>"$name.changed"
    done
    head -c 10485760 /dev/zero | tr '\0' x >longline
    { cat longline; echo y; } >longline.changed
    head -c 10000000 /dev/zero | tr '\0' '\n' >emptylines
    { cat emptylines; echo x; } >emptylines.changed
    cd - >/dev/null || exit 1
    startShell 80 25
    for name in binary nul utf16odd badutf8 cr longline emptylines; do
        expectView "$name" "$name" "$name.changed"
    done
    expectView 'mark' mark b.txt
    expectView 'null' /dev/null a.txt
    expectView 'with space.txt' 'with space.txt' b.txt
    expectView "quote\"'.txt" "quote\"'.txt" b.txt
    expectView '' $'new\nline.txt' b.txt
    expectView '' $'n\xe9\xff.txt' b.txt
    expectView '' ./-dash.txt b.txt
    expectView '' $'\e]0;owned\a\e[2J.txt' b.txt
    mkfifo "$work/files/fifo"
    (printf 'one\nfour\n' >"$work/files/fifo") &
    expectView 'four' fifo b.txt
    wait
}

# A named pipe with a writer, in either place, and read from the terminal's program.
namedPipe() {
    makeFiles
    startShell 80 25
    mkfifo "$work/files/fifo"
    (printf 'one\ntwo\n' >"$work/files/fifo") &
    expectCase 0 'fifo and a.txt are identical' fifo a.txt
    (printf 'one\ntwo\n' >"$work/files/fifo") &
    expectCase 0 'a.txt and fifo are identical' a.txt fifo
    wait
}

# Names, sizes, times and contents of what lies beside the program (only regular files are read:
# a FIFO would wait for a writer).
colourFileState() {
    (cd "$work/bin" && find . -printf '%p %y %s %T@\n' | sort &&
        find . -maxdepth 1 -type f -name '*.ini' -exec cat {} + | md5sum)
}

# Damaged colour files beside a copy of the program change no answer and are never written.
damagedColourFiles() {
    makeFiles
    mkdir -p "$work/bin"
    cp "$program" "$work/bin/"
    program=$work/bin/$(basename "$program")
    startShell 80 25
    local state
    for state in short long zero kqwShort directory fifo kqwFifo terminal; do
        rm -rf "$work/bin/qvd.ini" "$work/bin/kqw.ini"
        case $state in
        short) printf '\x1b\x00\x1b' >"$work/bin/qvd.ini" ;;
        long) head -c 100 /dev/urandom >"$work/bin/qvd.ini" ;;
        zero) head -c 14 /dev/zero >"$work/bin/qvd.ini" ;;
        kqwShort) head -c 37 /dev/urandom >"$work/bin/kqw.ini" ;;
        directory) mkdir "$work/bin/qvd.ini" ;;
        # Not regular files: opening one waited for a writer (or for typed keys), batch mode
        # included.
        fifo) mkfifo "$work/bin/qvd.ini" ;;
        kqwFifo) mkfifo "$work/bin/kqw.ini" ;;
        terminal) ln -s /dev/tty "$work/bin/qvd.ini" ;;
        esac
        local before
        before=$(colourFileState)
        expectCase 1 "a.txt and b.txt are not identical" -b a.txt b.txt
        expectCase 0 "a.txt and same.txt are identical" a.txt same.txt
        expectCase 2 "Can't load file 1 \(missing\)" missing a.txt
        expectView 'three' a.txt b.txt
        [ "$(colourFileState)" = "$before" ] ||
            fail "colour files changed ($state): $before -> $(colourFileState)"
    done
}

# As user nobody (root reads and writes anything): an unreadable file, and a program directory
# that cannot be written. The colours are saved to the user's own file, $HOME/.config/qvd/qvd.ini,
# and the next start uses it; with a home that cannot be written either, the save fails, the
# screen says so, the view goes on with the new colours and nothing is written.
asNobody() {
    makeFiles
    mkdir -p "$work/bin"
    cp "$program" "$work/bin/"
    printf 'one\ntwo\n' >"$work/files/secret"
    chmod 0 "$work/files/secret"
    chmod 0555 "$work/bin"
    chmod 0755 "$work" "$work/files"
    startShell 80 25
    # The program opens the pane's terminal itself.
    chmod o+rw "$(tm display -p -t "$pane" '#{pane_tty}')"
    program="setpriv --reuid=nobody --regid=nogroup --clear-groups $work/bin/$(basename "$program")"
    runCommand "cd $(printf '%q' "$work/files") && exec $program secret a.txt"
    expectStatus 2
    expectModesRestored
    waitForText "Can't load file 1 \(secret\)" || fail "no message for an unreadable file"

    mkdir -p "$work/locked" "$work/home"
    chown nobody:nogroup "$work/home"
    runCommand "cd $(printf '%q' "$work/files") && HOME=$work/locked exec $program a.txt b.txt"
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "no view as nobody"
    saveColoursThatCannotBeSaved
    [ -z "$(ls -A "$work/bin" | grep -v "^$(basename "${program##* }")\$")" ] ||
        fail "something was written beside the program: $(ls -A "$work/bin")"
    [ -z "$(ls -A "$work/locked")" ] || fail "something was written in the locked home"

    runCommand "cd $(printf '%q' "$work/files") && HOME=$work/home exec $program a.txt b.txt"
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "no view as nobody"
    saveColoursThatCanBeSaved
    local saved=$work/home/.config/qvd/qvd.ini
    [ "$(stat -c '%s %U' "$saved" 2>/dev/null)" = "14 nobody" ] ||
        fail "no 14-byte qvd.ini of nobody's in the home: $(ls -laR "$work/home")"
    [ "$(stat -c %a "$work/home/.config" "$work/home/.config/qvd" | tr "\n" " ")" = "700 700 " ] ||
        fail "the directories made are not the user's alone"
    [ "$(frameEntry "$saved")" = 1c00 ] || fail "frame entry is $(frameEntry "$saved")"
    # The next start draws its frames in light red, the saved colour.
    runCommand "cd $(printf '%q' "$work/files") && HOME=$work/home exec $program a.txt b.txt"
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "no view as nobody"
    tm capture-pane -e -p -t "$pane" | head -1 | grep -Eq $'\e\\[(91|38;5;9)m(\e\\[[0-9;]*m)*\xe2\x94\x8c' ||
        fail "the next start does not use the saved colours"
    press q
    expectStatus 1
    expectModesRestored
}

# The program's directory removed while the view is open: the colours go to the user's own
# file instead, and the view goes on.
missingProgramDirectory() {
    makeFiles
    mkdir -p "$work/bin"
    cp "$program" "$work/bin/"
    startShell 80 25
    runCommand "cd $(printf '%q' "$work/files") && exec $work/bin/$(basename "$program") a.txt b.txt"
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "no view"
    rm -rf "$work/bin"
    saveColoursThatCanBeSaved
    [ ! -e "$work/bin" ] || fail "the program made its directory again"
    [ "$(frameEntry "$work/.config/qvd/qvd.ini")" = 1c00 ] ||
        fail "the colours did not go to the user's file: $(ls -laR "$work/.config" 2>&1)"
}

"$testCase"
