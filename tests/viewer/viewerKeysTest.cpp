// The key table of the view, driven through the real loop on the in-memory terminal. The
// positions below are those of an 80 x 25 screen with the panes one above the other: the upper
// pane's rows are screen rows 1 to 9 (number column 1-5, text from column 6), the lower pane's
// rows 12 to 20, its bottom border (with the scroll bar) row 21, the menu rows 22 to 24.
#include "viewerTestSupport.h"

#include "console/helpPages.h"
#include "console/screen.h"
#include "viewer/viewKeys.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr int kTopLeftRow = 1;

// Thirty lines; rows 10-12 and 21-23 (from 0) differ, the rest match.
std::string blockLeft() {
    return makeLines(30, [](int i) { return "line " + std::to_string(i); });
}
std::string blockRight() {
    return makeLines(30, [](int i) {
        bool differs = (i >= 10 && i <= 12) || (i >= 21 && i <= 23);
        return (differs ? "changed " : "line ") + std::to_string(i);
    });
}

// The number shown in the first row of the upper pane: the top row + 1 while every row pairs.
int topNumber(const ScreenDump& screen) {
    return std::stoi(screen.text(kTopLeftRow, 1, 5));
}

using ViewerKeys = ViewerScreenTest;

TEST_F(ViewerKeys, BlockJumpsAndRowMoves) {
    struct Case {
        const char* name;
        std::vector<int> keys;
        int topRow;
    };
    const std::vector<Case> cases = {
        {"first screen", {}, 0},
        {"space goes to the first differing block", {' '}, 10},
        {"plus works as space", {'+'}, 10},
        {"space again to the next block", {' ', ' '}, 21},
        {"space in the last block stops at maxTopRow", {' ', ' ', ' ', ' '}, 25},
        {"minus from 21 goes to the last row of the earlier block", {' ', ' ', '-'}, 12},
        {"space from 12 goes to 21", {' ', ' ', '-', ' '}, 21},
        {"minus from the first block goes to row 0", {' ', '-'}, 0},
        {"down and up", {kKeyDown, kKeyDown, kKeyDown, kKeyUp}, 2},
        {"up at the top does nothing", {kKeyUp}, 0},
        {"end goes to maxTopRow (rows - 5)", {kKeyEnd}, 25},
        {"down stops at maxTopRow", join({kKeyEnd}, {kKeyDown}), 25},
        {"page down moves paneHeight - 3 = 8", {kKeyPageDown}, 8},
        {"page down stops at maxTopRow",
         {kKeyPageDown, kKeyPageDown, kKeyPageDown, kKeyPageDown},
         25},
        {"page up from 5 goes to 0", join(repeat(kKeyDown, 5), {kKeyPageUp}), 0},
        {"page up from 20 moves 8", join(repeat(kKeyDown, 20), {kKeyPageUp}), 12},
        {"home goes to row 0", {kKeyEnd, kKeyHome}, 0},
        {"shift, ctrl and alt arrows are ignored",
         {kKeyDown + 512, kKeyDown + 2048, kKeyDown + 1024, kKeyEnd + 1024},
         0},
        // Folded, rows 3-6 and 16-17 are one row each: the moves count the rows shown.
        {"folded, space goes to the first block", {'f', ' '}, 10},
        {"folded, down passes the fold in one row", join({'f'}, repeat(kKeyDown, 4)), 7},
        {"folded, page down moves 8 shown rows", {'f', kKeyPageDown}, 11},
        {"folded, end then page up and up", {'f', kKeyEnd, kKeyPageUp, kKeyUp}, 15},
        {"unfolded again", {'f', 'F', kKeyPageDown}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        EXPECT_EQ(run(blockLeft(), blockRight(), c.keys), ViewOutcome::done);
        EXPECT_EQ(topNumber(screen), c.topRow + 1);
    }
}

TEST_F(ViewerKeys, TheWheelMovesTheTopRowAsThreeUpOrDownKeys) {
    const std::string down = mouseReport(65, 5, 9);
    const std::string up = mouseReport(64, 5, 9);
    struct Case {
        const char* name;
        std::vector<std::string> reads; // as they arrive, one after another
        int topRow;
    };
    const std::vector<Case> cases = {
        {"a notch down", {down}, 3},
        {"two notches in one read", {down + down}, 6},
        {"down, down, up", {down, down, up}, 3},
        {"up at the top does nothing", {up}, 0},
        {"a report split over two reads", {down.substr(0, 6), down.substr(6)}, 3},
        {"with Ctrl held, the same", {mouseReport(65 + 16, 5, 9)}, 3},
        {"stops at maxTopRow", {down + down + down + down + down + down + down + down + down}, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        for (const std::string& read : c.reads) queueTerminalBytes(read);
        EXPECT_EQ(run(blockLeft(), blockRight(), {}), ViewOutcome::done);
        EXPECT_EQ(topNumber(screen), c.topRow + 1);
    }
}

// A left click on an item of the menu lines leaves the view as the item's key does; any other
// click (between items, on an item without a key of its own, on the text, with another button,
// a release alone, on a hidden menu, into a prompt) leaves it as it was.
TEST_F(ViewerKeys, AClickOnAMenuItemActsAsItsKey) {
    auto click = [](int row, int column, int button = 0) {
        return mouseReport(button, row, column) + mouseReport(button, row, column, 'm');
    };
    // The screen, characters and colours, after the bytes typed and then q.
    auto outcome = [&](const std::string& typed) {
        reset(80, 25);
        queueTerminalBytes(typed);
        run(blockLeft(), blockRight(), {});
        return std::make_pair(screen.toString(), screen.attributes);
    };
    outcome("");
    ASSERT_EQ(screen.text(22, 35, 8), "Hex mode");
    ASSERT_EQ(screen.text(23, 69, 10), "Diff chars");
    ASSERT_EQ(screen.text(24, 54, 7), "F1 help");
    struct Case {
        const char* name;
        std::string click;
        std::string key;         // what the click stands for; "" for nothing
        std::string before = ""; // typed before the click
        std::string after = "";  // and after it
    };
    const std::vector<Case> cases = {
        {"the first letter of Hex mode", click(22, 35), "h"},
        {"its last letter", click(22, 42), "h"},
        {"Diff chars", click(23, 78), "d"},
        // PageDown turns the help's page, not the view's.
        {"F1 help", click(24, 56), "\x1bOP", "", "\x1b[6~\x1b"},
        {"the gap after Hex mode", click(22, 43), ""},
        {"quit", click(24, 66), ""},
        {"the right button on Hex mode", click(22, 36, 2), ""},
        {"a release alone on Hex mode", mouseReport(0, 22, 36, 'm'), ""},
        {"Hex mode's row with the menu hidden", click(22, 36), "", "m"},
        {"into the search prompt", click(22, 36), "", "/", "\x1b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto expected = outcome(c.before + c.key + c.after);
        if (!c.key.empty()) {
            EXPECT_NE(expected, outcome(c.before + c.after)) << "the key did nothing";
        }
        EXPECT_EQ(outcome(c.before + c.click + c.after), expected);
    }
}

TEST_F(ViewerKeys, PageDownMovesPaneHeightMinusThree) {
    // Side by side on 23 rows: the panes are 20 rows high, so a page is 17 rows.
    reset(80, 23);
    settings.horizontalSplit = 0;
    std::string text = makeLines(100, [](int i) { return "row " + std::to_string(i); });
    run(text, text + "extra\n", {kKeyPageDown}, {80, 23});
    EXPECT_EQ(topNumber(screen), 18);
    EXPECT_EQ(screen.text(1, 41, 4), "  18");
}

TEST_F(ViewerKeys, QuitKeysEndWithOne) {
    for (int key : {kKeyEnter, kKeyEscape, int{'Q'}, int{'q'}}) {
        SCOPED_TRACE(key);
        reset(80, 25);
        queueKeyCode(key);
        leftFile = {QVD_T("a"), literalBytes("a\n"), 2, literalBytes("a\n"), 2};
        rightFile = {QVD_T("b"), literalBytes("b\n"), 2, literalBytes("b\n"), 2};
        EXPECT_EQ(view(), ViewOutcome::done);
        EXPECT_TRUE(tables.viewerShown);
        EXPECT_EQ(pendingScriptEntries(), 0);
        tables = {};
    }
}

TEST_F(ViewerKeys, CtrlCEndsWith130) {
    queueKeyCode(2048 + 3);
    leftFile = {QVD_T("a"), literalBytes("a\n"), 2, literalBytes("a\n"), 2};
    rightFile = {QVD_T("b"), literalBytes("b\n"), 2, literalBytes("b\n"), 2};
    EXPECT_EQ(view(), ViewOutcome::interrupted);
    tables = {};
}

TEST_F(ViewerKeys, HomeFirstScrollsBackThenGoesToTheTop) {
    std::string text = makeLines(40, [](int i) { return "abcdefgh" + std::to_string(i); });
    std::string other = text + "tail\n";
    struct Case {
        const char* name;
        std::vector<int> keys;
        int topRow;
        std::string text; // start of the top text row
    };
    const std::vector<Case> cases = {
        {"right scrolls by two", {kKeyRight, kKeyRight, kKeyRight}, 0, "gh0 "},
        {"left by two, never below 0", {kKeyRight, kKeyLeft, kKeyLeft}, 0, "abcd"},
        {"home with the view scrolled keeps the row",
         {kKeyDown, kKeyDown, kKeyRight, kKeyHome},
         2,
         "abcd"},
        {"a second home goes to row 0",
         {kKeyDown, kKeyDown, kKeyRight, kKeyHome, kKeyHome},
         0,
         "abcd"},
        {"scrolled past the end of the line: blank", repeat(kKeyRight, 6), 0, "    "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        run(text, other, c.keys);
        EXPECT_EQ(topNumber(screen), c.topRow + 1);
        EXPECT_EQ(screen.text(kTopLeftRow, 6, 4), c.text);
    }
}

TEST_F(ViewerKeys, RightReachesTheEndOfTheWidestLineAndAtLeast8192) {
    struct Case {
        const char* name;
        int width; // of the widest line, which ends in "ENDEND"
        std::vector<int> keys;
    };
    // Each key list scrolls so that the widest line's end shows first in the row; had Right
    // stopped anywhere else, the row would start with x or blanks.
    const std::vector<Case> cases = {
        {"a line of 15000 columns: Right stops at its end", 15000,
         join(repeat(kKeyRight, 7510), repeat(kKeyLeft, 3))},
        {"a line of 8000 columns: Right still goes to 8192", 8000,
         join(repeat(kKeyRight, 4200), repeat(kKeyLeft, 99))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        std::string longLine = std::string(static_cast<size_t>(c.width - 6), 'x') + "ENDEND";
        run(longLine + "\nsecond\n", longLine + "\nother\n", c.keys);
        EXPECT_EQ(screen.text(kTopLeftRow, 6, 7), "ENDEND ");
    }
}

#if QVD_WIDE
// The bytes of a UTF-16 image.
std::string utf16Bytes(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

TEST_F(ViewerKeys, Utf16TextScrollsAndIsSearchedByTheColumnsItTakes) {
    // Line 1: 5000 characters two columns wide, 10,000 columns, ending in 一二三. Line 2: a tab
    // after one of them reaches column 4 with two blanks. moxa types € (no OEM byte) whole.
    std::u16string wide(4997, u'中');
    wide += u"一二三";
    const std::u16string pad = u"a\nb\nc\nd\ne\nf\n";
    const std::string left = utf16Bytes(wide + u"\n中\tX\nprice 5€\n" + pad);
    const std::string right = utf16Bytes(wide + u"\nother\nother\n" + pad);
    struct Case {
        const char* name;
        std::string typed; // as the terminal sends it, before the keys
        std::vector<int> keys;
        int topRow;        // the top row's left line
        std::string shown; // from the first text column of the top row
    };
    const std::vector<Case> cases = {
        {"Right reaches the end of 10,000 columns", "",
         join(repeat(kKeyRight, 5010), repeat(kKeyLeft, 3)), 1, "一二三 "},
        {"a tab after a wide character: two blanks", "/中  X", {kKeyEnter}, 2, "中  X "},
        {"not three", "/中   X", {kKeyEnter}, 1, "中中中"},
        // Its key code is '?'; the character comes beside it.
        {"a character outside the OEM code page", "/€", {kKeyEnter}, 3, "price 5€"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        settings.encodingFlags = kFile1Utf16 | kFile2Utf16;
        if (!c.typed.empty()) queueTerminalBytes(c.typed);
        run(left, right, c.keys);
        EXPECT_EQ(topNumber(screen), c.topRow);
        // A character two columns wide reads as itself in its first cell, as nothing in its
        // second.
        std::string shown = screen.text(kTopLeftRow, 6, 12);
        EXPECT_EQ(shown.substr(0, c.shown.size()), c.shown);
    }
}
#endif

// Key codes that type text.
std::vector<int> typed(const std::string& text) {
    std::vector<int> codes;
    for (char c : text) codes.push_back(static_cast<unsigned char>(c));
    return codes;
}

// Sixty rows, all paired: left line i (from 1) is "row i" but for line 21 ("the needle") and line
// 6 (a tab); the right file differs in lines 46 ("Needle Twice") and 59 ("needle at the end").
std::string searchLeft() {
    return makeLines(60, [](int i) {
        if (i == 20) return std::string("the needle");
        if (i == 5) return std::string("tab\there");
        return "row " + std::to_string(i + 1);
    });
}
std::string searchRight() {
    return makeLines(60, [](int i) {
        if (i == 20) return std::string("the needle");
        if (i == 5) return std::string("tab\there");
        if (i == 45) return std::string("Needle Twice");
        if (i == 58) return std::string("needle at the end");
        return "row " + std::to_string(i + 1);
    });
}

TEST_F(ViewerKeys, SearchAndGoToALine) {
    const std::string menu = "  SPACE next difference";
    struct Case {
        const char* name;
        std::vector<int> keys;
        int topRow;          // the top row's left line
        std::string lastRow; // the start of the last screen row
    };
    const std::vector<int> find = join(typed("/needle"), {kKeyEnter});
    const std::vector<int> again = {'/', kKeyEnter};
    const std::vector<Case> cases = {
        {"/needle brings its row to the top", find, 21, menu},
        // Row 58 cannot come to the top (55 is the last top row); the next search goes on from it.
        {"a second search finds the next row", join(find, again), 56, menu},
        {"F3 too, and both go round the end", join(find, {kKeyF3, kKeyF3}), 21, menu},
        {"Shift-F3 goes back, round the start", join(find, {kKeyShiftF3}), 56, menu},
        {"with C on, case is ignored", join({'c'}, join(find, {kKeyF3})), 46, menu},
        {"the right file's text is found", join(typed("/Twice"), {kKeyEnter}), 46, menu},
        {"tabs as the view expands them", join(typed("/tab here"), {kKeyEnter}), 6, menu},
        {"not found: the place is kept", join(typed("/zzz"), {kKeyEnter}), 1, "Not found: zzz"},
        {"the message goes with the next key, which acts",
         join(typed("/zzz"), {kKeyEnter, kKeyDown}), 2, menu},
        // Esc and Enter after a message only clear it; they used to quit the view.
        {"Esc clears a message and nothing else",
         join(typed("/zzz"), {kKeyEnter, kKeyEscape, kKeyDown}), 2, menu},
        {"Enter clears a message and nothing else",
         join(typed("/zzz"), {kKeyEnter, kKeyEnter, kKeyDown}), 2, menu},
        {"Esc cancels", join(typed("/needle"), {kKeyEscape}), 1, menu},
        {"Backspace edits", join(typed("/needlx"), {kKeyBackspace, 'e', kKeyEnter}), 21, menu},
        {"Backspace on an empty prompt closes it", {'/', kKeyBackspace, kKeyDown}, 2, menu},
        {"keys other than text are ignored while typing",
         join(typed("/nee"), {kKeyDown, kKeyF1, 'd', 'l', 'e', kKeyEnter}), 21, menu},
        {"F3 before any search does nothing", {kKeyF3, kKeyShiftF3}, 1, menu},
        {"an empty search before any search does nothing", again, 1, menu},
        {":42 goes to left line 42", join(typed(":42"), {kKeyEnter}), 42, menu},
        {"a line beyond the end: the last rows", join(typed(":999"), {kKeyEnter}), 56, menu},
        {":0 is the first line", join({kKeyDown}, join(typed(":0"), {kKeyEnter})), 1, menu},
        {"only digits are taken", join(typed(":4x2"), {kKeyEnter}), 42, menu},
        // Folded, line 21 and line 30 lie in the fold of rows 4 to 42; reaching one opens it.
        {"folded, the search opens the fold it lands in", join({'f'}, join(find, {kKeyUp})), 20,
         menu},
        {"folded, : opens the fold", join({'f'}, join(typed(":30"), {kKeyEnter, kKeyDown})), 31,
         menu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        EXPECT_EQ(run(searchLeft(), searchRight(), c.keys), ViewOutcome::done);
        EXPECT_EQ(topNumber(screen), c.topRow);
        EXPECT_EQ(screen.text(24, 0, static_cast<int>(c.lastRow.size())), c.lastRow);
    }
}

// The search showed only the row it found: the text now stands out in it (its cells' colours
// swapped), and a text beyond the pane's width is scrolled into sight (a 5 MB line used to take
// a million Right presses to reach).
TEST_F(ViewerKeys, TheFoundTextStandsOutAndComesIntoSight) {
    const uint16_t found = 0x71; // the identical colour, 0x17, swapped
    run(searchLeft(), searchRight(), join(typed("/needle"), {kKeyEnter}));
    EXPECT_EQ(screen.text(kTopLeftRow, 6, 10), "the needle");
    EXPECT_TRUE(screen.hasAttribute(kTopLeftRow, 6, 4, kTestScheme.identical));
    EXPECT_TRUE(screen.hasAttribute(kTopLeftRow, 10, 6, found));
    EXPECT_EQ(screen.attribute(kTopLeftRow, 16), kTestScheme.identical);
    EXPECT_TRUE(screen.hasAttribute(12, 10, 6, kTestScheme.identical)) << "the left line's alone";

    // Far beyond the pane: scrolled so that it starts a quarter of the text width in.
    // The scroll counts a tab as one character, as Left and Right do.
    const std::string far = std::string(5000, 'x') + "EDIT" + std::string(300, 'y') + "\n";
    for (int tabs : {0, 1}) {
        SCOPED_TRACE(tabs);
        reset(80, 25);
        const std::string line = "tail\n" + (tabs ? "\t" + far : far);
        run(line, "other\n" + line, join(typed("/EDIT"), {kKeyEnter}));
        int shownAt = -1;
        size_t at = std::string::npos;
        for (int row = kTopLeftRow; row < kTopLeftRow + 9 && at == std::string::npos; ++row) {
            at = screen.text(row, 6, 73).find("EDIT");
            shownAt = row;
        }
        ASSERT_NE(at, std::string::npos) << screen.toString();
        EXPECT_EQ(at, 18u + tabs) << "a quarter of the text width in, on an even column";
        EXPECT_TRUE(screen.hasAttribute(shownAt, 6 + static_cast<int>(at), 4, 0x71));
        EXPECT_EQ(screen.attribute(shownAt, 5 + static_cast<int>(at)), kTestScheme.identical);
    }
}

// A search of a large file could not be stopped: Esc waited in the queue and then quit the view,
// and the keys typed meanwhile acted once it was over. Past a moment it looks for keys: Esc stops
// it where the view stands, Ctrl-C ends the program, and other keys are dropped.
TEST_F(ViewerKeys, ALongSearchCanBeStoppedAndTakesNoKeysAfterwards) {
    const std::string left = makeLines(300000, [](int i) { return "row " + std::to_string(i); });
    const std::string right = left + "end\n";
    const std::vector<int> search = join(typed("/zzz"), {kKeyEnter});
    struct Case {
        const char* name;
        std::vector<int> busy;  // typed while it searches
        std::vector<int> after; // typed once it is over
        ViewOutcome outcome;
        int topRow;
        std::string lastRow;
    };
    const std::vector<Case> cases = {
        {"Esc stops it and keeps the place",
         {kKeyEscape},
         {kKeyDown},
         ViewOutcome::done,
         3,
         "  SPACE"},
        {"the message says so until the next key",
         {kKeyEscape},
         {},
         ViewOutcome::done,
         2,
         "Search for zzz stopped"},
        {"Ctrl-C ends the program", {kKeyCtrlC}, {}, ViewOutcome::interrupted, 2, ""},
        {"keys typed meanwhile are dropped",
         {'q', 'h', kKeyEnd},
         {},
         ViewOutcome::done,
         2,
         "Not found: zzz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        leftFile = {QVD_T("old.txt"), bytes(left), size32(left), bytes(left), size32(left)};
        rightFile = {QVD_T("new.txt"), bytes(right), size32(right), bytes(right), size32(right)};
        queueKeyCodes({kKeyDown});
        for (int key : search) queueKeyCode(key);
        queueBusyKeyCodes(c.busy);
        for (int key : c.after) queueKeyCode(key);
        if (c.outcome == ViewOutcome::done) queueKeyCode('q');
        EXPECT_EQ(view(), c.outcome);
        tables = {};
        screen = dumpScreen();
        EXPECT_EQ(pendingScriptEntries(), 0) << "every key read, the busy ones dropped";
        EXPECT_EQ(std::stoi(screen.text(kTopLeftRow, 1, 7)), c.topRow) << "six-digit numbers";
        EXPECT_EQ(screen.text(24, 0, static_cast<int>(c.lastRow.size())), c.lastRow);
    }
}

TEST_F(ViewerKeys, PromptsShowTheirTextWithTheCursorAtItsEnd) {
    struct Case {
        std::string typed; // as the terminal sends it
        int column;        // where the shown text starts to be checked
        std::string shown; // from there on
        int cursorColumn;
        bool wideOnly = false;
    };
    const std::string wide = "\xE4\xB8\xAD"; // 中, two columns
    std::string wideLine;
    for (int i = 0; i < 100; ++i) wideLine += wide;
    const std::vector<Case> cases = {
        {"/ab", 0, "/ab ", 3},
        {":17", 0, ":17 ", 3},
        {":x", 0, ":  ", 1},
        // Wider than the screen: the end of the text, where the typing goes on.
        {"/" + std::string(100, 'a') + "b", 77, "ab", 79},
        // Characters two columns wide show as themselves (they used to show as stand-ins).
        {"/" + wide + "\xE6\x96\x87!", 0, "/" + wide + "\xE6\x96\x87! ", 6, true},
        {"/" + wideLine, 76, wide + "  ", 78, true},
    };
    leftFile = {QVD_T("a"), literalBytes("a\n"), 2, literalBytes("a\n"), 2};
    rightFile = {QVD_T("b"), literalBytes("b\n"), 2, literalBytes("b\n"), 2};
    for (const Case& c : cases) {
        if (c.wideOnly && !kWideBuild) continue;
        SCOPED_TRACE(c.shown);
        reset(80, 25);
        // Ctrl-C ends the program from the prompt too; the screen is then as the prompt left it.
        queueTerminalBytes(c.typed);
        queueKeyCode(kKeyCtrlC);
        EXPECT_EQ(view(), ViewOutcome::interrupted);
        tables = {};
        ScreenDump shown = dumpScreen();
        EXPECT_EQ(
            shown.text(24, c.column, static_cast<int>(c.shown.size())).substr(0, c.shown.size()),
            c.shown);
        EXPECT_EQ(shown.attribute(24, c.column), kTestScheme.frame);
        EXPECT_TRUE(shown.cursorVisible);
        EXPECT_EQ(shown.cursorRow, 24);
        EXPECT_EQ(shown.cursorColumn, c.cursorColumn);
    }
}

TEST_F(ViewerKeys, SearchReadsTextAsTheViewShowsIt) {
    struct Case {
        const char* name;
        std::vector<int> keys;
        int topRow;
    };
    // Line 3 holds the byte E4: Σ in the OEM code page, ä in the ANSI one.
    const std::vector<Case> cases = {
        {"OEM: Σ is found", {'/', 0xE4, kKeyEnter}, 3},
        {"OEM: ä is not", {'/', 0x84, kKeyEnter}, 1},
        {"ANSI: ä is found", {'o', '/', 0x84, kKeyEnter}, 3},
        {"white space as compressed", {'w', '/', 'a', ' ', 'b', kKeyEnter}, 2},
        {"or not", {'/', 'a', ' ', 'b', kKeyEnter}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        const std::string pad = makeLines(10, [](int i) { return "pad " + std::to_string(i); });
        run("x\na  \t b\n\xE4\ny\n" + pad, "x\nc\nd\ny\n" + pad, c.keys);
        EXPECT_EQ(topNumber(screen), c.topRow);
    }
}

TEST_F(ViewerKeys, HexModeSearchesTheCharacterColumnAndGoesToOffsets) {
    // Rows of 16 bytes; "needle" starts in the row at offset 0x30 and ends in the next one.
    std::string bytes(128, '.');
    bytes.replace(0x3E, 6, "needle");
    std::string other(128, ',');
    struct Case {
        const char* name;
        std::vector<int> keys;
        std::string offset; // of the top row
    };
    const std::vector<Case> cases = {
        {"a match across two rows is found in the first", join(typed("/needle"), {kKeyEnter}),
         "0030"},
        {"with C on, in any case", join({'c'}, join(typed("/NEEDLE"), {kKeyEnter})), "0030"},
        {":offset takes hex digits", join(typed(":2a"), {kKeyEnter}), "0020"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        settings.hexMode = 1;
        run(bytes, other, c.keys);
        EXPECT_EQ(screen.text(kTopLeftRow, 1, 4), c.offset);
    }
}

TEST_F(ViewerKeys, ReloadReadsTheFilesAgainAndKeepsTheTopLine) {
    std::string left = blockLeft();
    std::string right = blockRight();
    // The reloaded left file has two new lines at its start.
    std::string newLeft = "new 1\nnew 2\n" + blockLeft();
    int reloads = 0;
    int failWith = 0;
    const ReloadFiles reload = [&](FilePair& files) {
        ++reloads;
        if (failWith != 0) return ReloadResult{ReloadResult::cannotLoad, failWith, ""};
        ViewerFile& l = files.left;
        ViewerFile& r = files.right;
        l = {l.name, bytes(newLeft), size32(newLeft), bytes(newLeft), size32(newLeft)};
        r = {r.name, bytes(right), size32(right), bytes(right), size32(right)};
        return ReloadResult{};
    };
    leftFile = {QVD_T("old.txt"), bytes(left), size32(left), bytes(left), size32(left)};
    rightFile = {QVD_T("new.txt"), bytes(right), size32(right), bytes(right), size32(right)};

    // Line 6 of the left file stays at the top; its text is now the old line 4.
    queueKeyCodes({kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyDown, 'r', 'q'});
    EXPECT_EQ(view(reload), ViewOutcome::done);
    screen = dumpScreen();
    tables = {};
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(screen.text(kTopLeftRow, 1, 11), "   6 line 3");

    // A file that cannot be loaded: the view stays, the message until the next key.
    for (int file : {1, 2}) {
        SCOPED_TRACE(file);
        reset(80, 25);
        failWith = file;
        queueKeyCodes({kKeyDown, 'R', kKeyCtrlC});
        EXPECT_EQ(view(reload), ViewOutcome::interrupted);
        screen = dumpScreen();
        tables = {};
        EXPECT_EQ(screen.text(kTopLeftRow, 1, 11), "   2 line 1");
        const std::string message =
            file == 1 ? "Can't load file 1 (old.txt) " : "Can't load file 2 (new.txt) ";
        EXPECT_EQ(screen.text(24, 0, static_cast<int>(message.size())), message);
        EXPECT_EQ(screen.attribute(24, 0), kTestScheme.differing);
    }
    reset(80, 25);
    queueKeyCodes({'r', kKeyDown, 'q'});
    EXPECT_EQ(view(reload), ViewOutcome::done);
    screen = dumpScreen();
    tables = {};
    EXPECT_EQ(topNumber(screen), 2) << "the key after the message acts";
    EXPECT_EQ(screen.text(24, 2, 5), "SPACE");
}

TEST_F(ViewerKeys, AlignmentKeyRealignsAnInsertionBeyondTheWindow) {
    // 650 lines inserted after line 1000 of 3000.
    std::string left = makeLines(3000, [](int i) { return std::to_string(i + 1); });
    std::string right = makeLines(1000, [](int i) { return std::to_string(i + 1); }) +
                        makeLines(650, [](int i) { return "new " + std::to_string(i + 1); }) +
                        makeLines(2000, [](int i) { return std::to_string(i + 1001); });
    // The last row of the list is the fifth row of each pane after End: left line 3000 stands
    // opposite right line 3650, with long runs and with the histogram alignment alike.
    for (const std::vector<int>& keys :
         {std::vector<int>{'a', kKeyEnd}, std::vector<int>{'a', 'A', kKeyEnd}}) {
        SCOPED_TRACE(keys.size() == 2 ? "long runs" : "histogram");
        reset(80, 25);
        run(left, right, keys);
        EXPECT_EQ(screen.text(kTopLeftRow + 4, 1, 10), "3000 3000 ");
        EXPECT_EQ(screen.text(12 + 4, 1, 10), "3650 3000 ");
        EXPECT_EQ(screen.attribute(kTopLeftRow + 4, 6), kTestScheme.identical);
    }
    // Round again to the window alone, which leaves right line 3650 without a partner. The key
    // says on the last row which alignment it chose, until the next key.
    reset(80, 25);
    run(left, right, {kKeyEnd, 'a', 'A', 'a'});
    EXPECT_EQ(screen.text(12 + 4, 1, 10), "3650 3000 ");
    EXPECT_EQ(screen.attribute(12 + 4, 6), kTestScheme.differing);
    EXPECT_EQ(screen.text(kTopLeftRow + 4, 1, 5), "  -  ");
    EXPECT_EQ(screen.text(24, 0, 18), "Alignment: window ");
    for (const auto& [presses, name] :
         {std::pair{1, "Alignment: long runs "}, std::pair{2, "Alignment: histogram "}}) {
        reset(80, 25);
        run(left, right, repeat('a', presses));
        EXPECT_EQ(screen.text(24, 0, static_cast<int>(std::strlen(name))), name);
    }
}

// The keys that fold and wrap have no menu letter: the last row says what they did until the
// next key.
TEST_F(ViewerKeys, FoldAndWrapKeysSayWhatTheyDid) {
    const struct {
        std::vector<int> keys;
        int32_t contextRows;
        const char* said;
    } cases[] = {
        {{'f'}, 3, "Folded: 3 lines of context "},
        {{'F'}, 1, "Folded: 1 line of context "},
        {{'f', 'f'}, 3, "Unfolded "},
        {{'z'}, 3, "Wrapped "},
        {{'Z', 'z'}, 3, "Not wrapped "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        reset(80, 25);
        settings.contextRows = c.contextRows;
        run(blockLeft(), blockRight(), c.keys);
        EXPECT_EQ(screen.text(24, 0, static_cast<int>(std::strlen(c.said))), c.said);
    }
}

TEST_F(ViewerKeys, DigitsSetTheTabWidth) {
    std::string text = "a\tb\n";
    struct Case {
        int key;
        std::string shown;
    };
    for (const Case& c : {Case{'2', "a b  "}, Case{'8', "a       b"}, Case{'0', "a   b"}}) {
        SCOPED_TRACE(c.key);
        reset(80, 25);
        settings.tabWidth = 4;
        run(text, "x\n", {c.key});
        EXPECT_EQ(screen.text(kTopLeftRow, 6, static_cast<int>(c.shown.size())), c.shown);
    }
}

TEST_F(ViewerKeys, LineNumbersToggleOutsideHexMode) {
    run("alpha\n", "beta\n", {'l'});
    EXPECT_EQ(screen.text(kTopLeftRow, 1, 5), "alpha");
    reset(80, 25);
    run("alpha\n", "beta\n", {'n', 'N'});
    EXPECT_EQ(screen.text(kTopLeftRow, 1, 11), "   1 alpha ");
}

TEST_F(ViewerKeys, TallToggleAndSizeKeys) {
    struct Case {
        const char* name;
        ScreenSize startup;
        std::vector<int> keys;
        int height;
        int width;
    };
    const std::vector<Case> cases = {
        {"T from 25 with a start-up height of 25 gives 50", {80, 25}, {'t'}, 50, 80},
        {"and back to 25", {80, 25}, {'t', 'T'}, 25, 80},
        {"start-up height 43: 43 -> 25", {80, 43}, {'t'}, 25, 80},
        {"start-up height 43: 25 -> 43", {80, 43}, {'t', 't'}, 43, 80},
        {"Alt-F9 from 25 gives 50", {80, 25}, {kKeyAltF9}, 50, 80},
        {"Alt-F9 steps by 10 up to the terminal's height",
         {80, 25},
         {kKeyAltF9, kKeyAltF9},
         60,
         80},
        {"Alt-F9 at the largest height goes back to 25",
         {80, 25},
         {kKeyAltF9, kKeyAltF9, kKeyAltF9},
         25,
         80},
        {"Alt-F8 steps by 20", {80, 25}, {kKeyAltF8}, 25, 100},
        {"Alt-F8 stops at the terminal's width",
         {80, 25},
         {kKeyAltF8, kKeyAltF8, kKeyAltF8},
         25,
         130},
        {"Alt-F8 at the largest width goes back to 80",
         {80, 25},
         {kKeyAltF8, kKeyAltF8, kKeyAltF8, kKeyAltF8},
         25,
         80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(130, 60);
        run("a\n", "b\n", c.keys, c.startup);
        ASSERT_EQ(screen.height, c.height);
        ASSERT_EQ(screen.width, c.width);
        // The frames and the menu follow the new size.
        EXPECT_EQ(screen.text(c.height - 4, 0, 1), "└");
        EXPECT_EQ(screen.text(c.height - 4, c.width - 1, 1), "┘");
        EXPECT_EQ(screen.text(c.height - 1, 2, 5), "SPACE");
    }
}

TEST_F(ViewerKeys, TerminalResizeLaysTheViewOutAnew) {
    queueTerminalResize(100, 30);
    run("a\n", "b\n", {});
    ASSERT_EQ(screen.width, 100);
    ASSERT_EQ(screen.height, 30);
    EXPECT_EQ(screen.text(26, 0, 1), "└");
    EXPECT_EQ(screen.text(26, 99, 1), "┘");
    EXPECT_EQ(screen.text(13, 0, 1), "├"); // rows 27: the lower pane starts at row 13
    EXPECT_EQ(screen.text(14, 1, 11), "   1 b     ");
}

TEST_F(ViewerKeys, MenuKeyHidesAndRestoresTheMenu) {
    run("a\n", "b\n", {'m'});
    EXPECT_EQ(screen.text(24, 0, 1), "└") << "the bottom border moves to the last row";
    EXPECT_EQ(screen.text(24, 1, 3), "═══") << "the scroll bar moves with it";
    EXPECT_EQ(screen.text(12, 0, 1), "├") << "the border between the panes stays";
    EXPECT_EQ(screen.text(12, 1, 7), "new.txt");
    EXPECT_EQ(screen.text(13, 1, 5), "   1 ");

    reset(80, 25);
    run("a\n", "b\n", {'c', 'm', 'M'});
    EXPECT_EQ(screen.text(22, 1, 7), "TOGGLES");
    EXPECT_EQ(screen.text(23, 10, 4), "Case");
    EXPECT_EQ(screen.attribute(23, 10), kTestScheme.differing) << "the toggle state comes back";
    EXPECT_EQ(screen.text(21, 0, 1), "└");
}

TEST_F(ViewerKeys, ToggleLettersFollowTheSettings) {
    // Column of each key letter in the middle menu line.
    struct Letter {
        char letter;
        int column;
    };
    const Letter letters[] = {{'C', 10}, {'W', 26}, {'E', 51}, {'O', 64}, {'D', 69}};
    struct Case {
        const char* name;
        std::vector<int> keys;
        std::string on; // letters shown in the differing colour
    };
    const std::vector<Case> cases = {
        {"start: only OEM is on", {}, "O"},
        {"C", {'c'}, "CO"},
        {"W", {'W'}, "WO"},
        {"E", {'e'}, "EO"},
        {"O switches to ANSI", {'o'}, ""},
        {"O twice", {'o', 'O'}, "O"},
        {"D", {'d'}, "OD"},
        {"all five", {'c', 'w', 'e', 'o', 'd'}, "CWED"},
        {"C twice", {'c', 'c'}, "O"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        run("a\n", "b\n", c.keys);
        for (const Letter& l : letters) {
            SCOPED_TRACE(l.letter);
            ASSERT_EQ(screen.text(23, l.column, 1), std::string(1, l.letter));
            bool on = c.on.find(l.letter) != std::string::npos;
            EXPECT_EQ(screen.attribute(23, l.column),
                      on ? kTestScheme.differing : kTestScheme.identical);
            EXPECT_EQ(screen.attribute(23, l.column + 1), kTestScheme.frame);
        }
        // The key letters of the other lines never change.
        EXPECT_EQ(screen.attribute(22, 10), kTestScheme.identical);
        EXPECT_EQ(screen.attribute(24, 2), kTestScheme.identical);
    }
}

TEST_F(ViewerKeys, HelpAndColourSetupGiveTheViewBack) {
    // Each screen is left with Esc; the view is then laid out and drawn anew where it was.
    for (int key : {kKeyF1, kKeyAltF10}) {
        SCOPED_TRACE(key);
        reset(80, 25);
        run(blockLeft(), blockRight(), {' ', key, kKeyEscape});
        EXPECT_EQ(screen.text(0, 0, 8), "┌old.txt");
        EXPECT_EQ(topNumber(screen), 11);
        EXPECT_EQ(screen.text(23, 10, 4), "Case");
        EXPECT_FALSE(screen.cursorVisible);
    }
}

// Desktops and terminals take F1, F10 and Alt-F8 to Alt-F10: '?', 'p', F8 and F9 do the same.
// Each script runs the key, then keys that the help or the colour setup would read: the outcome
// (screen, keys left, colours) must be the first key's, and differ from an ignored key's.
TEST_F(ViewerKeys, SecondKeysDoWhatTheKeysDesktopsTakeDo) {
    const std::string savedExeDirectory = exeDirectory;
    exeDirectory = "/nonexistent/"; // ESC in the colour setup reloads: no file, the defaults
    userColourDirectory.clear();
    struct Outcome {
        std::string screen;
        int keysLeft;
        uint16_t frame;
        bool operator==(const Outcome&) const = default;
    };
    auto outcome = [&](int key) {
        reset(130, 60);
        colourScheme = kTestScheme;
        run(blockLeft(), blockRight(), {key, kKeyPageDown, 'F', kKeyEscape});
        return Outcome{screen.toString(), pendingScriptEntries(), colourScheme.frame};
    };
    const Outcome ignored = outcome('!');
    const struct {
        int first;
        int second;
    } pairs[] = {{kKeyF1, '?'},
                 {kKeyAltF10, 'p'},
                 {kKeyAltF10, 'P'},
                 {kKeyAltF8, kKeyF8},
                 {kKeyAltF9, kKeyF9}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.second);
        const Outcome first = outcome(pair.first);
        EXPECT_FALSE(first == ignored) << "the first key did nothing";
        EXPECT_TRUE(outcome(pair.second) == first);
    }
    exeDirectory = savedExeDirectory;
}

TEST_F(ViewerKeys, IgnoredKeysDrawNothing) {
    // Keys without an action leave every cell as it was, so nothing reaches the terminal.
    run(blockLeft(), blockRight(), {});
    ScreenDump before = screen;
    reset(80, 25);
    run(blockLeft(), blockRight(),
        {'0', 'x', 'Y', '!', kKeyDown + 512, 2048 + 'A' - 64, kKeyF1 + 1024, 256 + 0x2D});
    EXPECT_EQ(screen.toString(), before.toString());
}

// The help and the key table agree: every key the view answers is described in the help, and
// every key the help describes is one the view answers. A help row describes a key when it
// starts with the key's name: every row of the key summary below its rule, and on the pages of
// interactive usage the rows that start with a quoted key or a key's name.
TEST(ViewKeyTable, TheHelpDescribesEveryKeyAndNoOther) {
    auto describesAKey = [](const std::string& row, int page, bool belowRule) {
        if (page == 0) return belowRule;
        if (row.size() < 2 || row[0] != ' ') return false;
        const std::string key = row.substr(1);
        for (const char* start : {"'", "ESC", "Ctrl-", "Alt-", "F1", "F3", "F8", "F9"})
            if (key.rfind(start, 0) == 0) return true;
        return false;
    };
    std::vector<std::string> keyRows;
    for (int page = 0; mainHelpPages[page] != nullptr; ++page) {
        const std::string text = mainHelpPages[page];
        bool belowRule = false;
        for (size_t at = 0; at < text.size(); at += kHelpRowWidth) {
            const std::string row = text.substr(at, kHelpRowWidth);
            if (describesAKey(row, page, belowRule)) keyRows.push_back(row);
            if (row.rfind(" ---", 0) == 0) belowRule = true;
        }
    }
    auto names = [](const std::string& row, const char* name) {
        const std::string start = std::string(" ") + name;
        return row.rfind(start, 0) == 0 && (row.size() == start.size() || row[start.size()] == ' ');
    };
    for (const ViewKey& key : viewKeys) {
        if (key.codes[0] == kKeyScreenResized) continue; // not a key
        SCOPED_TRACE(key.codes[0]);
        ASSERT_NE(key.help[0], nullptr) << "a key without a name in the help";
        for (const char* name : key.help) {
            if (name == nullptr) break;
            const bool found =
                std::any_of(keyRows.begin(), keyRows.end(),
                            [&](const std::string& row) { return names(row, name); });
            EXPECT_TRUE(found) << "no help row describes " << name;
        }
    }
    for (const std::string& row : keyRows) {
        const bool known = std::any_of(viewKeys.begin(), viewKeys.end(), [&](const ViewKey& key) {
            return std::any_of(std::begin(key.help), std::end(key.help), [&](const char* name) {
                return name != nullptr && names(row, name);
            });
        });
        EXPECT_TRUE(known) << "the help describes a key the view lacks: " << row;
    }
    EXPECT_GT(keyRows.size(), 30u);
}

} // namespace

namespace {

// Files still arriving open at their beginnings; a key that needs the whole comparison waits for
// it with the progress on the last row, and a quit key or Ctrl-C typed meanwhile ends the view at
// once (here the whole never comes: only the view's giving up ends the wait).
TEST_F(ViewerScreenTest, WaitForArrivingFilesSaysHowFarAndQuitKeysEndIt) {
    const std::string left = makeLines(3000, [](int i) { return "line " + std::to_string(i); });
    const std::string right = left + "more\n";
    const struct {
        int typedMeanwhile;
        ViewOutcome outcome;
    } cases[] = {{kKeyCtrlC, ViewOutcome::interrupted},
                 {'q', ViewOutcome::done},
                 {kKeyEscape, ViewOutcome::done}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typedMeanwhile);
        reset();
        ArrivingFiles arriving;
        arriving.beginnings = [&](uint64_t) {
            leftFile = {QVD_T("old.txt"), bytes(left), size32(left), bytes(left), size32(left)};
            rightFile = {QVD_T("new.txt"), bytes(right), size32(right), bytes(right),
                         size32(right)};
            FilePair beginnings = files();
            beginnings.left.partial = beginnings.right.partial = true;
            beginnings.left.wholeSize = beginnings.right.wholeSize = uint64_t{1} << 30;
            return beginnings;
        };
        arriving.whole = [](const std::atomic<bool>* stop) {
            while (!stop->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return WholeFiles{};
        };
        arriving.readPercent = [] { return 40; };
        queueKeyCode(kKeyDown);
        queueBusyKeyCodes({c.typedMeanwhile});
        EXPECT_EQ(runViewer(arriving.beginnings(kFirstBytes), settings, {80, 25}, false, tables, {},
                            &arriving),
                  c.outcome);
        screen = dumpScreen();
        // The number column as wide as the whole files' lines may need.
        EXPECT_EQ(screen.text(kTopLeftRow, 0, 18), "│        1 line 0 ");
        EXPECT_EQ(screen.text(24, 0, 24), "Reading the files: 40%  ");
    }
}

} // namespace
