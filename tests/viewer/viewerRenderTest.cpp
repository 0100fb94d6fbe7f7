// What the view draws: frames, names, number columns, text and hex rows, colours and bars.
// Positions as in viewerKeysTest.cpp: 80 x 25, upper pane rows 1-9, lower pane rows 12-20.
#include "viewerTestSupport.h"

#include "console/paneFrames.h"
#include "console/screen.h"

#include <functional>

namespace {

using ViewerRender = ViewerScreenTest;

TEST_F(ViewerRender, FirstScreenFramesNumbersAndColours) {
    run("same\nold line\nsame 2\n", "same\nnew line\nsame 2\n", {});
    EXPECT_EQ(screen.text(0, 0, 9), "┌old.txt─");
    EXPECT_EQ(screen.text(0, 79, 1), "┐");
    EXPECT_EQ(screen.text(11, 0, 9), "├new.txt─");
    EXPECT_EQ(screen.text(11, 79, 1), "┤");
    EXPECT_EQ(screen.text(5, 0, 1), "│");
    EXPECT_TRUE(screen.hasAttribute(0, 0, 80, kTestScheme.frame));
    EXPECT_FALSE(screen.cursorVisible);

    EXPECT_EQ(screen.text(1, 1, 12), "   1 same   ");
    EXPECT_EQ(screen.text(2, 1, 13), "   2 old line");
    EXPECT_EQ(screen.text(13, 1, 13), "   2 new line");
    EXPECT_TRUE(screen.hasAttribute(1, 1, 5, kTestScheme.lineNumbers));
    EXPECT_TRUE(screen.hasAttribute(1, 6, 73, kTestScheme.identical));
    EXPECT_TRUE(screen.hasAttribute(2, 6, 73, kTestScheme.differing));
    EXPECT_TRUE(screen.hasAttribute(13, 6, 73, kTestScheme.differing));
    EXPECT_EQ(screen.attribute(1, 79), kTestScheme.frame) << "the text stops before the border";

    // Past the end of the list: blank numbers and blank text.
    EXPECT_EQ(screen.text(4, 1, 78), std::string(78, ' '));
    EXPECT_TRUE(screen.hasAttribute(4, 1, 5, kTestScheme.lineNumbers));
    EXPECT_TRUE(screen.hasAttribute(4, 6, 73, kTestScheme.identical));

    // Three rows: the scroll bar is one full thumb, only under the lower pane.
    EXPECT_EQ(screen.text(21, 0, 4), "└═══");
    EXPECT_EQ(screen.text(21, 77, 3), "══┘");
    EXPECT_TRUE(screen.hasAttribute(21, 1, 78, kTestScheme.frame));
    EXPECT_EQ(screen.text(10, 1, 3), "   ") << "no bar between stacked panes";
}

TEST_F(ViewerRender, ScrollBarThumbFollowsTheTopRow) {
    std::string text = makeLines(100, [](int i) { return std::to_string(i); });
    run(text, text + "x\n", {kKeyEnd});
    // 96 top rows, a page of 11: the thumb is 8 cells from cell 69 (the top is held at 85).
    EXPECT_EQ(screen.text(21, 69, 10), "─════════─");
    reset(80, 25);
    settings.horizontalSplit = 0;
    run(text, text + "x\n", {});
    EXPECT_EQ(screen.text(21, 1, 1), "═") << "side by side: a bar under the left pane";
    EXPECT_EQ(screen.text(21, 38, 1), "─");
    EXPECT_EQ(screen.text(21, 40, 2), "┴═");
}

TEST_F(ViewerRender, HighlightedCharactersSameColourInBothPanes) {
    settings.highlightDiffChars = 1;
    run("keep\nabcdef\nkeep\n", "keep\nabXdeY\nkeep\n", {});
    const uint16_t m = kTestScheme.matching, d = kTestScheme.differing;
    const uint16_t expected[] = {m, m, d, m, m, d, m};
    for (int j = 0; j < 7; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(screen.attribute(2, 6 + j), expected[j]);
        EXPECT_EQ(screen.attribute(13, 6 + j), expected[j]);
    }
    EXPECT_TRUE(screen.hasAttribute(1, 6, 73, kTestScheme.identical)) << "equal rows stay plain";
}

TEST_F(ViewerRender, HighlightingIgnoresCaseWhenCaseIsIgnored) {
    settings.highlightDiffChars = 1;
    settings.ignoreCase = 1;
    run("keep\nABC\n", "keep\nabd\n", {});
    EXPECT_EQ(screen.attribute(2, 6), kTestScheme.matching);
    EXPECT_EQ(screen.attribute(2, 7), kTestScheme.matching);
    EXPECT_EQ(screen.attribute(2, 8), kTestScheme.differing);
}

TEST_F(ViewerRender, OneSidedRowMarkerAndColours) {
    const std::string left = "A\nxy z\nB\nC\nD\nE\n";
    const std::string right = "A\nB\nC\nD\nE\n";
    struct Case {
        const char* name;
        int highlight;
    };
    for (const Case& c : {Case{"plain", 0}, Case{"highlighted", 1}}) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        settings.highlightDiffChars = c.highlight;
        run(left, right, {});
        EXPECT_EQ(screen.text(2, 1, 9), "   2 xy z");
        EXPECT_EQ(screen.text(13, 1, 9), "  -      ") << "the missing side's marker";
        EXPECT_TRUE(screen.hasAttribute(13, 1, 5, kTestScheme.lineNumbers));
        EXPECT_EQ(screen.text(14, 1, 6), "   2 B") << "the next row pairs again";
        if (!c.highlight) {
            EXPECT_TRUE(screen.hasAttribute(2, 6, 73, kTestScheme.differing));
            EXPECT_TRUE(screen.hasAttribute(13, 6, 73, kTestScheme.differing));
            continue;
        }
        const uint16_t m = kTestScheme.matching, d = kTestScheme.differing;
        const uint16_t expected[] = {d, d, m, d, m};
        for (int j = 0; j < 5; ++j) {
            SCOPED_TRACE(j);
            EXPECT_EQ(screen.attribute(2, 6 + j), expected[j]);
            EXPECT_EQ(screen.attribute(13, 6 + j), expected[j]);
        }
    }
}

