// The way from the rows of the list to the rows of the screen, on its own: folds written as match
// patterns ('=' an equal row, 'x' a differing one), wrapped rows as texts of known widths.
#include "viewer/screenRows.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<DiffRow> rowsOf(const std::string& pattern) {
    std::vector<DiffRow> rows;
    for (char c : pattern) rows.push_back(DiffRow{nullptr, 0, 1, nullptr, 0, 1, c == '=' ? 1 : 0});
    return rows;
}

// The folds of a pattern as "first-end" pairs.
std::string foldsOf(const std::string& pattern, uint32_t context) {
    const std::vector<DiffRow> rows = rowsOf(pattern);
    FoldList list;
    EXPECT_TRUE(buildFolds(list, rows.data(), static_cast<uint32_t>(rows.size()), context));
    std::string text;
    for (const Fold& fold : list.folds)
        text += std::to_string(fold.first) + "-" + std::to_string(fold.end) + " ";
    return text;
}

TEST(ScreenRows, RunsLongerThanTwiceTheContextFoldAllButTheirEnds) {
    const struct {
        const char* pattern;
        uint32_t context;
        const char* folds;
    } cases[] = {
        {"=======x", 3, ""},                  // 2N + 1 rows stay
        {"========x", 3, "3-5 "},             // one more: the two middle rows fold
        {"x==========x===", 3, "4-8 "},       // inside the list; the short run stays
        {"==x==", 0, "0-2 3-5 "},             // no context: every run of two or more
        {"=x=x=", 0, ""},                     // single equal rows stay
        {"xxxx", 3, ""},                      // nothing equal
        {"====================", 2, "2-18 "}, // the whole list equal
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(foldsOf(c.pattern, c.context), c.folds);
    }
}

// Whatever the folds and whichever were opened, the shown rows and the list rows map onto each
// other in order: every shown row starts at a list row that maps back to it, a hidden row maps to
// its fold's row, and the count adds up.
TEST(ScreenRows, ShownAndListRowsMapOntoEachOtherThroughAnyFolds) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string pattern;
        const int length = 1 + static_cast<int>(random() % 120);
        for (int i = 0; i < length; ++i) pattern += random() % 9 == 0 ? 'x' : '=';
        const std::vector<DiffRow> rows = rowsOf(pattern);
        const auto count = static_cast<uint32_t>(rows.size());
        FoldList list;
        ASSERT_TRUE(buildFolds(list, rows.data(), count, random() % 4));
        std::vector<uint32_t> opened;
        for (int open = static_cast<int>(random() % 3); open > 0; --open) {
            const auto row = static_cast<uint32_t>(random() % count);
            if (openFold(list, row)) opened.push_back(row);
        }
        SCOPED_TRACE(pattern);
        const ScreenRows screen{rows.data(), count, &list};
        uint32_t hidden = 0;
        for (const Fold& fold : list.folds) hidden += fold.end - fold.first - 1;
        ASSERT_EQ(screen.shownCount(), count - hidden);
        uint32_t previous = 0;
        for (uint32_t shown = 0; shown < screen.shownCount(); ++shown) {
            const uint32_t row = screen.listOf(shown);
            ASSERT_EQ(screen.shownOf(row), shown);
            if (shown > 0) {
                ASSERT_EQ(screen.nextShown(previous), row);
                ASSERT_EQ(screen.previousShown(row), previous);
            }
            previous = row;
        }
        EXPECT_EQ(screen.listOf(screen.shownCount()), count);
        EXPECT_EQ(screen.nextShown(previous), count);
        for (uint32_t row = 0; row < count; ++row) {
            const uint32_t start = screen.startOf(row);
            const Fold* fold = screen.foldAt(start);
            if (start != row) {
                ASSERT_TRUE(fold != nullptr && row < fold->end) << row;
            }
        }
        for (uint32_t row : opened) EXPECT_EQ(screen.startOf(row), row) << "opened " << row;
    }
}

// A line of known text on both sides of a row.
DiffRow textRow(const std::string& left, const std::string& right) {
    return DiffRow{reinterpret_cast<const uint8_t*>(left.data()),
                   static_cast<uint32_t>(left.size()),
                   1,
                   reinterpret_cast<const uint8_t*>(right.data()),
                   static_cast<uint32_t>(right.size()),
                   1,
                   left == right};
}

