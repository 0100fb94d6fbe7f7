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

# --- finding the way: search, go to a line, reload, long runs, wide numbers and lines ------------

# 200 lines "line N"; line 60 holds a needle in both files, line 150 another one in the second.
makeSearchFiles() {
    seq -f 'line %g' 200 | sed '60s/.*/a needle here/' >"$work/old.txt"
    sed '150s/.*/another needle/' "$work/old.txt" >"$work/new.txt"
}

# The first text row of the upper pane (screen row 2 at 80 x 25) begins with the line given.
expectTopLine() { # number text
    waitForRow 2 "^│ *$1 $2 " || fail "${3:-the top row is not line $1, \"$2\"}"
}

viewerFindsTheWay() {
    makeSearchFiles
    startShell 80 25
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    type /needle
    waitForRow 25 '^/needle *$' || fail "/ did not open the prompt on the last row"
    press Enter
    expectTopLine 60 'a needle here' "/needle did not bring its line to the top"
    waitForRow 25 'SPACE next difference' || fail "the menu line did not come back"
    type /
    press Enter
    expectTopLine 150 'line 150' "a second search did not find the next match"
    waitForRow 13 '^│ 150 another needle' || fail "the match is not in the lower pane's top row"
    press F3
    expectTopLine 60 'a needle here' "F3 did not go round the end to the first match"
    press S-F3
    expectTopLine 150 'line 150' "Shift-F3 did not go back"
    type /zzz
    press Enter
    waitForRow 25 '^Not found: zzz *$' || fail "a failed search did not say so"
    expectTopLine 150 'line 150' "a failed search moved the view"
    press Down
    expectTopLine 151 'line 151' "the key after the message did not act"
    waitForRow 25 'SPACE next difference' || fail "the message did not go with the next key"
    type :42
    press Enter
    expectTopLine 42 'line 42' ":42 did not go to line 42"
    # Three lines more at the start of the first file: its line 42 is now what line 39 was.
    { printf 'new 1\nnew 2\nnew 3\n'; cat "$work/new.txt"; } >"$work/old.txt"
    type r
    expectTopLine 42 'line 39' "r did not read the changed file, or left line 42"
    mv "$work/new.txt" "$work/gone.txt"
    type r
    waitForRow 25 "^Can't load file 2 \(.*new\.txt\): No such file or directory *\$" ||
        fail "no message for a file gone"
    expectTopLine 42 'line 39' "a failed reload changed the view"
    press q
    expectStatus 1
    expectModesRestored
    expectShellScreen
}

# Faults a new user met in the first hour, each as it was seen.
firstHourFaults() {
    startShell 80 25
    # h twice came back on the hex row's number (line 712 here), not on line 2500.
    seq 1 3000 >"$work/sa"
    sed 's/^2000$/x/' "$work/sa" >"$work/sb"
    runRecorded "$program $work/sa $work/sb"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    type :2500
    press Enter
    expectTopLine 2500 2500 ":2500 did not go to line 2500"
    type h
    waitForRow 2 '^│[0-9A-F]+ [0-9A-F]{2} ' || fail "h did not show hex rows"
    type h
    expectTopLine 2500 2500 "h twice did not come back on line 2500"
    # Esc and Enter after a message only clear it: they used to quit.
    type /zzz
    press Enter
    waitForRow 25 '^Not found: zzz *$' || fail "a failed search did not say so"
    press Escape
    waitForRow 25 'SPACE next difference' || fail "Esc did not clear the message"
    type /zzz
    press Enter
    waitForRow 25 '^Not found: zzz *$' || fail "a failed search did not say so"
    press Enter
    waitForRow 25 'SPACE next difference' || fail "Enter did not clear the message"
    stillRunning 0.5 || fail "Esc or Enter after a message ended the view"
    press q
    expectStatus 1
    expectModesRestored

    # r on a pipe left the pane empty; on a FIFO it waited for a writer for ever.
    printf 'one\ntwo\n' >"$work/a"
    printf 'one\nthree\n' >"$work/b"
    recordCommandLine "$program <(cat $work/a) $work/b"
    type "sh $work/run.sh"
    press Enter
    waitForText 'ESC/ENTER quit' || fail "the view of a pipe was not drawn"
    type r
    waitForRow 25 "^Can't reload file 1 \(.*\): a pipe, read once" || fail "r read a pipe again"
    waitForRow 3 '^│   2 two ' || fail "r emptied the pane of the pipe"
    press q
    expectStatus 1
    mkfifo "$work/fifo"
    recordCommandLine "cat $work/a > $work/fifo & $program $work/fifo $work/b"
    type "sh $work/run.sh"
    press Enter
    waitForText 'ESC/ENTER quit' || fail "the view of a FIFO was not drawn"
    type r
    waitForRow 25 "^Can't reload file 1 \(.*fifo\): a pipe, read once" || fail "r on a FIFO"
    press q
    expectStatus 1
    expectModesRestored
}

# A search of a large pair shows how far it has got, and Esc stops it where the view stands.
longSearchShowsItsWayAndStops() {
    seq -f 'line %g of a pair large enough for a search to take a while' 1000000 >"$work/big"
    { cat "$work/big"; echo end; } >"$work/big2"
    startShell 80 25
    runRecorded "$program $work/big $work/big2"
    # A million lines take a sanitized build seconds to compare, and many more on a busy machine.
    waitForText 'ESC/ENTER quit' 60 || fail "the view was not drawn"
    press Down
    type /ZZZQ
    press Enter
    waitForRow 25 '^Searching for ZZZQ: [0-9]+%' || fail "the search did not show how far it got"
    press Escape
    waitForRow 25 '^Search for ZZZQ stopped' || fail "Esc did not stop the search"
    expectTopLine 2 'line 2 of' "the stopped search moved the view"
    stillRunning 0.5 || fail "Esc ended the view"
    press q
    expectStatus 1
    expectModesRestored
}

