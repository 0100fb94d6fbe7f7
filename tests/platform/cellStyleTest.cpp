#include "platform/cellStyle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CellStyle, ConsoleColoursSwapRedAndBlueForTheTerminal) {
    const struct {
        int console;
        int terminal;
    } cases[] = {
        {0x0, 0}, {0x1, 4}, {0x2, 2},  {0x3, 6},  {0x4, 1}, {0x5, 5},  {0x6, 3},
        {0x7, 7}, {0x8, 8}, {0x9, 12}, {0xB, 14}, {0xC, 9}, {0xE, 11}, {0xF, 15},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.console);
        EXPECT_EQ(terminalColour(entry.console), entry.terminal);
    }
}

TEST(CellStyle, LookFollowsTheTerminalsColourCount) {
    // Light cyan on blue, yellow on red, bright white on bright red.
    EXPECT_EQ(cellLook(0x1B, 16, 0), (CellLook{14, 4, false, false, false}));
    EXPECT_EQ(cellLook(0x4E, 16, 0), (CellLook{11, 1, false, false, false}));
    // Eight colours: bright foreground as bold, bright background as its plain colour.
    EXPECT_EQ(cellLook(0x1B, 8, 0), (CellLook{6, 4, true, false, false}));
    EXPECT_EQ(cellLook(0xCF, 8, 0), (CellLook{7, 1, true, false, false}));
    // No colour: the common background stays plain, any other stands out in reverse video.
    EXPECT_EQ(cellLook(0x1B, 0, 1), (CellLook{-1, -1, true, false, false}));
    EXPECT_EQ(cellLook(0x4E, 0, 1), (CellLook{-1, -1, true, true, false}));
    EXPECT_EQ(cellLook(0x17, 0, 1), (CellLook{-1, -1, false, false, false}));
    // The console's own reverse-video and underscore bits.
    EXPECT_EQ(cellLook(0xC007, 16, 0), (CellLook{7, 0, false, true, true}));
}

// One cell of a row, laid out as the view lays out text: "L" and "R" mark the halves of a
// character two columns wide, anything else is a whole cell of the given units.
struct Cell {
    std::u16string units;
    char part = 'W';
};

std::vector<CellText> rowOf(const std::vector<Cell>& cells) {
    std::vector<CellText> row;
    for (const Cell& cell : cells) {
        CellText text;
        std::copy(cell.units.begin(), cell.units.end(), text.units);
        text.part = cell.part == 'L'   ? CellPart::wideLeft
                    : cell.part == 'R' ? CellPart::wideRight
                                       : CellPart::whole;
        row.push_back(text);
    }
    return row;
}

std::u32string charactersOf(const CellGlyph& glyph) {
    return std::u32string(glyph.characters);
}

TEST(CellStyle, WholeCellsTakeExactlyOneColumn) {
    const struct {
        char16_t unit;
        char32_t shown;
    } cases[] = {
        {u'A', U'A'},     {u'~', U'~'},   {0x00, U' '},
        {0x01, 0x263A}, // the console's own glyphs for control bytes
        {0x1B, 0x2190}, // Esc never reaches the terminal
        {0x07, 0x2022},   {0x7F, 0x2302}, {0x9B, 0xFFFD}, // the 8-bit CSI
        {0x85, 0xFFFD},   {0xE9, 0xE9},   {0x2500, 0x2500},
        {0x4E2D, 0xFFFD}, // two columns wide, alone in a cell: cut by an edge
        {0x0301, 0xFFFD}, // a mark with nothing to join
        {0x200B, 0xFFFD}, // zero width
        {0xFEFF, 0xFFFD}, // the signature inside a line
        {0x00AD, 0xFFFD}, // a soft hyphen: one column in some terminals, none in others
        {0xD83D, 0xFFFD}, // half of a surrogate pair
        {0xDE00, 0xFFFD},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(static_cast<int>(entry.unit));
        CellText cell(entry.unit);
        CellGlyph glyph = cellGlyph(&cell, 0, 1, true);
        EXPECT_EQ(charactersOf(glyph), std::u32string(1, entry.shown));
        EXPECT_EQ(glyph.columns, 1);
    }
}

