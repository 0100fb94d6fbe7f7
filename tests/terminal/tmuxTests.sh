#!/usr/bin/env bash
# Tests on a real terminal. Each case starts its own tmux server (so cases can run in parallel),
# runs a program in a pane and checks what the pane shows and the state the terminal is left in.
#
#   tmuxTests.sh CASE PROGRAM
#
# CASE names one function below; PROGRAM is the program it drives (keyView or moxa/moxaw).
set -u
# A user's own defaults (QVD_OPTIONS) never reach the programs under test.
unset QVD_OPTIONS

testCase=$1
program=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/qvdTerminal.XXXXXX")

# A sleep without a process of its own: a read that times out on a pipe no one writes to. Starting
# processes is the costliest thing these scripts do, and a case waits after hundreds of keys.
mkfifo "$work/neverWritten"
exec {neverWritten}<>"$work/neverWritten"
sleep() { read -r -t "$1" -u "$neverWritten" || :; }
serverCount=0
socket="qvd-$testCase-$$-$serverCount"
pane=qvd:0.0

tm() { tmux -L "$socket" -f /dev/null "$@"; }

busyPids=
cleanup() {
    [ -z "$busyPids" ] || kill $busyPids 2>/dev/null
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

# The terminal type must be one terminfo knows on this machine.
terminalType=tmux-256color
infocmp "$terminalType" >/dev/null 2>&1 || terminalType=screen

# Starts an interactive shell in a pane of width x height, with a clean environment in the
# locale given as a third argument (C.UTF-8 when there is none). HOME is the case's scratch
# directory and XDG_CONFIG_HOME is unset, so the user's colour file the programs look for is
# $work/.config/qvd/qvd.ini, never the real user's. The shell keeps no history file: written there
# after the server is killed, it would race with the removal of the scratch directory.
startShell() {
    local locale=${3:-C.UTF-8}
    # A fresh server each time: one that was just killed may still hold its socket.
    tm kill-server >/dev/null 2>&1
    serverCount=$((serverCount + 1))
    socket="qvd-$testCase-$$-$serverCount"
    tm new-session -d -s qvd -x "$1" -y "$2" \
        "env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=$work HISTFILE= TERM=$terminalType LANG=$locale PS1='$ ' bash --norc --noprofile -i" ||
        fail "tmux did not start"
    tm set -s escape-time 10
    tm set -g remain-on-exit on
    waitForText '\$' || fail "no shell prompt"
}

type() { tm send-keys -t "$pane" -l "$1"; }
press() { tm send-keys -t "$pane" "$@"; }

# Waits up to 10 s (or the seconds given second) for a regular expression on the screen.
waitForText() {
    local try
    for ((try = 0; try < ${2:-10} * 10; try++)); do
        screen | grep -Eq -- "$1" && return 0
        sleep 0.1
    done
    return 1
}

waitForFile() {
    local try
    for ((try = 0; try < 100; try++)); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Runs a command line in the shell that records the terminal modes before and after and the exit
# status, through a non-interactive sh so that a program ended by a signal still gets its status
# written.
runRecorded() {
    cat >"$work/run.sh" <<SCRIPT
stty -g > "$work/before"
sh -c 'echo \$\$ > "$work/pid"; exec $1'
echo \$? > "$work/status"
stty -g > "$work/after"
SCRIPT
    type "echo marker-before-run; sh $work/run.sh"
    press Enter
}

# Writes run.sh for a bash command line with quoting of its own (runRecorded's sh -c would take it
# apart): the modes are recorded before and after, and the exit status.
recordCommandLine() {
    rm -f "$work/status" "$work/after" "$work/before"
    printf '%s\n' "$1" >"$work/command.sh"
    cat >"$work/run.sh" <<SCRIPT
stty -g > "$work/before"
bash "$work/command.sh"
echo \$? > "$work/status"
stty -g > "$work/after"
SCRIPT
}

expectStatus() {
    waitForFile "$work/status" || fail "the program did not end"
    waitForFile "$work/after" || fail "no terminal modes recorded after the run"
    local status
    status=$(cat "$work/status")
    [ "$status" = "$1" ] || fail "exit status $status, expected $1"
}

expectModesRestored() {
    cmp -s "$work/before" "$work/after" ||
        fail "terminal modes changed: $(cat "$work/before") -> $(cat "$work/after")"
}

# The shell's own screen is back: the alternate screen was left.
expectShellScreen() {
    waitForText 'marker-before-run' || fail "the shell's screen did not come back"
}

# Screen row n (1-based) into the variable seen, with no process but tmux's.
screenRowInto() {
    local rows
    mapfile -t rows <<<"$(screen)"
    seen=${rows[$1 - 1]-}
}

# Waits up to 10 s for screen row n (1-based) to match an extended regular expression.
waitForRow() {
    local try seen
    for ((try = 0; try < 100; try++)); do
        screenRowInto "$1"
        grep -Eq -- "$2" <<<"$seen" && return 0
        sleep 0.1
    done
    return 1
}

stillRunning() {
    sleep "$1"
    [ ! -e "$work/status" ]
}

# --- the full screen, with the keyView tool -------------------------------------------------------

keyViewDrawsAndFollowsTheTerminal() {
    startShell 100 30
    local title
    title=$(tm display -p -t "$pane" '#{pane_title}')
    runRecorded "$program"
    waitForText 'keyView: press keys' || fail "the screen was not drawn"
    screen | grep -q 'screen 100x30, largest 100x30' || fail "console not the terminal's size"
    # Control characters and Esc from the text show as one-column glyphs, never as controls.
    screen | grep -q '☺←ÿ$' || fail "stand-in glyphs missing or not one column each"
    # Key letter in yellow (bright, 93) after light cyan text (96), all on blue (44).
    tm capture-pane -e -p -t "$pane" | grep -q $'\e\[93mq\e\[96m ends' || fail "colours not mapped"
    tm capture-pane -e -p -t "$pane" | grep -q $'44m' || fail "blue background missing"
    [ "$(tm display -p -t "$pane" '#{pane_title}')" = keyView ] || fail "title not shown"
    press Down
    waitForText 'key code +296' || fail "Down not read as 296"
    press Escape
    waitForText 'key code +27 ' || fail "a lone Esc not read as 27"
    press M-F8
    waitForText 'key code +1399' || fail "Alt-F8 not read as 1399"
    tm resize-window -t qvd -x 90 -y 20
    waitForText 'screen 90x20, largest 90x20' || fail "the console did not follow a resize"
    press q
    expectStatus 0
    expectModesRestored
    expectShellScreen
    [ "$(tm display -p -t "$pane" '#{pane_title}')" = "$title" ] || fail "the user's title not back"
}

keyViewAsciiOnTerminalWithoutUtf8() {
    startShell 80 25 C
    runRecorded "$program"
    waitForText 'keyView: press keys' || fail "the screen was not drawn"
    screen | grep -q '^-\{80\}$' || fail "line drawing not shown as ASCII"
    screen | grep -q ' ???$' || fail "characters beyond ASCII not shown as '?'"
    press q
    expectStatus 0
    expectModesRestored
}

keyViewCtrlCEndsWith130() {
    startShell 80 25
    runRecorded "$program"
    waitForText 'keyView: press keys' || fail "the screen was not drawn"
    press C-c
    expectStatus 130
    expectModesRestored
    expectShellScreen
}

keyViewSignalsRestoreTheTerminal() {
    local signal expected
    for signal in TERM:143 HUP:129 QUIT:131 SEGV:139; do
        expected=${signal#*:}
        signal=${signal%%:*}
        rm -f "$work/status" "$work/after" "$work/pid"
        startShell 80 25
        runRecorded "$program"
        waitForText 'keyView: press keys' || fail "the screen was not drawn"
        kill "-$signal" "$(cat "$work/pid")"
        expectStatus "$expected"
        expectModesRestored
        expectShellScreen
    done
}

keyViewCtrlZSuspendsAndRedraws() {
    startShell 80 25
    type "stty -g > $work/before; echo marker-before-run; $program"
    press Enter
    waitForText 'keyView: press keys' || fail "the screen was not drawn"
    press C-z
    waitForText 'Stopped' || fail "Ctrl-Z did not suspend"
    type "stty -g > $work/during"
    press Enter
    waitForFile "$work/during" || fail "the shell did not take the terminal back"
    cmp -s "$work/before" "$work/during" || fail "terminal modes not given back while suspended"
    type "fg"
    press Enter
    waitForText 'keyView: press keys' || fail "the screen was not drawn again after fg"
    press Up
    waitForText 'key code +294' || fail "keys not read after resuming"
    press q
    waitForText 'marker-before-run' || fail "the shell's screen did not come back"
}

# --- the program with identical files ----------------------------------------------------------

makeIdenticalFiles() {
    printf 'one\ntwo\n' >"$work/a.txt"
    printf 'one\ntwo\n' >"$work/b.txt"
}

identicalFilesWaitForOneKey() {
    makeIdenticalFiles
    startShell 80 25
    runRecorded "$program $work/a.txt $work/b.txt"
    waitForText 'Press any key to exit!' || fail "no prompt for a key"
    screen | grep -q "a.txt and .*b.txt are identical" || fail "no verdict line"
    stillRunning 0.5 || fail "the program did not wait for a key"
    press x
    expectStatus 0
    expectModesRestored
    screen | grep -q '^\$ x$' && fail "the key reached the shell: more than one key was read, or none"
    # The lines stay on the shell's screen: the full screen was never opened.
    screen | grep -q 'Press any key to exit!' || fail "the messages did not stay"
}

identicalFilesCtrlCEndsWith130() {
    makeIdenticalFiles
    startShell 80 25
    runRecorded "$program $work/a.txt $work/b.txt"
    waitForText 'Press any key to exit!' || fail "no prompt for a key"
    press C-c
    expectStatus 130
    expectModesRestored
}

identicalFilesReadTheKeyFromTheTerminal() {
    makeIdenticalFiles
    startShell 80 25
    runRecorded "$program $work/a.txt $work/b.txt < /dev/null"
    waitForText 'Press any key to exit!' || fail "no prompt for a key"
    stillRunning 0.5 || fail "the end of standard input was taken for a key"
    press Enter
    expectStatus 0
    expectModesRestored
}

identicalFilesWithoutTerminalDoNotWait() {
    makeIdenticalFiles
    startShell 80 25
    runRecorded "setsid -w $program $work/a.txt $work/b.txt < /dev/null > $work/out"
    expectStatus 0
    expectModesRestored
    grep -q 'are identical' "$work/out" || fail "no verdict without a terminal"
    grep -q 'Press any key' "$work/out" && fail "asked for a key that cannot come"
    return 0
}

# --- a burst of keys on a busy machine ------------------------------------------------------------

# Holding an arrow key on a busy machine: thousands of Up or Down keys arrive together while
# both cores are taken. Reads end anywhere, right after an Esc too, while the keys before it take
# long to draw; the rest of that Esc's sequence is already waiting, so the Esc must not be taken
# for the Esc key, which would quit the view.
burstOfArrowKeysUnderLoad() {
    seq -f 'line %g' 300 >"$work/a.txt"
    seq -f 'line %g' 300 | sed '0~10s/$/ changed/' >"$work/b.txt"
    startShell 200 60
    runRecorded "$program $work/a.txt $work/b.txt"
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "no view"
    local spin
    for spin in 1 2; do
        (while :; do :; done) &
        busyPids+=" $!"
    done
    local round key top settled
    for round in 1 2 3 4 5 6; do
        if [ $((round % 2)) = 1 ]; then key=Down top=296; else key=Up top=1; fi
        press -N 2000 "$key"
        settled=
        local try seen
        for ((try = 0; try < 600; try++)); do
            [ -e "$work/status" ] && fail "the view ended during burst $round of $key (status $(cat "$work/status"))"
            screenRowInto 2
            grep -Eq "^.? *$top line $top( |\$)" <<<"$seen" && settled=1 && break
            sleep 0.1
        done
        [ -n "$settled" ] || fail "burst $round of $key did not end at line $top"
    done
    kill $busyPids
    busyPids=
    press q
    expectStatus 1
    expectModesRestored
    expectShellScreen
}

# --- the view on terminals that are out of the ordinary ------------------------------------------

makeFilesThatDiffer() {
    printf 'one\ntwo\nthree\n' >"$work/a.txt"
    printf 'one\nTWO\nthree\n' >"$work/b.txt"
}

# Waits up to 10 s for the top row of the screen to be width columns wide (frame characters
# counted as characters, whatever the caller's locale).
waitForTopRowWidth() {
    local try
    for ((try = 0; try < 100; try++)); do
        [ "$(screen | head -1 | sed 's/ *$//' | LC_ALL=C.UTF-8 wc -m)" -eq $(($1 + 1)) ] && return 0
        sleep 0.1
    done
    return 1
}

# Files of 8 MiB and more open at their beginnings while they are read; the whole comparison
# takes their place once it is built, without a key: the last row says how far the reading and
# the comparing have got, then gives way to the menu again.
largeFilesOpenWhileTheyAreRead() {
    awk 'BEGIN { for (i = 1; i <= 700000; ++i) printf "line %07d\n", i }' >"$work/big1"
    sed 's/^line 0350000$/changed/' "$work/big1" >"$work/big2"
    startShell 100 30
    runCommandLine "$program $work/big1 $work/big2"
    waitForText 'line 0000001' || fail "no first screen"
    local _
    for _ in 1 2 3 4 5 6; do waitForText 'ESC/ENTER quit' && break; done
    screen | tail -1 | grep -q 'ESC/ENTER quit' || fail "the progress row stayed: $(screen | tail -1)"
    press End
    waitForText "700000 line 0700000" || fail "End did not reach the end of the whole list"
    press q
    expectStatus 1
    expectModesRestored
}

# A TERM this machine has no terminfo entry for (a newer terminal's, over SSH): the view on a
# built-in description, and the terminal back as it was.
viewForTypeWithoutTerminfoEntry() {
    makeFilesThatDiffer
    startShell 80 25
    runRecorded "env TERM=qvd-no-such-terminal $program $work/a.txt $work/b.txt"
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "no view for a type without an entry"
    waitForTopRowWidth 80 || fail "the view does not fill the terminal"
    press q
    expectStatus 1
    expectModesRestored
    expectShellScreen
}

# No controlling terminal (a new session, as su -c makes), standard input and output on the
# terminal: the view uses them, and follows a new size without SIGWINCH.
viewWithoutControllingTerminal() {
    makeFilesThatDiffer
    startShell 80 25
    runRecorded "setsid -w $program $work/a.txt $work/b.txt"
    waitForText 'ESC/ENTER quit|Case sensitive' || fail "no view without a controlling terminal"
    tm resize-window -t qvd -x 100 -y 30
    waitForTopRowWidth 100 || fail "the view did not follow the new size"
    press q
    expectStatus 1
    expectModesRestored
    expectShellScreen
}

# --- the ways in: standard input and git ----------------------------------------------------------

# Runs a command line with recordCommandLine's records.
runCommandLine() {
    recordCommandLine "$1"
    type "sh $work/run.sh"
    press Enter
}

# "-" reads a pipe while the keys come from the terminal. git runs the program for each changed
# path: each view in turn, named by git's path and place; under git's pager, no view at all.
standardInputAndGitsExternalDiff() {
    printf 'one\ntwo\n' >"$work/file"
    startShell 100 30
    runCommandLine "printf 'one\\nTWO\\n' | $program - $work/file"
    waitForText 'ESC/ENTER quit' || fail "no view of standard input"
    screen | head -1 | grep -q '(standard input)' || fail "the frame does not name standard input"
    type r
    waitForText "reload file 1 \(\(standard input\)\): read once" || fail "r read it again"
    press q
    expectStatus 1
    expectModesRestored

    # A repository of its own, away from the user's settings and from any git that runs us.
    unset GIT_DIR GIT_WORK_TREE GIT_INDEX_FILE
    local repo=$work/repo name place=1
    repoGit() { HOME=$work GIT_CONFIG_NOSYSTEM=1 git -C "$repo" -c user.name=q -c user.email=q@ "$@"; }
    git init -q "$repo" || fail "git init failed"
    for name in a b c; do printf 'same\n%s\n' "$name" >"$repo/$name.txt"; done
    repoGit add . && repoGit commit -qm files || fail "git commit failed"
    for name in a b c; do printf 'same\n%s changed\n' "$name" >"$repo/$name.txt"; done
    local git="cd $repo && GIT_CONFIG_NOSYSTEM=1 GIT_EXTERNAL_DIFF=$program git"
    runCommandLine "$git --no-pager diff"
    for name in a b c; do
        waitForText "$name changed" || fail "no view of $name.txt"
        [ "$(screen | grep -c "$name.txt ($place of 3)")" = 2 ] || fail "frames of $name.txt"
        press q
        place=$((place + 1))
    done
    expectStatus 0
    expectModesRestored

    runCommandLine "$git -c core.pager='cat > $work/paged' diff"
    expectStatus 0
    [ "$(grep -c 'are not identical' "$work/paged")" = 3 ] || fail "not a verdict for each path"
    [ "$(grep -c "git's pager is reading it" "$work/paged")" = 1 ] || fail "no word on the pager"
}

"$testCase"