# The colour setup on a screen narrower than its 80 columns: each row used to run on into the
# next one, breaking the frames apart.
colourSetupOnANarrowScreen() {
    makeDifferingFiles
    startShell 60 20
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'next difference' || fail "the view was not drawn"
    type p
    waitForRow 1 '^┌colour1\.txt─+┬colour2\.txt─+$' || fail "no sample panes cut at the edge"
    local row
    for row in 2 7 12 19; do
        waitForRow "$row" '^│' || fail "row $row does not start with the frame: $(screen | sed -n "${row}p")"
    done
    press Escape
    waitForText 'next difference' || fail "Esc did not bring the view back"
    press q
    expectStatus 1
    expectModesRestored
}

# The key a cycles the alignments; with the histogram a changed line stands level with its new
# version (the README's pair: "jumps" and "jumped"), where the window leaves it beside blanks.
alignmentKeyCyclesAndPairsChangedLines() {
    local examples
    examples=$(cd "$(dirname "$0")/../../examples" && pwd)
    startShell 80 40
    runRecorded "$program -v $examples/old.txt $examples/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    waitForRow 16 '^│  14 The quick brown fox jumps.*│  -  ' ||
        fail "the window did not leave the changed line beside a blank"
    type a
    waitForRow 40 '^Alignment: long runs *$' || fail "a did not choose long runs"
    type a
    waitForRow 40 '^Alignment: histogram *$' || fail "a did not choose the histogram"
    waitForRow 16 '^│  14 The quick brown fox jumps.*│  15 The quick brown fox jumped' ||
        fail "the changed line does not stand level with its new version"
    type a
    waitForRow 40 '^Alignment: window *$' || fail "a three times did not come back to the window"
    press q
    expectStatus 1
    expectModesRestored
}

# A pair of 200,000 lines whose first line is 15,000 columns wide, in blocks of ten that say
# where they start: "000001230|" is columns 1230 to 1239.
viewerShowsWholeNumbersAndFarColumns() {
    local k
    {
        for ((k = 0; k < 15000; k += 10)); do printf '%09d|' "$k"; done
        printf '\n'
        seq -f 'n%g' 2 200000
    } >"$work/old.txt"
    { cat "$work/old.txt"; echo extra; } >"$work/new.txt"
    startShell 80 25
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    waitForRow 2 '^│     1 000000000\|' || fail "the number column did not widen to seven cells"
    type :150000
    press Enter
    waitForRow 2 '^│150000 n150000 ' || fail "line 150000 is not shown whole"
    press Home
    waitForRow 2 '^│     1 000000000\|' || fail "Home did not go back to the first line"
    # Right in bursts of 500 presses (each a read that may end on the Esc of a sequence), the
    # column checked after each.
    for ((k = 1000; k <= 15000; k += 1000)); do
        press -N 500 Right
        [ "$k" = 15000 ] && break
        waitForRow 2 "^│     1 $(printf '%09d' "$k")\\|" || fail "Right did not reach column $k"
    done
    # At column 15000 the line has ended; Right goes no further, and three Left show its end.
    press -N 10 Right
    press -N 3 Left
    waitForRow 2 '^│     1 14990\| +│$' || fail "Right did not stop at column 15000"
    press q
    expectStatus 1
    expectModesRestored
}

# 650 lines inserted after line 1000 of 3000: only the long-runs rule passes over them.
viewerLongRunsAlignALongInsertion() {
    seq 3000 >"$work/old.txt"
    { seq 1000; seq 650 | sed 's/^/new /'; seq 1001 3000; } >"$work/new.txt"
    startShell 80 25
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    type a
    waitForRow 25 '^Alignment: long runs *$' || fail "a did not say what it did"
    press End
    # The last row of the list is the fifth of each pane: left line 3000 opposite right 3650.
    waitForRow 6 '^│3000 3000 ' && waitForRow 17 '^│3650 3000 ' ||
        fail "a then End does not show left line 3000 opposite right line 3650"
    type a
    waitForRow 25 '^Alignment: histogram *$' || fail "a did not go on to the histogram"
    type a
    waitForRow 25 '^Alignment: window *$' || fail "a did not come back to the window"
    waitForRow 6 '^│  -  ' || fail "a did not switch long runs off again"
    press q
    expectStatus 1
    expectModesRestored
    # The option does the same from the start.
    rm -f "$work/status"
    startShell 80 25
    runRecorded "$program --long-runs $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn with --long-runs"
    press End
    waitForRow 6 '^│3000 3000 ' && waitForRow 17 '^│3650 3000 ' ||
        fail "--long-runs does not show left line 3000 opposite right line 3650"
    press q
    expectStatus 1
}

# --- folding and wrapping ------------------------------------------------------------------------