TEST(CellStyle, WideCharactersMarksAndPairs) {
    struct Case {
        const char* name;
        std::vector<Cell> row;
        int column;
        int width;            // of the drawn row: the cells from it on are not drawn
        std::u32string shown; // empty: nothing drawn
        int columns;
    };
    const std::vector<Case> cases = {
        {"a wide character from its left half", {{u"中", 'L'}, {u"中", 'R'}}, 0, 2, U"中", 2},
        {"its right half draws nothing", {{u"中", 'L'}, {u"中", 'R'}}, 1, 2, U"", 0},
        {"an emoji, a surrogate pair",
         {{u"\U0001F600", 'L'}, {u"\U0001F600", 'R'}},
         0,
         2,
         U"\U0001F600",
         2},
        {"a surrogate pair one column wide", {{u"\U0001D400"}}, 0, 1, U"\U0001D400", 1},
        {"a letter and its marks", {{u"e\u0301\u0323"}}, 0, 1, U"e\u0301\u0323", 1},
        {"marks on a wide character",
         {{u"中\u0301", 'L'}, {u"中\u0301", 'R'}},
         0,
         2,
         U"中\u0301",
         2},
        {"a left half at the edge of the drawn row",
         {{u"中", 'L'}, {u"中", 'R'}},
         0,
         1,
         U"\uFFFD",
         1},
        {"a left half without its right", {{u"中", 'L'}, {u"x"}}, 0, 2, U"\uFFFD", 1},
        {"a right half without its left", {{u"x"}, {u"中", 'R'}}, 1, 2, U"\uFFFD", 1},
        {"halves of two characters", {{u"中", 'L'}, {u"文", 'R'}}, 1, 2, U"\uFFFD", 1},
        {"halves of a narrow character", {{u"a", 'L'}, {u"a", 'R'}}, 0, 2, U"\uFFFD", 1},
        {"a control takes no marks", {{u"\x01\u0301"}}, 0, 1, U"\u263A", 1},
        {"what follows a character but no mark is not drawn", {{u"ab"}}, 0, 1, U"a", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CellText> row = rowOf(c.row);
        CellGlyph glyph = cellGlyph(row.data(), c.column, c.width, true);
        EXPECT_EQ(charactersOf(glyph), c.shown);
        EXPECT_EQ(glyph.columns, c.columns);
    }
}

TEST(CellStyle, TerminalWithoutUnicodeGetsAscii) {
    // The last two: the dots of a fold, the mark of a wrapped line's later rows.
    const struct {
        char16_t unit;
        char32_t shown;
    } cases[] = {
        {u'x', U'x'}, {0x2500, U'-'}, {0x2551, U'|'}, {0x250C, U'+'}, {0x2592, U'#'},
        {0xE9, U'?'}, {0x1B, U'?'},   {0x00, U' '},   {0xB7, U'.'},   {0x21AA, U'+'},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(static_cast<int>(entry.unit));
        CellText cell(entry.unit);
        EXPECT_EQ(charactersOf(cellGlyph(&cell, 0, 1, false)), std::u32string(1, entry.shown));
    }
    // A wide character: a '?' in each of its columns; a letter without its marks.
    std::vector<CellText> row = rowOf({{u"中", 'L'}, {u"中", 'R'}, {u"e\u0301"}});
    for (int column = 0; column < 3; ++column) {
        SCOPED_TRACE(column);
        CellGlyph glyph = cellGlyph(row.data(), column, 3, false);
        EXPECT_EQ(charactersOf(glyph), column < 2 ? U"?" : U"e");
        EXPECT_EQ(glyph.columns, 1);
    }
}

} // namespace
