#include "viewer/rowFormat.h"
#include "platform/codePages.h"
#include "viewer/viewerFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Runs the 8-bit and the 16-bit expansion on the same ASCII text and checks that both give
// expected, so the two variants cannot drift apart.
void expectExpansion(const std::string& text, int64_t length, int width, int tabWidth,
                     bool compress, const std::string& expected) {
    std::vector<uint8_t> narrow(static_cast<size_t>(width) + 1, '#');
    expandTextRow(narrow.data(), width, reinterpret_cast<const uint8_t*>(text.data()), length,
                  tabWidth, compress);
    EXPECT_EQ(std::string(narrow.begin(), narrow.begin() + width), expected) << "8-bit";
    EXPECT_EQ(narrow[static_cast<size_t>(width)], '#') << "8-bit wrote past the width";

    std::u16string units(text.begin(), text.end());
    std::vector<CellText> wide(static_cast<size_t>(width) + 1, u'#');
    expandTextRow(wide.data(), width, units.data(), length, 0, tabWidth, compress);
    std::string shown;
    for (int column = 0; column < width; ++column)
        shown += static_cast<char>(wide[column].units[0]);
    EXPECT_EQ(shown, expected) << "16-bit";
    EXPECT_EQ(wide[static_cast<size_t>(width)], CellText(u'#')) << "16-bit wrote past the width";
}

// A row of cells as text: a whole cell as its units, a character two columns wide as "[" and
// its units on its left half and "]" on its right half.
std::string cellsAsText(const std::vector<CellText>& cells) {
    std::string text;
    for (const CellText& cell : cells) {
        if (cell.part == CellPart::wideRight) {
            text += ']';
            continue;
        }
        if (cell.part == CellPart::wideLeft) text += '[';
        std::u16string units(cell.units, cell.units + cell.unitCount());
        for (size_t at = 0; at < units.size(); ++at) {
            char32_t character = units[at];
            if (character >= 0xD800 && character <= 0xDBFF && at + 1 < units.size())
                character = 0x10000 + ((character - 0xD800) << 10) + (units[++at] - 0xDC00);
            appendUtf8(text, character);
        }
    }
    return text;
}

TEST(ExpandTextRow, TabsCompressionAndPadding) {
    constexpr int64_t kWhole = INT64_MIN;
    struct Case {
        const char* name;
        std::string text;
        int64_t length; // kWhole: the whole text
        int width;
        int tabWidth;
        bool compress;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"plain text padded with blanks", "abc", kWhole, 6, 4, false, "abc   "},
        {"text cut at the width", "abcdefgh", kWhole, 5, 4, false, "abcde"},
        {"tab to the next stop", "a\tb", kWhole, 8, 4, false, "a   b   "},
        {"tab on a stop moves a whole width", "abcd\tx", kWhole, 10, 4, false, "abcd    x "},
        {"tab width 1", "a\t\tb", kWhole, 6, 1, false, "a  b  "},
        {"tab stops past the width stop there", "abcdefg\t", kWhole, 9, 8, false, "abcdefg  "},
        {"a tab past the width is never reached", "abc\tx", kWhole, 3, 4, false, "abc"},
        {"a tab as the last cell", "ab\tc", kWhole, 3, 4, false, "ab "},
        {"compression keeps the first of a run", "a  \t b", kWhole, 6, 4, true, "a b   "},
        {"a run that starts with a tab", "a\t  b", kWhole, 8, 4, true, "a   b   "},
        {"no compression without the flag", "a  b", kWhole, 6, 4, false, "a  b  "},
        {"line terminators are not white space", "a\r\rb", kWhole, 5, 4, true, "a\r\rb "},
        {"zero length gives blanks", "abc", 0, 4, 4, false, "    "},
        {"negative length (scrolled past the end)", "abc", -5, 4, 4, false, "    "},
        {"width 0 writes nothing", "abc", kWhole, 0, 4, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int64_t length = c.length == kWhole ? static_cast<int64_t>(c.text.size()) : c.length;
        expectExpansion(c.text, length, c.width, c.tabWidth, c.compress, c.expected);
    }
}