TEST_F(ViewerRender, LineNumbersAreShownWholeAtAnyLength) {
    struct Case {
        int lines;
        std::string top;  // number column and first text cells of the top row after End
        std::string last; // the same for the right file's extra line, four rows further down
    };
    // With the extra right line there are lines + 1 rows: End puts line (lines - 3) on top.
    // Up to 99,999 the column keeps its five cells (a fifth digit takes the blank); beyond, it
    // holds the largest number and a blank.
    const Case cases[] = {
        {99998, "99995a  ", "99999b  "},
        {100002, " 99999 a", "100003 b"},
        {123459, "123456 a", "123460 b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        reset(80, 25);
        std::string text = makeLines(c.lines, [](int) { return "a"; });
        run(text, text + "b\n", {kKeyEnd});
        const int size = static_cast<int>(c.top.size());
        EXPECT_EQ(screen.text(1, 1, size), c.top);
        EXPECT_EQ(screen.text(12, 1, size), c.top);
        EXPECT_EQ(screen.text(16, 1, size), c.last);
    }
}

// With empty lines suppressed the rows hold positions in the shortened tables, and the number
// column used to show them ("b" of line 4 as 2); it shows, and ':' takes, the files' own numbers.
TEST_F(ViewerRender, SuppressedEmptyLinesKeepTheFilesLineNumbers) {
    settings.suppressEmptyLines = 1;
    // Text on the odd lines, blank lines (empty, or white space) between them.
    const std::string left = makeLines(60, [](int i) {
        return i % 2 ? (i % 4 == 1 ? "" : " \t") : "line " + std::to_string(i + 1);
    });
    const std::string right = left + "end\n";
    run(left, right, {});
    EXPECT_EQ(screen.text(1, 1, 12), "   1 line 1 ");
    EXPECT_EQ(screen.text(2, 1, 12), "   3 line 3 ");
    EXPECT_EQ(screen.text(13, 1, 12), "   3 line 3 ");
    reset(80, 25);
    settings.suppressEmptyLines = 1;
    run(left, right, {':', '2', '1', kKeyEnter});
    EXPECT_EQ(screen.text(1, 1, 13), "  21 line 21 ");
    reset(80, 25);
    settings.suppressEmptyLines = 1;
    run(left, right, {kKeyEnd});
    EXPECT_EQ(screen.text(16, 1, 9), "  61 end ") << "the last number, the widest, whole";
    if constexpr (kWideBuild) {
        // UTF-16 text counts its line ends in units.
        auto utf16 = [](const std::string& text) {
            std::string units;
            for (char c : text) units += std::string{c, '\0'};
            return units;
        };
        reset(80, 25);
        settings.suppressEmptyLines = 1;
        settings.encodingFlags = kFile1Utf16 | kFile2Utf16;
        run(utf16(left), utf16(right), {':', '2', '1', kKeyEnter});
        EXPECT_EQ(screen.text(1, 1, 13), "  21 line 21 ");
    }
}

TEST_F(ViewerRender, LongNameIsShortenedInTheFrame) {
    std::u16string digits;
    for (int i = 0; i < 200; ++i) digits += static_cast<char16_t>('0' + i % 10);
    std::basic_string<TChar> name(digits.begin(), digits.end());
    reset(140, 25);
    run("a\n", "b\n", {}, {140, 25}, name.c_str());
    std::string expected(digits.begin(), digits.begin() + 33);
    expected += "...";
    expected += std::string(digits.end() - 95, digits.end());
    EXPECT_EQ(screen.text(0, 1, 131), expected);
    EXPECT_EQ(screen.text(0, 132, 1), "─");
}

TEST_F(ViewerRender, ShortenFileNameFields) {
    struct Case {
        const char* name;
        const TChar* input;
        int maxLength;
        std::basic_string<TChar> expected;
    };
    const std::vector<Case> cases = {
        {"a field under five cells shows nothing", QVD_T("abcdef"), 4, QVD_T("")},
        {"a name shorter than the field", QVD_T("abcd"), 5, QVD_T("abcd")},
        {"a name as long as the field is shortened", QVD_T("abcde"), 5, QVD_T("a...")},
        {"eight cells", QVD_T("abcdefghij"), 8, QVD_T("ab...ij")},
        {"a field wider than the limit is held to it", QVD_T("ab"), 500, QVD_T("ab")},
#if QVD_WIDE
        {"columns, not units: four letters with marks fit five cells",
         u"e\u0301e\u0301e\u0301e\u0301", 5, u"e\u0301e\u0301e\u0301e\u0301"},
        {"wide characters count two columns", u"中文字幕abcdefgh", 8, u"中...gh"},
        {"a wide character that does not fit the head is left out", u"a中bcdefghij", 8, u"a...ij"},
        {"a tail that ends in a wide character", u"abcdefgh中", 10, u"ab...h中"},
        {"nor one that does not fit the tail", u"abcdefgh中hi", 10, u"ab...hi"},
        {"a surrogate pair is one character", u"\U0001D400\U0001D400bcdefgh", 8,
         u"\U0001D400\U0001D400...gh"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TChar out[kShortNameCapacity];
        int written = shortenFileName(out, c.input, c.maxLength);
        EXPECT_EQ(std::basic_string<TChar>(out), c.expected);
        EXPECT_EQ(written, static_cast<int>(c.expected.size()));
    }
}

TEST_F(ViewerRender, CharacterSetKeyChangesTheDisplayedBytes) {
    // 0x82 is an e with acute accent in the OEM code page and a low quotation mark in ANSI,
    // which the OEM code page (and so moxaw's ANSI display) does not have.
    run("x\x82y\n", "z\n", {});
    EXPECT_EQ(screen.text(1, 6, 3), "xéy");
    reset(80, 25);
    run("x\x82y\n", "z\n", {'o'});
    EXPECT_EQ(screen.text(1, 6, 3), kWideBuild ? "x‚y" : "x?y");
}

std::string hexFile(int lines) {
    return makeLines(lines, [](int) { return std::string(40, 'x'); });
}

TEST_F(ViewerRender, HexToggleMapsTheTopLine) {
    // 41-byte lines: line 101 starts 4100 bytes in, on hex row 4100 / 16 = 256.
    std::string left = hexFile(300);
    std::string right = left + "y\n";
    run(left, right, join(repeat(kKeyDown, 100), {'h'}));
    EXPECT_EQ(screen.text(1, 1, 5), "1000 ");
    EXPECT_EQ(screen.text(1, 6, 6), "78 78 ");
    EXPECT_TRUE(screen.hasAttribute(1, 1, 5, kTestScheme.lineNumbers));
    // 16 bytes shown, two pairs blank, the characters from cell 55.
    EXPECT_EQ(screen.text(1, 6 + 45, 10), "78        ");
    // Bytes 4096 to 4111: the line end at 4099 shows as itself (the terminal shows a stand-in).
    EXPECT_EQ(screen.text(1, 6 + 55, 16), "xxx\nxxxxxxxxxxxx");

    reset(80, 25);
    run(left, right, join(repeat(kKeyDown, 100), {'h', 'H'}));
    EXPECT_EQ(screen.text(1, 1, 4), " 101") << "back on the saved text row";

    // Short lines give fewer hex rows than text rows: the text row left still comes back (it
    // used to stay on the hex row's number, line 712 here).
    reset(80, 25);
    std::string numbers = makeLines(3000, [](int i) { return std::to_string(i + 1); });
    run(numbers, numbers + "end\n", {':', '2', '5', '0', '0', kKeyEnter, 'h', 'h'});
    EXPECT_EQ(screen.text(1, 1, 10), "2500 2500 ");
}

TEST_F(ViewerRender, HexModeKeepsItsOwnScrollRules) {
    std::string text = makeLines(20, [](int i) { return "abcdefgh" + std::to_string(i); });
    std::string other = text + "z\n";
    struct Case {
        const char* name;
        std::vector<int> keys;
        int row;
        int column;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"right does nothing in hex mode", {'h', kKeyRight}, 1, 6, "61 62 "},
        {"left lowers the text position by 1, leaving clears the low bit",
         {kKeyRight, kKeyRight, kKeyRight, 'h', kKeyLeft, 'h'},
         1,
         6,
         "efgh"},
        {"L in hex mode changes nothing", {'h', 'l'}, 1, 1, "0000 61"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        run(text, other, c.keys);
        EXPECT_EQ(screen.text(c.row, c.column, static_cast<int>(c.shown.size())), c.shown);
    }
}

TEST_F(ViewerRender, SplitKeyInHexModeHalvesAndDoublesTheTopRow) {
    settings.hexMode = 1;
    settings.horizontalSplit = 0;
    std::string left(2000, 'a');
    std::string right(2000, 'b');
    struct Case {
        const char* name;
        std::vector<int> keys;
        std::string offset; // offset column of the top row
        std::string rightPaneTop;
    };
    // Side by side (40 columns) rows hold 8 bytes, one above the other (80 columns) 16.
    const std::vector<Case> cases = {
        {"side by side at row 41", repeat(kKeyDown, 41), "0148 ", "0148 "},
        {"one above the other: row 20", join(repeat(kKeyDown, 41), {'s'}), "0140 ", ""},
        {"side by side again: row 40", join(repeat(kKeyDown, 41), {'s', 'S'}), "0140 ", "0140 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        settings.hexMode = 1;
        settings.horizontalSplit = 0;
        run(left, right, c.keys);
        EXPECT_EQ(screen.text(1, 1, 5), c.offset);
        if (!c.rightPaneTop.empty())
            EXPECT_EQ(screen.text(1, 41, 5), c.rightPaneTop);
        else
            EXPECT_EQ(screen.text(12, 1, 5), c.offset) << "the lower pane starts level";
    }
    // The side-by-side hex row: 8 pairs, then the characters.
    EXPECT_EQ(screen.text(1, 6, 3), "61 ");
    EXPECT_EQ(screen.text(1, 6 + 3 * 8, 2), " a");
}

TEST_F(ViewerRender, HexTextExactlyFourCellsPerByteGetsOneMoreColumn) {
    // Five offset digits on a 40-column pane: 32 text cells would hold exactly 8 bytes, so the
    // offset column gives one cell to the text: four digits and a blank.
    settings.hexMode = 1;
    settings.horizontalSplit = 0;
    settings.offsetDigits = 5;
    run(std::string(100, 'a'), std::string(100, 'b'), {kKeyDown});
    EXPECT_EQ(screen.text(1, 1, 6), "0008 6");
    EXPECT_EQ(screen.text(1, 41, 6), "0008 6");
}

TEST_F(ViewerRender, HexPaneTooNarrowForFourBytesShowsFewer) {
    // 20 columns leave room for three bytes a row: rows of three instead of a row width of 0.
    reset(20, 25);
    settings.hexMode = 1;
    run("abcdefgh", "abcdefgX", {}, {20, 25});
    EXPECT_EQ(screen.text(1, 1, 18), "0000 61 62 63  abc");
    EXPECT_EQ(screen.text(2, 1, 18), "0003 64 65 66  def");
    EXPECT_EQ(screen.text(3, 1, 18), "0006 67 68     gh ");
    EXPECT_EQ(screen.text(14, 1, 18), "0006 67 58     gX ");
}

TEST_F(ViewerRender, TinyAndHugeScreensDrawWithinTheScreen) {
    std::string left = makeLines(50, [](int i) { return std::string(400, char('a' + i % 26)); });
    std::string right = left + "end\n";
    const std::vector<int> keys = {'h', kKeyDown, kKeyPageDown, 's', 'h', ' ', '-', kKeyRight,
                                   'm', kKeyEnd,  kKeyPageUp,   'm', 'h', 's', 'l', kKeyHome};
    struct Case {
        int width, height;
    };
    for (const Case& c : {Case{1, 1}, Case{2, 2}, Case{5, 3}, Case{10, 5}, Case{20, 12},
                          Case{23, 14}, Case{300, 40}, Case{600, 30}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        for (int hex = 0; hex < 2; ++hex) {
            reset(c.width, c.height);
            settings.hexMode = hex;
            settings.horizontalSplit = 1;
            settings.hideMenu = 0;
            settings.hideLineNumbers = 0;
            EXPECT_EQ(run(left, right, keys,
                          {static_cast<int16_t>(c.width), static_cast<int16_t>(c.height)}),
                      ViewOutcome::done);
        }
    }
    // A screen far wider than 255 columns: the text reaches the last column before the border.
    reset(300, 40);
    settings.hexMode = 0;
    settings.hideLineNumbers = 0;
    run(left, right, {}, {300, 40});
    EXPECT_EQ(screen.text(1, 298, 2), "a│");
    EXPECT_EQ(screen.text(36, 0, 2), "└═");
    EXPECT_EQ(screen.text(36, 298, 2), "─┘");
}

// A long comparison shows its first screen from the beginnings of the files before the whole of
// it is built; that screen must be the one the whole comparison draws at the top. Differences
// stand on the first screen and where the search looks past the beginnings; the whole screen is
// drawn again by Down and Up to compare. The files hold several times more bytes than their
// beginnings; one pair more lines than five digits can number.
TEST_F(ViewerRender, FirstScreenOfALongComparisonIsTheWholeComparisonsTop) {
    auto makePair = [](int lines, int padding, std::string& left, std::string& right) {
        auto line = [padding](int i) {
            if (i % 9 == 4) return std::string(i % 2 ? "" : "  \t"); // white lines for -e
            return "L" + std::to_string(i) + (i % 3 ? " Tx" : "  tx") +
                   std::string(static_cast<size_t>(padding + i % 17), '.');
        };
        std::vector<std::string> leftLines, rightLines;
        for (int i = 0; i < lines; ++i) leftLines.push_back(line(i));
        rightLines = leftLines;
        rightLines[3] = "changed";
        rightLines.erase(rightLines.begin() + 15);
        rightLines.insert(rightLines.begin() + 10, {"new a", "new b"});
        // A run longer than the search looks ahead, and edits on both sides of where the rows an
        // 80 x 25 screen needs end (about 1,500 lines) and of where the beginnings end.
        std::vector<std::string> run;
        for (int i = 0; i < 700; ++i) run.push_back("run " + std::to_string(i));
        rightLines.insert(rightLines.begin() + 800, run.begin(), run.end());
        for (int at : {1400, 2100, 2150, 2190, 2230, 3000, 3500})
            rightLines[static_cast<size_t>(at)] += "!";
        for (const auto& text : leftLines) left += text + "\n";
        for (const auto& text : rightLines) right += text + "\r\n";
    };
    std::string left, right, manyLeft, manyRight;
    makePair(4000, 70, left, right);
    makePair(100500, 0, manyLeft, manyRight);

    struct Case {
        const char* name;
        std::function<void()> apply;
        std::string left, right;
        int presents = 2; // 1: the whole comparison is built before the first screen
    };
    std::vector<Case> cases = {
        {"plain", [] {}, left, right},
        {"six-digit line numbers", [] {}, manyLeft, manyRight},
        // The width of the number column would take a pass of its own over suppressed lines.
        {"six-digit line numbers, empty lines suppressed",
         [this] { settings.suppressEmptyLines = 1; }, manyLeft, manyRight, 1},
        // Long runs look beyond any beginning of the files.
        {"long runs", [this] { settings.alignment = kAlignLongRuns; }, left, right, 1},
        // So do the rare lines of the histogram alignment; its hex rows pair by offset.
        {"histogram", [this] { settings.alignment = kAlignHistogram; }, left, right, 1},
        {"histogram, hex mode",
         [this] {
             settings.alignment = kAlignHistogram;
             settings.hexMode = 1;
         },
         left, right},
        {"side by side", [this] { settings.horizontalSplit = 0; }, left, right},
        {"empty lines suppressed", [this] { settings.suppressEmptyLines = 1; }, left, right},
        {"case and white space", [this] { settings.ignoreCase = settings.compressWhiteSpace = 1; },
         left, right},
        {"short scan, one sync line", [this] { settings.shortSyncScan = settings.syncLines = 1; },
         left, right},
        {"hex mode", [this] { settings.hexMode = 1; }, left, right},
    };
    if constexpr (kWideBuild) {
        auto wide = [](const std::string& text) {
            std::string units;
            for (char c : text) units += std::string{c, '\0'};
            return units;
        };
        cases.push_back({"UTF-16", [this] { settings.encodingFlags = kFile1Utf16 | kFile2Utf16; },
                         wide(left), wide(right)});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        c.apply();
        run(c.left, c.right, {});
        ScreenDump first = screen;
        // Shown once from the beginnings, once more while waiting for the key.
        EXPECT_EQ(presentCount(), c.presents);
        reset(80, 25);
        c.apply();
        run(c.left, c.right, {kKeyDown, kKeyUp});
        EXPECT_EQ(first.toString(), screen.toString());
        EXPECT_EQ(first.attributes, screen.attributes);
    }
    // A key pressed at once waits for the whole comparison: End goes to its last rows, as after
    // a build away from the top (E twice, below the first row), which is whole from the start.
    reset(80, 25);
    run(manyLeft, manyRight, {kKeyEnd});
    ScreenDump atEnd = screen;
    reset(80, 25);
    run(manyLeft, manyRight, {kKeyDown, 'e', 'e', kKeyEnd});
    EXPECT_EQ(atEnd.toString(), screen.toString());
    // A quit key pressed at once ends the view without waiting: the build behind the first
    // screen is stopped and dropped.
    for (int key : {int{'q'}, kKeyEscape, kKeyEnter}) {
        reset(80, 25);
        leftFile = {QVD_T("old.txt"), bytes(manyLeft), size32(manyLeft), bytes(manyLeft),
                    size32(manyLeft)};
        rightFile = {QVD_T("new.txt"), bytes(manyRight), size32(manyRight), bytes(manyRight),
                     size32(manyRight)};
        queueKeyCode(key);
        EXPECT_EQ(view(), ViewOutcome::done);
        EXPECT_EQ(tables.comparison.rows, nullptr);
        tables = {};
    }
    // A short comparison is built whole before its screen is shown.
    reset(80, 25);
    run(left.substr(0, 20000), right.substr(0, 20000), {});
    EXPECT_EQ(presentCount(), 1);
}

// The middle of a long run of equal rows is one row across each pane that counts them: from the
// start with --context, and in hex mode too.
TEST_F(ViewerRender, FoldsCountTheEqualLinesTheyHide) {
    const std::string same = makeLines(12351, [](int i) { return "line " + std::to_string(i); });
    settings.fold = 1;
    run(same + "old\n", same + "new\n", {});
    const std::string shown = "··· 12,345 equal lines ···";
    for (int row : {4, 15}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(screen.text(row - 1, 1, 10), "   3 line ");
        EXPECT_EQ(screen.text(row, 1, 5 + 26), "     " + shown);
        EXPECT_TRUE(screen.hasAttribute(row, 1, 78, kTestScheme.identical));
        EXPECT_EQ(screen.text(row + 1, 1, 10), "12349line ");
    }
    reset(80, 25);
    settings.hexMode = 1;
    settings.contextRows = 1;
    run(std::string(16 * 100, 'a') + "b", std::string(16 * 100, 'a') + "c", {'f'});
    EXPECT_EQ(screen.text(2, 6, 21), "··· 98 equal rows ···");
    EXPECT_EQ(screen.text(3, 1, 4), "0630");
}

// A wrapped line takes the rows its longer side needs, a mark where its number would stand on
// the later ones; the other side is padded so that the next row stands level.
TEST_F(ViewerRender, WrappedRowsStandLevel) {
    const std::string longLine = std::string(73, 'a') + std::string(73, 'b') + "cccc";
    const std::string mark = kWideBuild ? "↪" : "+";
    for (int split : {1, 0}) {
        SCOPED_TRACE(split);
        reset(80, 25);
        settings.horizontalSplit = split;
        run(longLine + "\nnext\n", "short\nnext\n", {'z', kKeyRight});
        const int right = split ? 12 : 1;  // the right pane's first row
        const int column = split ? 0 : 40; // its left border
        const int width = split ? 73 : 33;
        EXPECT_EQ(screen.text(1, 1, 5 + width), "   1 " + longLine.substr(0, width))
            << "Right does not scroll wrapped rows";
        EXPECT_EQ(screen.text(2, 1, 6), "   " + mark + " " + longLine[width]);
        EXPECT_EQ(screen.text(right, column + 1, 10), "   1 short");
        EXPECT_EQ(screen.text(right + 1, column + 1, 6), "      ");
        const int next = split ? 4 : 6; // 150 characters over 73 or 33
        EXPECT_EQ(screen.text(next, 1, 9), "   2 next");
        EXPECT_EQ(screen.text(right + next - 1, column + 1, 9), "   2 next");
    }
    // Twenty tabs take two rows at a tab width of 4, one at 1: the numbers follow the text (once
    // the message of z has gone with a key of its own).
    reset(80, 25);
    run(std::string(20, '\t') + "x\nnext\n", "x\nnext\n", {'z', '!', '1'});
    EXPECT_EQ(screen.text(2, 1, 9), "   2 next");
}

#if QVD_WIDE
TEST_F(ViewerRender, Utf16TextAndHexRows) {
    // Both files UTF-16: text rows show the units, hex rows four digits per unit in file order.
    const std::u16string leftUnits = u"A\u00E9\u20AC\nsame\n";
    const std::u16string rightUnits = u"B\u00E9\u20AC\nsame\n";
    std::string left(reinterpret_cast<const char*>(leftUnits.data()), leftUnits.size() * 2);
    std::string right(reinterpret_cast<const char*>(rightUnits.data()), rightUnits.size() * 2);
    settings.encodingFlags = kFile1Utf16 | kFile2Utf16;
    run(left, right, {});
    EXPECT_EQ(screen.text(1, 6, 3), "Aé€");
    EXPECT_EQ(screen.text(12, 6, 3), "Bé€");
    EXPECT_EQ(screen.text(2, 6, 4), "same");
    reset(80, 25);
    settings.encodingFlags = kFile1Utf16 | kFile2Utf16;
    run(left, right, {'h'});
    EXPECT_EQ(screen.text(1, 6, 15), "4100 E900 AC20 ");
    // 24 bytes per row on 80 columns: 12 groups, the units from cell 5 * 12 + 1.
    EXPECT_EQ(screen.text(1, 6 + 61, 3), "Aé€");
}

// A UTF-16 text as the bytes of its image.
std::string utf16Image(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

// Cells of the view on 80 x 25: the text of both panes' first rows starts at column 6, the last
// text column is 78, the frame is at 79.
TEST_F(ViewerRender, LinuxTextTakesItsColumns) {
    struct Case {
        const char* name;
        std::u16string left;
        std::vector<int> keys;
        int column;
        int count;
        std::string shown; // ScreenDump::text: a cut wide character reads as U+FFFD
    };
    const std::vector<Case> cases = {
        {"accents", u"café\n", {}, 6, 5, "café "},
        {"wide characters", u"中文x\n", {}, 6, 5, "中文x"},
        {"a surrogate pair as one character", u"\U0001F600 \U0001D400.\n", {}, 6, 5, "😀 𝐀."},
        {"a mark in its letter's cell", u"e\u0301tude\n", {}, 6, 5, "e\u0301tude"},
        {"zero-width characters keep a cell", u"a\u200Bb\uFEFFc\n", {}, 6, 5, "a\u200Bb\uFEFFc"},
        {"a wide character cut by the edge",
         std::u16string(72, u'x') + u"中\n",
         {},
         77,
         3,
         "x\uFFFD│"},
        {"a wide character cut by a sideways step", u"a中文b\n", {kKeyRight}, 6, 4, "\uFFFD文b"},
        {"a step past whole characters", u"ab中文x\n", {kKeyRight}, 6, 5, "中文x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        settings.encodingFlags = kFile1Utf16 | kFile2Ansi;
        std::string right = utf16Image(u"other\n");
        run(utf16Image(c.left), right, c.keys);
        EXPECT_EQ(screen.text(1, c.column, c.count), c.shown);
        EXPECT_EQ(screen.text(1, 79, 1), "│") << "nothing draws over the frame";
    }
    // The cells: a step cuts 中 to one whole cell (the terminal shows a stand-in), 文 keeps its
    // two halves.
    reset(80, 25);
    settings.encodingFlags = kFile1Utf16 | kFile2Ansi;
    run(utf16Image(u"a中文b\n"), utf16Image(u"x\n"), {kKeyRight});
    EXPECT_EQ(screen.cell(1, 6), CellText(u'中'));
    EXPECT_EQ(screen.cell(1, 7).part, CellPart::wideLeft);
    EXPECT_EQ(screen.cell(1, 8).part, CellPart::wideRight);
    EXPECT_EQ(screen.cell(1, 8).units[0], u'文');
    // Wrapped, a wide character that the edge would cut starts the next row whole.
    reset(80, 25);
    settings.encodingFlags = kFile1Utf16 | kFile2Ansi;
    run(utf16Image(std::u16string(72, u'x') + u"中\n"), utf16Image(u"x\n"), {'z'});
    EXPECT_EQ(screen.text(1, 77, 3), "x │");
    EXPECT_EQ(screen.text(2, 1, 7), "   ↪ 中");
}

TEST_F(ViewerRender, HighlightingOfDifferingWideCharacters) {
    const uint16_t m = kTestScheme.matching, d = kTestScheme.differing;
    struct Case {
        const char* name;
        std::u16string left, right;
        std::vector<uint16_t> colours; // from column 6
        int ignoreCase;
    };
    const std::vector<Case> cases = {
        {"one wide character for another", u"a中b", u"a文b", {m, d, d, m}, 0},
        {"the same wide characters match", u"中x", u"中y", {m, m, d}, 0},
        {"a wide character against two narrow ones", u"中c", u"abc", {d, d, m}, 0},
        // The halves overlap: left 中 on 0-1, right 文 on 1-2, left x on 2: one colour for all.
        {"overlapping halves take one colour", u"中xy", u"a文y", {d, d, d, m}, 0},
        {"marks count", u"e\u0301x", u"e\u0300x", {d, m}, 0},
        {"marks lowered with their letter", u"\u00C9\u0301x", u"\u00E9\u0301y", {m, d}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset(80, 25);
        settings.encodingFlags = kFile1Utf16 | kFile2Utf16;
        settings.highlightDiffChars = 1;
        settings.ignoreCase = c.ignoreCase;
        run(utf16Image(u"keep\n" + c.left + u"\n"), utf16Image(u"keep\n" + c.right + u"\n"), {});
        for (size_t j = 0; j < c.colours.size(); ++j) {
            SCOPED_TRACE(j);
            EXPECT_EQ(screen.attribute(2, 6 + static_cast<int>(j)), c.colours[j]);
            EXPECT_EQ(screen.attribute(13, 6 + static_cast<int>(j)), c.colours[j]);
        }
    }
}

TEST_F(ViewerRender, NamesInTheFramesTakeTheirColumns) {
    reset(40, 25);
    run("a\n", "b\n", {}, {40, 25}, u"中文/e\u0301\U0001F600.txt");
    EXPECT_EQ(screen.text(0, 0, 14), "┌中文/e\u0301😀.txt─");
    EXPECT_EQ(screen.cell(0, 2).part, CellPart::wideRight);
    EXPECT_EQ(screen.text(0, 39, 1), "┐");
    // A long name of wide characters: a field of 39 cells, a head of 9 columns (four whole
    // characters) and a tail of 25 (twelve).
    std::u16string longName(40, u'字');
    reset(40, 25);
    run("a\n", "b\n", {}, {40, 25}, longName.c_str());
    EXPECT_EQ(screen.text(0, 0, 39), "┌字字字字...字字字字字字字字字字字字───");
    EXPECT_EQ(screen.text(0, 39, 1), "┐");
}

TEST_F(ViewerRender, Utf16HexRowShowsAnOddLastByte) {
    // A UTF-16 file of odd size: its last byte is no whole unit, yet the hex view shows it, or
    // two files that differ only there would stand in a differing row that looks the same.
    settings.encodingFlags = kFile1Utf16 | kFile2Utf16;
    settings.hexMode = 1;
    run(std::string("A\0B", 3), std::string("A\0C", 3), {});
    EXPECT_EQ(screen.text(1, 6, 11), "4100 42    ");
    EXPECT_EQ(screen.text(12, 6, 11), "4100 43    ");
}
#endif

} // namespace