# f on a pair of a million lines that differ in 20 (every 50,000th): each run of 49,999 equal
# lines is 3 + 1 + 3 rows, so the whole comparison is 160 rows; the keys count them, and a search
# or a line number that lands in a fold opens it. Then z on a line of 15,000 columns in blocks of
# ten that say where they start ("000001230|" is columns 1230 to 1239): its end comes into sight,
# the next line stands level on both sides, stacked and side by side, within whole frames.
foldingAndWrappingShowLongFilesWhole() {
    seq -f 'line %.0f' 1000000 >"$work/old.txt"
    sed '50000~50000s/$/ changed/' "$work/old.txt" >"$work/new.txt"
    startShell 80 25
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' 60 || fail "the view was not drawn"
    type f
    waitForRow 25 '^Folded: 3 lines of context *$' || fail "f did not say it folded"
    waitForRow 4 '^│      3 line 3 ' && waitForRow 5 '^│ +(···|\.\.\.) 49,993 equal lines (···|\.\.\.) +│$' &&
        waitForRow 6 '^│  49997 line 49997 ' || fail "the first run is not 3 rows, a fold and 3 rows"
    press PageDown
    expectTopLine 50001 'line 50001' "PageDown did not move 8 shown rows"
    press End
    waitForRow 6 '^│1000000 line 1000000 ' && waitForRow 17 '^│1000000 line 1000000 changed' ||
        fail "End does not show the last change as the fifth row"
    press Home
    press Space
    expectTopLine 50000 'line 50000' "Space did not go to the first change"
    type '/line 77777'
    press Enter
    expectTopLine 77777 'line 77777' "the search did not open the fold it landed in"
    press Up
    expectTopLine 77776 'line 77776' "the opened run is not shown row by row"
    type :123456
    press Enter
    expectTopLine 123456 'line 123456' ": did not open the fold it landed in"
    press q
    expectStatus 1
    local k
    {
        for ((k = 0; k < 15000; k += 10)); do printf '%09d|' "$k"; done
        printf '\n'
        seq -f 'n%g' 2 30
    } >"$work/old.txt"
    { echo short; seq -f 'n%g' 2 30; } >"$work/new.txt"
    rm -f "$work/status"
    startShell 80 25
    runRecorded "$program --wrap $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn with --wrap"
    waitForRow 3 '^│   (↪|\+) 000070\|' || fail "the long line does not go on in the second row"
    type /014990
    press Enter
    # 206 rows of 73 columns: the last shows the end of the line, the next line just below.
    waitForRow 2 '^│   (↪|\+) 4960\|000014970\|000014980\|000014990\| +│$' && waitForRow 3 '^│   2 n2 ' &&
        waitForRow 13 '^│ +│$' && waitForRow 14 '^│   2 n2 ' || fail "the end of the line is not shown"
    expectWholeFrames 80 "stacked, wrapped"
    type s
    type /
    press Enter
    # 455 rows of 33 columns side by side.
    waitForRow 2 '^│   (↪|\+) 0014980\|000014990\| +│ +│$' &&
        waitForRow 3 '^│   2 n2 +│   2 n2 +│$' || fail "side by side, the rows do not stand level"
    expectWholeFrames 80 "side by side, wrapped"
    type z
    waitForRow 25 '^Not wrapped *$' || fail "z did not say it stopped wrapping"
    quitKeyView q
}

# --- every key of the view, at 80x25 and at 200x60 -----------------------------------------------
#
# The cases below build one pair of files row by row and so know the aligned list the view must
# show: for every row, the text each side shows and its line number (0: that side has no line).
# The expected screen rows are computed from the layout rules rather than written out, so that the
# same case runs at both sizes.

# Strings are measured in characters, not bytes: the frame and Σ take several bytes each.
export LC_ALL=C.UTF-8

# The built-in colour scheme (no qvd.ini lies beside the built programs) as the terminal shows
# it, foreground;background.
identicalColour='93;44'
differingColour='93;41'
matchingColour='97;41'

leftShown=() leftNumber=() rightShown=() rightNumber=()
leftLines=0
rightLines=0

# A line both files have, and how it shows when that is not its bytes.
same() {
    changed "$1" "$1" "${2-$1}" "${2-$1}"
}

changed() { # left bytes, right bytes [, left shown, right shown]
    printf '%s\n' "$1" >>"$work/old.txt"
    printf '%s\n' "$2" >>"$work/new.txt"
    leftLines=$((leftLines + 1))
    rightLines=$((rightLines + 1))
    leftShown+=("${3-$1}")
    leftNumber+=("$leftLines")
    rightShown+=("${4-$2}")
    rightNumber+=("$rightLines")
}

leftOnly() {
    printf '%s\n' "$1" >>"$work/old.txt"
    leftLines=$((leftLines + 1))
    leftShown+=("$1")
    leftNumber+=("$leftLines")
    rightShown+=("")
    rightNumber+=(0)
}