TEST(ExpandTextRow, Utf16TextCountsColumns) {
    struct Case {
        const char* name;
        std::u16string text;
        uint32_t scroll;
        int width;
        bool compress;
        std::string expected; // cellsAsText
    };
    const std::vector<Case> cases = {
        {"accented letters take a column each", u"café", 0, 6, false, "café  "},
        {"a wide character takes two cells", u"a中文b", 0, 7, false, "a[中][文]b "},
        {"a surrogate pair is one character", u"x\U0001F600y\U0001D400", 0, 6, false, "x[😀]y𝐀 "},
        {"a mark joins its letter's cell", u"e\u0301x", 0, 3, false, "e\u0301x "},
        {"up to four marks join, the next stands alone", u"a\u0301\u0302\u0303\u0304\u0305b", 0, 4,
         false, "a\u0301\u0302\u0303\u0304\u0305b "},
        {"a mark at the start stands alone", u"\u0301a", 0, 3, false, "\u0301a "},
        {"a mark after a control stands alone", u"\x01\u0301", 0, 3, false, "\x01\u0301 "},
        {"zero-width and unpaired characters take a cell",
         u"a\u200Bb\xD800"
         u"c",
         0, 6, false,
         "a\u200Bb\xED\xA0\x80"
         "c "},
        {"the right edge cuts a wide character to one cell", u"ab中", 0, 3, false, "ab中"},
        {"the scroll passes whole characters", u"中文ab", 2, 4, false, "[文]ab"},
        {"the scroll cuts a wide character: its right half", u"a中文", 2, 4, false, "中[文] "},
        {"the scroll counts a tab as one column", u"\tx中", 1, 4, false, "x[中] "},
        {"a mark scrolls with its letter", u"e\u0301fg", 1, 2, false, "fg"},
        {"tab stops count columns", u"中\tx", 0, 6, false, "[中]  x "},
        {"scrolled past the end", u"中", 4, 2, false, "  "},
        {"compression keeps a blank that carries a mark", u"a \u0301 b", 0, 5, true, "a \u0301 b "},
        {"compression of a run", u"中  \t 文", 0, 6, true, "[中] [文] "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CellText> row(static_cast<size_t>(c.width) + 1, u'#');
        expandTextRow(row.data(), c.width, c.text.data(), static_cast<int64_t>(c.text.size()),
                      c.scroll, 4, c.compress);
        EXPECT_EQ(cellsAsText({row.begin(), row.begin() + c.width}), c.expected);
        EXPECT_EQ(row.back(), CellText(u'#')) << "wrote past the width";
    }
}

std::string cells(const uint8_t* row, int count) {
    return std::string(row, row + count);
}

TEST(FormatHexRow, PairsThenCharacterColumn) {
    // A pane 80 columns wide with four offset digits: 73 text cells hold 18 pairs; a row of 16
    // bytes leaves two pairs blank and its characters start at cell 3 * 18 + 1 = 55.
    std::vector<uint8_t> data(16);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>('a' + i);
    data[0] = 0x00;
    data[15] = 0xFF;
    uint8_t row[80];
    formatHexRow(row, 73, data.data(), 16);
    EXPECT_EQ(cells(row, 9), "00 62 63 ");
    EXPECT_EQ(cells(row + 45, 10), "FF        ");
    EXPECT_EQ(row[55], 0x00);
    EXPECT_EQ(cells(row + 56, 14), "bcdefghijklmno");
    EXPECT_EQ(row[70], 0xFF);
    EXPECT_EQ(cells(row + 71, 2), "  ");
}

TEST(FormatHexRow, ShortLastRowKeepsTheCharacterColumn) {
    const uint8_t data[] = {'A', 'B'};
    uint8_t row[17];
    formatHexRow(row, 17, data, 2); // N = 4 pairs
    EXPECT_EQ(cells(row, 17), "41 42        AB  ");
}

TEST(FormatHexRow, NarrowWidthsStayBlank) {
    const uint8_t data[] = {'A', 'B'};
    for (int width = 1; width <= 4; ++width) {
        SCOPED_TRACE(width);
        uint8_t row[8] = {};
        formatHexRow(row, width, data, 2);
        EXPECT_EQ(cells(row, width), std::string(static_cast<size_t>(width), ' '));
        EXPECT_EQ(row[width], 0) << "wrote past the width";
    }
}

TEST(FormatHexRowWide, UnitsInFileByteOrder) {
    // "A" and U+20AC as little-endian units.
    const uint8_t units[] = {0x41, 0x00, 0xAC, 0x20};
    char16_t row[20];
    formatHexRowWide(row, 19, units, 2); // N = 3 groups
    EXPECT_EQ(std::u16string(row, 19), u"4100 AC20       A\u20AC ");
}

TEST(FormatNumberColumn, LineNumbersOffsetsAndTheMissingSide) {
    struct Case {
        uint32_t number;
        bool right, hexMode;
        int width;
        uint32_t hexRowBytes;
        std::string cells;
    };
    const Case cases[] = {
        {0, false, false, 5, 16, "  -  "},
        {7, false, false, 5, 16, "   7 "},
        {1, false, true, 5, 16, "0000 "},
        {2, true, true, 5, 16, "0010 "},
        // Offsets past 4 GiB keep their high digits.
        {0x10000001, false, true, 10, 16, "100000000 "},
        {0xFFFFFFFE, true, true, 11, 256, "FFFFFFFD00 "},
        {0x10000001, false, true, 5, 16, "10000"}, // a column too narrow keeps the head
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.number << (c.hexMode ? " hex" : "") << " width " << c.width);
        char out[16] = {};
        formatNumberColumn(out, c.width, c.number, c.right, c.hexRowBytes, c.hexMode);
        EXPECT_EQ(std::string(out), c.cells);
    }
}