TEST(ScreenRows, WrappedRowsTakeTheRowsOfTheirLongerSide) {
    const struct {
        const char* name;
        std::string text;
        WrapRules rules;
        uint32_t height;
    } cases[] = {
        {"an empty line takes a row", "", {10}, 1},
        {"a full row", std::string(10, 'a'), {10}, 1},
        {"one more character", std::string(11, 'a'), {10}, 2},
        {"a tab runs to its stop and the row goes on", "abcdefg\tabcdefgh", {10, 4}, 2},
        {"a tab at the edge ends the row", "abcdefgh\tabcdefghij", {10, 4}, 2},
        {"compressed blanks take one cell",
         "a" + std::string(20, ' ') + "bcdefghi",
         {10, 4, true},
         1},
        {"not wrapping: always one", std::string(100, 'a'), {0}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string other = "x";
        const DiffRow row[2] = {textRow(c.text, other), textRow(other, c.text)};
        const ScreenRows screen{row, 2, nullptr, c.rules};
        EXPECT_EQ(screen.height(0), c.height);
        EXPECT_EQ(screen.height(1), c.height) << "the longer side, on either side";
    }
}

// UTF-16 text as a row holds it.
std::string utf16Bytes(const std::u16string& units) {
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
}

// The screen rows of one UTF-16 line, as the units each starts at.
std::vector<uint32_t> rowStarts(const std::u16string& line, int width) {
    const std::string bytes = utf16Bytes(line);
    const WrapRules rules{width, 4, false, true};
    std::vector<uint32_t> starts;
    const auto length = static_cast<uint32_t>(line.size());
    for (uint32_t from = 0; from < length;
         from = wrappedRowEnd(reinterpret_cast<const uint8_t*>(bytes.data()), length, from, rules))
        starts.push_back(from);
    return starts;
}

TEST(ScreenRows, AWideCharacterAtTheEdgeStartsTheNextRowWhole) {
    // Rows of four cells: a中 (three cells; the next 中 would straddle the edge), 中中, 中.
    EXPECT_EQ(rowStarts(u"a中中中中", 4), (std::vector<uint32_t>{0, 2, 4}));
    EXPECT_EQ(rowStarts(u"中中中", 4), (std::vector<uint32_t>{0, 2}));
    // A row one cell wide still moves on: each wide character is a row of its own.
    EXPECT_EQ(rowStarts(u"中中", 1), (std::vector<uint32_t>{0, 1}));
    // A character outside the basic plane is one character of two units.
    EXPECT_EQ(rowStarts(u"ab\U0001F600c", 3), (std::vector<uint32_t>{0, 2}));
}

TEST(ScreenRows, MovesCountScreenRowsThroughFoldsAndWrappedRows) {
    // Rows 0-9 equal, folded to 0, [1-8], 9 with one row of context; row 10 differs and wraps
    // over three screen rows, row 11 over one.
    const std::string longLine(25, 'a');
    std::vector<DiffRow> rows(12, textRow("same", "same"));
    rows[10] = textRow(longLine, "b");
    rows[11] = textRow("c", "d");
    FoldList list;
    ASSERT_TRUE(buildFolds(list, rows.data(), 12, 1));
    const ScreenRows screen{rows.data(), 12, &list, {10}};
    const struct {
        ScreenPlace from;
        int64_t count;
        ScreenPlace to;
    } cases[] = {
        {{0, 0}, 1, {1, 0}},     // onto the fold
        {{1, 0}, 1, {9, 0}},     // past it in one row
        {{9, 0}, 2, {10, 1}},    // into the wrapped row
        {{10, 1}, 2, {11, 0}},   // out of it
        {{11, 0}, 1, {12, 0}},   // the end
        {{12, 0}, -2, {10, 2}},  // back into the wrapped row's last screen row
        {{10, 2}, -4, {1, 0}},   // back through it to the fold
        {{1, 0}, -5, {0, 0}},    // no further than the first row
        {{12, 0}, -100, {0, 0}}, // the whole list: 1 + 1 + 1 + 3 + 1 screen rows
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.row << "." << c.from.part << " by " << c.count);
        const ScreenPlace to = screen.advance(c.from, c.count);
        EXPECT_EQ(to.row, c.to.row);
        EXPECT_EQ(to.part, c.to.part);
    }
    EXPECT_TRUE(screen.lastTop(3) == (ScreenPlace{10, 1}));
    EXPECT_TRUE(screen.lastTop(50) == ScreenPlace{});
    EXPECT_EQ(screen.partOfUnit(10, 0, 9), 0u);
    EXPECT_EQ(screen.partOfUnit(10, 0, 10), 1u);
    EXPECT_EQ(screen.partOfUnit(10, 0, 24), 2u);
    EXPECT_EQ(screen.partOfUnit(10, 1, 0), 0u);
}

} // namespace