# Equal lines, each one different from every other, until the list has n rows.
sameUpTo() {
    while [ ${#leftShown[@]} -lt "$1" ]; do same "row ${#leftShown[@]}"; done
}

# Blocks of differences at rows 10, 20, 30, 40, 50 to 52 and 100 of 120 rows: a changed digit, a
# change of case only, a change of white space only, an empty line only the first file has, three
# changed lines, one more changed line. Before them a line with a tab, one with the byte 0xE4 and
# one of 260 characters, all equal.
makeKeyFiles() {
    : >"$work/old.txt"
    : >"$work/new.txt"
    same title
    same $'tab\there' 'tab here'
    same $'umlaut \xe4 here' 'umlaut Σ here'
    sameUpTo 6
    longLine=$(printf 'w%03d' $(seq 0 64))
    same "$longLine"
    sameUpTo 10
    changed 'value 1234' 'value 1294'
    sameUpTo 20
    changed 'Case Only Here' 'case only here'
    sameUpTo 30
    changed $'white  space\there' 'white space here' 'white  space    here'
    sameUpTo 40
    leftOnly ''
    sameUpTo 50
    changed 'alpha 1' 'beta 1'
    changed 'alpha 2' 'beta 2'
    changed 'alpha 3' 'beta 3'
    sameUpTo 100
    changed 'last change old' 'last change new'
    sameUpTo 120
    rowCount=${#leftShown[@]}
    maxTopRow=$((rowCount - 5))
}

# The layout with the panes one above the other: the screen rows (1-based) of the first text row
# of each pane and of the bottom border, the text rows and text width of a pane.
stackedLayout() { # width height [menu shown: 1]
    local rows=$2
    [ "${3:-1}" = 1 ] && rows=$(($2 - 3))
    width=$1
    height=$2
    paneHeight=$(((rows + 1) / 2))
    textRows=$((paneHeight - 2))
    leftRow=2
    rightRow=$((rows / 2 + 2))
    bottomRow=$rows
    textWidth=$((width - 7))
}

# One pane row as the screen shows it: frame, number field, text cut to the width, frame.
paneCells() { # number field, text, text width
    local text=${2:0:$3}
    printf '│%s%s%*s│' "$1" "$text" $(($3 - ${#text})) ''
}

numberField() { # number, the variable to set
    if [ "$1" = 0 ]; then printf -v "$2" '  -  '; else printf -v "$2" '%4d ' "$1"; fi
}

# Row r of the list in the left or right pane of the stacked layout; past the end a blank row.
paneLine() { # left|right, row [, hScroll [, line numbers hidden: 1 [, text width]]]
    local field='     ' text='' width=${5:-$textWidth}
    if [ "$2" -lt "$rowCount" ]; then
        if [ "$1" = left ]; then
            numberField "${leftNumber[$2]}" field
            text=${leftShown[$2]}
        else
            numberField "${rightNumber[$2]}" field
            text=${rightShown[$2]}
        fi
    fi
    if [ "${4:-0}" = 1 ]; then
        field=''
        width=$((width + 5))
    fi
    paneCells "$field" "${text:${3:-0}}" "$width"
}

# Row r of the list with the panes side by side on a screen w columns wide: the left pane leaves
# a blank column before the divider, which is the right pane's left frame.
sideBySideLine() { # r, w
    local half=$(($2 / 2)) left
    left=$(paneLine left "$1" 0 0 $((half - 7)))
    printf '%s %s' "${left%│}" "$(paneLine right "$1" 0 0 $(($2 - half - 7)))"
}

# Waits up to 10 s for a test that reads the screen on its standard input to pass.
waitForScreen() {
    local try
    for ((try = 0; try < 100; try++)); do
        screen | eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

# Waits up to 10 s for screen row n (1-based) to be exactly the given text, or to begin with it.
waitForLine() {
    local seen try
    for ((try = 0; try < 100; try++)); do
        screenRowInto "$1"
        [ "$seen" = "$2" ] && return 0
        sleep 0.1
    done
    printf 'row %s expected: [%s]\n       seen:     [%s]\n' "$1" "$2" "$seen"
    return 1
}

waitForLineStart() {
    local seen try
    for ((try = 0; try < 100; try++)); do
        screenRowInto "$1"
        [[ $seen == "$2"* ]] && return 0
        sleep 0.1
    done
    printf 'row %s expected to begin: [%s]\n       seen:              [%s]\n' "$1" "$2" "$seen"
    return 1
}

# The view starts at list row t (scrolled right by h): the first and last text rows of the upper
# pane and the first of the lower one show the rows they must.
expectTop() { # t [, h [, line numbers hidden]]
    waitForLine "$leftRow" "$(paneLine left "$1" "${2:-0}" "${3:-0}")" &&
        waitForLine $((leftRow + textRows - 1)) \
            "$(paneLine left $(($1 + textRows - 1)) "${2:-0}" "${3:-0}")" &&
        waitForLine "$rightRow" "$(paneLine right "$1" "${2:-0}" "${3:-0}")"
}

# The colour of every cell of screen row n (1-based), as foreground;background, into the array
# cellColours. capture-pane -e writes only the changes, carried on from one row to the next.
readCellColours() {
    local n=0 line text codes code fg=39 bg=49 i
    cellColours=()
    while IFS= read -r line; do
        n=$((n + 1))
        while [ -n "$line" ]; do
            if [[ $line == $'\e['* ]]; then
                codes=${line%%m*}
                codes=${codes:2}
                line=${line#*m}
                for code in ${codes//;/ }; do
                    case $code in
                    0) fg=39 bg=49 ;;
                    3[0-7] | 39 | 9[0-7]) fg=$code ;;
                    4[0-7] | 49 | 10[0-7]) bg=$code ;;
                    esac
                done
                [ -z "$codes" ] && fg=39 bg=49
            else
                text=${line%%$'\e'*}
                line=${line:${#text}}
                if [ "$n" = "$1" ]; then
                    for ((i = 0; i < ${#text}; i++)); do cellColours+=("$fg;$bg"); done
                fi
            fi
        done
        [ "$n" = "$1" ] && return 0
    done < <(tm capture-pane -e -p -t "$pane")
}

# Waits up to 10 s for the cell at screen row n (1-based), column c (0-based) to take a colour.
waitForColour() {
    local try
    for ((try = 0; try < 100; try++)); do
        readCellColours "$1"
        [ "${cellColours[$2]-}" = "$3" ] && return 0
        sleep 0.1
    done
    echo "row $1, column $2: colour ${cellColours[$2]-none}, expected $3"
    return 1
}

# The key letter of a toggle word in the middle menu line: its colour shows the toggle's state.
waitForToggle() { # word, colour
    local line prefix
    waitForRow $((height - 1)) "$1" || {
        echo "no $1 in the menu line"
        return 1
    }
    line=$(screen | sed -n "$((height - 1))p")
    prefix=${line%%"$1"*}
    waitForColour $((height - 1)) ${#prefix} "$2"
}

startKeyView() { # width height
    makeKeyFiles
    stackedLayout "$1" "$2"
    startShell "$1" "$2"
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    expectTop 0 || fail "the first screen does not show the first rows"
}

# Every quit key ends the view with 1, the files differ.
quitKeyView() { # key
    press "$1"
    expectStatus 1
    expectModesRestored
    expectShellScreen
}

viewerMovesThroughTheRows() { # width height
    startKeyView "$1" "$2"
    # Shift, Ctrl or Alt with a moving key, the digit 0 and a letter without a command do nothing.
    press S-Down C-Down M-Down S-PageDown C-End M-Home S-Right
    type 0x
    press Down
    expectTop 1 || fail "a modified moving key, 0 or x moved the view, or Down did not go one row down"
    press Up
    expectTop 0 || fail "Up did not go one row up"
    local page=$((paneHeight - 3)) step key top column
    press PageDown
    expectTop $page || fail "Page Down did not go $page rows down"
    press PageDown
    expectTop $((2 * page)) || fail "a second Page Down did not go $page rows further"
    press PageUp
    expectTop $page || fail "Page Up did not go $page rows up"
    press PageUp
    expectTop 0 || fail "Page Up did not go back to the first row"
    # Space and + go to the first row of the next block of differences, and to the last top row
    # after the last block; - goes to the last row of the previous block, and to row 0.
    for step in Space:10 +:20 Space:30 +:40 Space:50 +:100 Space:$maxTopRow \
        -:100 -:52 -:40 -:30 -:20 -:10 -:0; do
        key=${step%:*}
        top=${step#*:}
        if [ "$key" = Space ]; then press Space; else type "$key"; fi
        expectTop "$top" || fail "$key did not go to row $top"
    done
    # At the first row - does nothing, at the last top row neither Space nor Down does.
    type -
    press Down
    expectTop 1 || fail "- went on from row 0"
    press End
    expectTop $maxTopRow || fail "End did not go to row $maxTopRow"
    press Space
    press Down
    press Up
    expectTop $((maxTopRow - 1)) || fail "Space or Down went past row $maxTopRow"
    press Home
    expectTop 0 || fail "Home did not go to the first row"
    # Right and Left move the text two columns a press, never left of its start; the numbers stay.
    press Down Down Down
    expectTop 3 || fail "Down did not go three rows down"
    local long=$((leftRow + 3))
    for step in Right:2 Right:4 Left:2 Left:0 Left:0 Right:2 Right:4; do
        key=${step%:*}
        column=${step#*:}
        press "$key"
        expectTop 3 "$column" && waitForLine $long "$(paneLine left 6 "$column")" ||
            fail "$key did not show the text from column $column"
    done
    # Home first goes back to column 0 on the same rows, then to the first row.
    press Home
    expectTop 3 0 || fail "Home did not go back to column 0 on the same rows"
    press Home
    expectTop 0 || fail "a second Home did not go to the first row"
    quitKeyView q
}

viewerTogglesTheComparison() { # width height
    startKeyView "$1" "$2"
    local text=6 column
    press Space
    expectTop 10 || fail "Space did not go to the first difference"
    waitForColour $leftRow $text "$differingColour" || fail "a changed line is not in differing"
    waitForToggle Diff "$identicalColour" || fail "D lit up before d"
    # "value 1234" against "value 1294": with d only the third-last character differs, the
    # rest of the row (blanks against blanks too) agrees, and both panes are coloured alike.
    press d
    waitForToggle Diff "$differingColour" || fail "d did not light up the D in the menu"
    for column in 6 7 12 13 15 16 40 $((width - 2)); do
        waitForColour $leftRow $column "$matchingColour" &&
            waitForColour $rightRow $column "$matchingColour" ||
            fail "d: column $column of the changed line is not in matching"
    done
    waitForColour $leftRow 14 "$differingColour" && waitForColour $rightRow 14 "$differingColour" ||
        fail "d: the differing character is not in differing"
    waitForColour $((leftRow + 1)) $text "$identicalColour" || fail "d coloured an equal line"
    type D
    waitForToggle Diff "$identicalColour" || fail "D did not put out the D in the menu"
    waitForColour $leftRow 7 "$differingColour" || fail "D did not end the highlighting"
    # c: the line that differs only in case becomes equal; the view stays on it.
    press Space
    expectTop 20 || fail "Space did not go to the change of case"
    waitForColour $leftRow $text "$differingColour" || fail "a change of case is not a difference"
    waitForToggle Case "$identicalColour" || fail "C lit up before c"
    press c
    waitForColour $leftRow $text "$identicalColour" &&
        waitForColour $rightRow $text "$identicalColour" || fail "c: the case still makes a difference"
    waitForToggle Case "$differingColour" || fail "c did not light up the C in the menu"
    expectTop 20 || fail "c moved the view"
    # w: the line that differs only in blanks and a tab becomes equal, and shows compressed.
    press Space
    expectTop 30 || fail "Space did not go to the change of white space"
    waitForColour $leftRow $text "$differingColour" || fail "a change of white space is not a difference"
    waitForToggle White "$identicalColour" || fail "W lit up before w"
    press w
    waitForColour $leftRow $text "$identicalColour" &&
        waitForColour $rightRow $text "$identicalColour" || fail "w: white space still makes a difference"
    waitForToggle White "$differingColour" || fail "w did not light up the W in the menu"
    waitForLine $leftRow "$(paneCells '  31 ' 'white space here' $textWidth)" ||
        fail "w: the run of white space is not shown as one blank"
    # e: the empty line that only the first file has disappears and the rows behind it move up;
    # each side keeps its file's own line numbers.
    press Space
    expectTop 40 || fail "Space did not go to the empty line"
    waitForToggle Empty "$identicalColour" || fail "E lit up before e"
    press e
    waitForLine $leftRow "$(paneCells '  42 ' 'row 41' $textWidth)" &&
        waitForLine $rightRow "$(paneCells '  41 ' 'row 41' $textWidth)" &&
        waitForLine $((leftRow + 1)) "$(paneCells '  43 ' 'row 42' $textWidth)" ||
        fail "e: the empty line is still there, or the numbers do not follow"
    waitForColour $leftRow $text "$identicalColour" || fail "e: the rows behind the empty line differ"
    waitForToggle Empty "$differingColour" || fail "e did not light up the E in the menu"
    quitKeyView Q
}

# The hex row of list row r in the pane of one file: offset and hex pairs (the character column
# behind them is left out).
hexRowStart() { # file, row, bytes per row, offset digits
    local offset=$(($2 * $3)) bytes
    bytes=$(od -An -v -tx1 -j "$offset" -N "$3" "$1" | tr -d '\n' | tr a-f A-F)
    printf '│%0*X %s ' "$4" "$offset" "${bytes# }"
}

viewerTogglesTheDisplay() { # width height
    startKeyView "$1" "$2"
    # s: side by side, each pane half the width and the full height; S: stacked again. The upper-case
    # letters toggle as the lower-case ones do.
    local half=$(($1 / 2)) rows=$(($2 - 3))
    press s
    waitForRow 1 "^┌.*old\.txt─*┬.*new\.txt─*┐$" || fail "s did not put the panes side by side"
    waitForRow 1 "^.{$half}┬" || fail "s: the divider is not at column $half"
    waitForLine 2 "$(sideBySideLine 0 "$1")" && waitForLine $((rows - 1)) "$(sideBySideLine $((rows - 3)) "$1")" ||
        fail "s: the panes do not stand side by side over $((rows - 2)) rows"
    waitForRow "$rows" '^└═+─*┴═+─*┘$' || fail "s: no bottom border with two scroll bars"
    type S
    expectTop 0 || fail "S did not stack the panes"
    waitForRow $((rightRow - 1)) '^├.*new\.txt─*┤$' || fail "S did not bring the middle border"
    # l: the text starts right after the frame; N (as L and n): the numbers are back.
    press l
    expectTop 0 0 1 || fail "l did not hide the line numbers"
    type N
    expectTop 0 || fail "N did not show the line numbers"
    # o: the byte 0xE4 is Σ in the OEM code page and ä in the ANSI one; the O of the menu is lit
    # while the OEM code page is in use.
    waitForToggle OEM "$differingColour" || fail "O not lit at the start"
    press o
    waitForLine $((leftRow + 2)) "$(paneCells '   3 ' 'umlaut ä here' $textWidth)" ||
        fail "o: the byte 0xE4 is not shown as ä"
    waitForToggle OEM "$identicalColour" || fail "o did not put out the O in the menu"
    # m: the menu goes, the panes take its three rows; M brings it back as it was.
    press m
    stackedLayout "$1" "$2" 0
    waitForRow "$2" '^└═+─*┘$' || fail "m: the bottom border did not move to the last row"
    expectTop 0 || fail "m: the panes did not grow by the menu's rows"
    waitForScreen "! grep -q TOGGLES" || fail "m: the menu is still shown"
    type M
    stackedLayout "$1" "$2"
    waitForRow "$bottomRow" '^└═+─*┘$' || fail "M did not put the bottom border back"
    expectTop 0 || fail "M did not give the menu its rows back"
    waitForRow $(($2 - 2)) 'TOGGLES' || fail "M did not bring back the menu"
    waitForToggle OEM "$identicalColour" || fail "the menu came back without the state of O"
    type O
    waitForLine $((leftRow + 2)) "$(paneCells '   3 ' 'umlaut Σ here' $textWidth)" ||
        fail "O did not show the byte 0xE4 as Σ again"
    waitForToggle OEM "$differingColour" || fail "O did not light up the O in the menu"
    # 1 to 9: the tab after "tab" reaches the next multiple of the tab width.
    local n stop
    for n in 1 2 3 4 5 6 7 8 9; do
        type $n
        stop=$(((3 / n + 1) * n))
        waitForLine $((leftRow + 1)) "$(paneCells '   2 ' "tab$(printf '%*s' $((stop - 3)) '')here" $textWidth)" ||
            fail "tab width $n does not put the text after the tab at column $stop"
    done
    type 4
    # h: hex rows of the raw bytes, the view starting at the row that holds the top line; H: back
    # to the text, on the same line.
    local size digits bytes top
    press Space
    expectTop 10 || fail "Space did not go to the first difference"
    size=$(stat -c %s "$work/old.txt")
    [ "$(stat -c %s "$work/new.txt")" -gt "$size" ] && size=$(stat -c %s "$work/new.txt")
    digits=$(printf %X "$size")
    digits=${#digits}
    bytes=$((($1 - digits - 3) / 4))
    bytes=$((bytes - bytes % ($1 < 80 ? 4 : 8)))
    top=$(($(head -n 10 "$work/old.txt" | wc -c) / bytes))
    press h
    waitForLineStart $leftRow "$(hexRowStart "$work/old.txt" $top $bytes $digits)" &&
        waitForLineStart $rightRow "$(hexRowStart "$work/new.txt" $top $bytes $digits)" ||
        fail "h: no hex rows of $bytes bytes from the row of the top line"
    type H
    expectTop 10 || fail "H did not go back to the text on the same line"
    quitKeyView Enter
}

viewerStepsTheScreenSize() { # width height
    startKeyView "$1" "$2"
    if [ "$1" = 80 ]; then
        # The terminal is the largest screen: t, Alt-F9 and Alt-F8 step to sizes it cannot show
        # or to the size it has, so the view keeps 80 x 25.
        for key in t M-F9 M-F8; do
            press "$key"
            press Down
            expectTop 1 && waitForRow 25 'ESC/ENTER quit' && waitForRow 1 '^┌.{78}┐$' ||
                fail "$key changed the size of the view"
            press Up
            expectTop 0 || fail "the view did not go on after $key"
        done
        quitKeyView Escape
        return
    fi
    # From the start height of 60, t gives 25 rows, and t again the start height.
    press t
    waitForRow 25 'ESC/ENTER quit' && waitForRow 22 '^└═+─*┘$' || fail "t did not make the view 25 rows"
    waitForScreen "! sed -n 26,60p | grep -q '[^ ]'" || fail "t left rows below the view"
    press t
    waitForRow 60 'ESC/ENTER quit' && waitForRow 57 '^└═+─*┘$' ||
        fail "a second t did not give back the start height"
    # Alt-F9 from the largest height goes to 25, from 25 to 50, and from 50 on by 10.
    press M-F9
    waitForRow 25 'ESC/ENTER quit' || fail "Alt-F9 from 60 rows did not go to 25"
    press M-F9
    waitForRow 50 'ESC/ENTER quit' && waitForRow 47 '^└═+─*┘$' ||
        fail "Alt-F9 from 25 rows did not go to 50"
    press M-F9
    waitForRow 60 'ESC/ENTER quit' || fail "Alt-F9 from 50 rows did not go to 60"
    # Alt-F8 from the largest width goes to 80, and from there on by 20.
    press M-F8
    stackedLayout 80 60
    expectTop 0 || fail "Alt-F8 from the largest width did not lay out 80 columns"
    waitForRow 1 '^┌.{78}┐$' || fail "Alt-F8: the top border is not 80 columns"
    press M-F8
    stackedLayout 100 60
    expectTop 0 || fail "a second Alt-F8 did not lay out 100 columns"
    quitKeyView Escape
}

# --- Linux text: UTF-8 without a signature ------------------------------------------------------

# Every row of the screen that begins with a frame glyph spans the width of the screen in the
# terminal's columns (a wide character counts two) and ends in the frame.
expectWholeFrames() { # width, after what
    local line columns
    while IFS= read -r line; do
        case $line in
        [┌│└├]*)
            columns=$(wc -L <<<"$line")
            [ "$columns" = "$1" ] || fail "a frame row of $columns columns, not $1, $2: '$line'"
            case $line in
            *[│┐┘┤]) ;;
            *) fail "a frame row that does not end in the frame $2: '$line'" ;;
            esac
            ;;
        esac
    done < <(screen)
}

# UTF-8 text without a signature: an accented letter, CJK, an emoji, a combining mark.
makeLinuxTextFiles() {
    printf 'title\ncafé au lait\nx中文 wide\nemoji 😀 here\ne\xcc\x81tude\nend\n' >"$work/old.txt"
    printf 'title\ncafe au lait\nx中文 narrow\nemoji 😃 here\ne\xcc\x80tude\nend\n' >"$work/new.txt"
}

# moxa reads UTF-8 text without a signature as text and shows each character in its columns:
# stacked, side by side, scrolled sideways; hex mode shows the bytes, as for a signed file.
# moxaw, the 8-bit program, shows the bytes through code page 437 as before.
linuxTextShowsItsCharacters() {
    makeLinuxTextFiles
    startShell 80 25
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    if [[ $program == *moxaw ]]; then
        waitForRow 3 '^│   2 caf├⌐ au lait +│$' || fail "moxaw does not show the bytes of café"
        waitForRow 4 '^│   3 xΣ╕¡µûç wide +│$' || fail "moxaw does not show the bytes of 中文"
        expectWholeFrames 80 "in moxaw"
        quitKeyView q
        return
    fi
    waitForLine 3 "$(printf '│   2 café au lait%*s│' 61 '')" &&
        waitForLine 4 "$(printf '│   3 x中文 wide%*s│' 63 '')" &&
        waitForLine 5 "$(printf '│   4 emoji 😀 here%*s│' 60 '')" &&
        waitForLine 6 "$(printf '│   5 e\xcc\x81tude%*s│' 68 '')" &&
        waitForLine 15 "$(printf '│   3 x中文 narrow%*s│' 61 '')" ||
        fail "the characters are not on the screen as such"
    expectWholeFrames 80 "stacked"
    press s
    waitForRow 3 '^│   2 café au lait +│   2 cafe au lait +│$' &&
        waitForRow 4 '^│   3 x中文 wide +│   3 x中文 narrow +│$' &&
        waitForRow 5 '^│   4 emoji 😀 here +│   4 emoji 😃 here +│$' ||
        fail "side by side, the characters are not on the screen as such"
    expectWholeFrames 80 "side by side"
    # Each step is two columns: the first cuts 中 in half (a one-column stand-in), the second
    # 文, the third passes both; the emoji comes to the first column whole.
    press Right
    waitForRow 4 '^│   3 �文 wide +│   3 �文 narrow +│$' || fail "a cut wide character is not a stand-in"
    expectWholeFrames 80 "scrolled by one step"
    press Right
    waitForRow 4 '^│   3 � wide +│   3 � narrow +│$' &&
        waitForRow 5 '^│   4 i 😀 here +│   4 i 😃 here +│$' || fail "the second step did not cut 文"
    expectWholeFrames 80 "scrolled by two steps"
    press Right
    waitForRow 4 '^│   3 wide +│   3 narrow +│$' &&
        waitForRow 5 '^│   4 😀 here +│   4 😃 here +│$' || fail "the third step did not pass 文 whole"
    expectWholeFrames 80 "scrolled by three steps"
    press h
    waitForText '66 C3 A9 20' || fail "hex mode does not show the bytes of café"
    expectWholeFrames 80 "in hex mode"
    press s
    waitForText '66 C3 A9 20 61' || fail "stacked hex mode does not show the bytes of café"
    expectWholeFrames 80 "in stacked hex mode"
    quitKeyView q
}

# On a terminal without UTF-8 (the C locale) the same files show ASCII stand-ins: a '?' for each
# column of a character beyond ASCII, a mark dropped with its letter kept, the frames in ASCII.
linuxTextOnTerminalWithoutUtf8() {
    makeLinuxTextFiles
    startShell 80 25 C
    runRecorded "$program $work/old.txt $work/new.txt"
    waitForText 'ESC/ENTER quit' || fail "the view was not drawn"
    waitForRow 1 '^[+]/tmp/.*old\.txt-+[+]$' || fail "the frame is not drawn in ASCII"
    waitForLine 3 "$(printf '|   2 caf? au lait%*s|' 61 '')" &&
        waitForLine 4 "$(printf '|   3 x???? wide%*s|' 63 '')" &&
        waitForLine 5 "$(printf '|   4 emoji ?? here%*s|' 60 '')" &&
        waitForLine 6 "$(printf '|   5 etude%*s|' 68 '')" ||
        fail "characters beyond ASCII are not a '?' a column"
    press q
    expectStatus 1
    expectModesRestored
}

# Two trees with identical, changed, one-sided and kind-changed entries and a link loop.
makeTrees() {
    mkdir -p "$work/t1/src/deep" "$work/t2/src/deep" "$work/t1/docs" "$work/t2/kind"
    printf 'same\n' | tee "$work/t1/same.txt" >"$work/t2/same.txt"
    printf 'alpha\nbeta\n' >"$work/t1/src/main.c"
    printf 'alpha\nBETA\n' >"$work/t2/src/main.c"
    printf 'deep\n' | tee "$work/t1/src/deep/a.txt" >"$work/t2/src/deep/a.txt"
    printf 'gone\n' >"$work/t1/docs/old.md"
    printf 'new\n' >"$work/t2/added.txt"
    printf 'a file\n' >"$work/t1/kind"
    ln -s .. "$work/t1/src/loop"
    ln -s .. "$work/t2/src/loop"
}

directoryListOpensPairsAndHidesIdenticalRows() {
    makeTrees
    startShell 100 25
    runRecorded "$program $work/t1 $work/t2"
    waitForText 'ENTER open' || fail "the list was not drawn"
    waitForText ' differ ' || fail "no counts in the bottom border"
    waitForRow 2 '^│ added\.txt +only right +- +4 │$' || fail "the first row is not the added file"
    waitForText '│ docs/old\.md +only left ' || fail "no row for the file only the first tree has"
    waitForText '│ kind/ +kinds differ ' || fail "no row for a file against a directory"
    waitForText '│ src/loop/ +walked before ' || fail "the link loop is not marked"
    waitForText '│ same\.txt +identical +5 +5 │' || fail "no identical row"
    # Space goes to the next difference; / finds the changed source file, ENTER opens it, q comes
    # back.
    press Space
    waitForText '│ docs/ +only left ' || fail "Space did not reach the next difference"
    type /main
    press Enter
    press Enter
    waitForText 'ESC/ENTER quit' || fail "ENTER did not open the pair"
    waitForText 'src/main\.c' || fail "the pair's frame does not name the file"
    waitForText 'BETA' || fail "the pair's view does not show the second file"
    press q
    waitForText 'ENTER open' || fail "q did not come back to the list"
    # i hides the identical rows.
    type i
    waitForText 'Identical rows hidden' || fail "i did not say what it did"
    ! screen | grep -q 'same\.txt' || fail "i did not hide the identical row"
    press q
    expectStatus 1
    expectModesRestored
    expectShellScreen
    # Identical trees: the sentence of identical files, a key, 0.
    rm -rf "$work/t2" && cp -a "$work/t1" "$work/t2"
    rm -f "$work/status"
    runRecorded "$program $work/t1 $work/t2"
    waitForText 'are identical' || fail "identical trees were not reported identical"
    waitForText 'Press any key to exit' || fail "no wait for a key"
    press x
    expectStatus 0
    expectModesRestored
    # Batch mode gives the verdict alone.
    rm -f "$work/status"
    runRecorded "$program -b $work/t1 $work/t2"
    expectStatus 0
}

# git's directory diff hands the tool two trees of the changed files, the right one links into the
# work tree.
gitDirectoryDiffShowsTheList() {
    local repo=$work/repo
    mkdir -p "$repo"
    git -C "$repo" init -q
    printf 'one\ntwo\n' >"$repo/changed.txt"
    printf 'bye\n' >"$repo/deleted.txt"
    git -C "$repo" add -A
    git -C "$repo" -c user.name=test -c user.email=test@example.com commit -qm first
    printf 'one\nTWO\n' >"$repo/changed.txt"
    rm "$repo/deleted.txt"
    printf 'hi\n' >"$repo/added.txt"
    git -C "$repo" add -A
    startShell 100 25
    recordCommandLine "cd $(printf '%q' "$repo") && git difftool -d -x $program --cached"
    type "sh $work/run.sh"
    press Enter
    waitForText 'ENTER open' || fail "git's directory diff did not show the list"
    waitForText '│ added\.txt +only right ' || fail "no row for the added file"
    waitForText '│ changed\.txt +different ' || fail "no row for the changed file"
    waitForText '│ deleted\.txt +only left ' || fail "no row for the deleted file"
    press Down
    press Enter
    waitForText 'TWO' || fail "ENTER did not open the changed file"
    press q
    waitForText 'ENTER open' || fail "q did not come back to the list"
    press q
    # git passes the tool's 1 on, or (newer versions) says 0 unless told to trust it.
    waitForFile "$work/status" || fail "git did not end"
    grep -qx '[01]' "$work/status" || fail "git ended with $(cat "$work/status")"
    expectModesRestored
}

viewerMovesThroughTheRowsAt80x25() { viewerMovesThroughTheRows 80 25; }
viewerMovesThroughTheRowsAt200x60() { viewerMovesThroughTheRows 200 60; }
viewerTogglesTheComparisonAt80x25() { viewerTogglesTheComparison 80 25; }
viewerTogglesTheComparisonAt200x60() { viewerTogglesTheComparison 200 60; }
viewerTogglesTheDisplayAt80x25() { viewerTogglesTheDisplay 80 25; }
viewerTogglesTheDisplayAt200x60() { viewerTogglesTheDisplay 200 60; }
viewerStepsTheScreenSizeAt80x25() { viewerStepsTheScreenSize 80 25; }
viewerStepsTheScreenSizeAt200x60() { viewerStepsTheScreenSize 200 60; }

source "$(dirname "$0")/../terminal/tmuxTests.sh" "$@"