TEST(ScrollThumb, PositionAndSize) {
    struct Case {
        const char* name;
        uint32_t length, total, page, top;
        uint32_t start, thumb;
    };
    const std::vector<Case> cases = {
        {"five rows or fewer: a full bar", 38, 0, 20, 0, 0, 38},
        {"one top row only: a full bar", 38, 1, 20, 0, 0, 38},
        {"at the top", 78, 100, 20, 0, 0, 15},
        {"in the middle", 78, 100, 20, 50, 39, 15},
        {"top beyond total - page is held back", 78, 100, 20, 100, 62, 15},
        {"a tiny thumb is one cell", 10, 1000000, 20, 0, 0, 1},
        {"a thumb at the very end stays inside", 10, 1000000, 20, 999999, 9, 1},
        {"large top rows do not overflow", 250, 4000000000u, 80, 3000000000u, 187, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScrollThumb thumb = scrollThumb(c.length, c.total, c.page, c.top);
        EXPECT_EQ(thumb.start, c.start);
        EXPECT_EQ(thumb.length, c.thumb);
        EXPECT_LE(thumb.start + thumb.length, c.length);
    }
}

TEST(ComputeHexRowBytes, FollowsThePaneWidth) {
    struct Case {
        const char* name;
        int paneWidth, offsetDigits;
        uint32_t flags;
        uint32_t wide, narrow; // expected in moxa and in moxaw
    };
    const std::vector<Case> cases = {
        {"side by side on 80 columns", 40, 4, 0, 8, 8},
        {"one above the other on 80 columns", 80, 4, 0, 16, 16},
        {"both files UTF-16 divide by 3", 80, 4, kFile1Utf16 | kFile2Utf16, 24, 16},
        {"too narrow for four bytes still shows one", 24, 4, 0, 4, 4},
        {"narrower than a step", 20, 4, 0, 3, 3},
        {"narrower than a step, UTF-16 keeps whole units", 20, 4, kFile1Utf16 | kFile2Ansi, 2, 3},
        {"narrower than the offset column", 3, 8, 0, 1, 1},
        {"a zero-width pane", 0, 4, kFile1Utf16 | kFile2Utf16, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(computeHexRowBytes(c.paneWidth, c.offsetDigits, c.flags),
                  kWideBuild ? c.wide : c.narrow);
    }
}

TEST(ComputePaneColumns, NumberAndTextWidths) {
    struct Case {
        const char* name;
        int hexMode, hideLineNumbers, offsetDigits, paneWidth;
        uint32_t hexRowBytes;
        uint32_t largestNumber;
        int numberWidth, textWidth;
    };
    const std::vector<Case> cases = {
        {"text with numbers", 0, 0, 4, 80, 0, 30, 5, 73},
        {"five-digit numbers keep the column", 0, 0, 4, 80, 0, 99999, 5, 73},
        {"six digits and a blank", 0, 0, 4, 80, 0, 100000, 7, 71},
        {"ten digits and a blank", 0, 0, 4, 80, 0, 4294967295u, 11, 67},
        {"text without numbers", 0, 1, 4, 80, 0, 123456, 0, 78},
        {"hex, offsets always shown", 1, 1, 4, 80, 16, 123456, 5, 73},
        {"hex text exactly four columns per byte gains one", 1, 0, 5, 40, 8, 0, 5, 33},
        {"pane narrower than its number column", 0, 0, 4, 3, 0, 0, 1, 0},
        {"pane narrower than a wide number column", 0, 0, 4, 8, 0, 1000000, 6, 0},
        {"pane of no width", 1, 0, 4, 0, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings;
        settings.hexMode = c.hexMode;
        settings.hideLineNumbers = c.hideLineNumbers;
        PaneColumns columns = computePaneColumns(c.paneWidth, c.hexRowBytes, c.largestNumber,
                                                 settings, c.offsetDigits);
        EXPECT_EQ(columns.numberWidth, c.numberWidth);
        EXPECT_EQ(columns.textWidth, c.textWidth);
    }
}

} // namespace
