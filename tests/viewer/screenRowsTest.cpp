// The way from the rows of the list to the rows of the screen, on its own: folds written as match
// patterns ('=' an equal row, 'x' a differing one), wrapped rows as texts of known widths.
#include "viewer/screenRows.h"

#include "rowPatterns.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

TEST(ScreenRows, RunsLongerThanTwiceTheContextFoldAllButTheirEnds) {
    const struct {
        const char* pattern;
        uint32_t context;
        const char* folds; // first-end of each
    } cases[] = {
        {"=======x", 3, ""},      {"========x", 3, "3-5 "}, {"x==========x===", 3, "4-8 "},
        {"==x==", 0, "0-2 3-5 "}, {"=x=x=", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        const std::vector<DiffRow> rows = rowsOf(c.pattern);
        FoldList list;
        ASSERT_TRUE(buildFolds(list, rows.data(), static_cast<uint32_t>(rows.size()), c.context));
        std::string folds;
        for (const Fold& fold : list.folds)
            folds += std::to_string(fold.first) + "-" + std::to_string(fold.end) + " ";
        EXPECT_EQ(folds, c.folds);
    }
}

// Whatever the folds and whichever were opened, the shown rows and the list rows map onto each
// other in order, a hidden row onto its fold's row, and the count adds up.
TEST(ScreenRows, ShownAndListRowsMapOntoEachOtherThroughAnyFolds) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string pattern;
        for (int i = 1 + static_cast<int>(random() % 120); i > 0; --i)
            pattern += random() % 9 == 0 ? 'x' : '=';
        SCOPED_TRACE(pattern);
        const std::vector<DiffRow> rows = rowsOf(pattern);
        const auto count = static_cast<uint32_t>(rows.size());
        FoldList list;
        ASSERT_TRUE(buildFolds(list, rows.data(), count, random() % 4));
        const auto opened = static_cast<uint32_t>(random() % count);
        const bool open = openFold(list, opened);
        const ScreenRows screen{rows.data(), count, &list};
        uint32_t hidden = 0;
        for (const Fold& fold : list.folds) hidden += fold.end - fold.first - 1;
        ASSERT_EQ(screen.shownCount(), count - hidden);
        uint32_t previous = 0;
        for (uint32_t shown = 0; shown < screen.shownCount(); ++shown) {
            const uint32_t row = screen.listOf(shown);
            ASSERT_EQ(screen.shownOf(row), shown);
            ASSERT_EQ(shown > 0 ? screen.nextShown(previous) : 0, row);
            ASSERT_EQ(screen.previousShown(row), previous);
            previous = row;
        }
        EXPECT_EQ(screen.nextShown(previous), count);
        for (uint32_t row = 0; row < count; ++row) {
            const Fold* fold = screen.foldAt(screen.startOf(row));
            ASSERT_TRUE(screen.startOf(row) == row || (fold != nullptr && row < fold->end));
        }
        EXPECT_TRUE(!open || screen.startOf(opened) == opened);
    }
}

// A line of known text on both sides of a row; the texts outlive the row.
DiffRow textRow(std::string_view left, std::string_view right) {
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
        std::string text;
        WrapRules rules; // width, tab width, compression
        uint32_t height;
    } cases[] = {
        {"", {10}, 1},
        {std::string(11, 'a'), {10}, 2},
        {"abcdefgh\tabcdefghij", {10, 4}, 2}, // a tab clipped at the edge ends its row
        {"a" + std::string(20, ' ') + "bcdefghi", {10, 4, true}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const DiffRow row[2] = {textRow(c.text, "x"), textRow("x", c.text)};
        const ScreenRows screen{row, 2, nullptr, c.rules};
        EXPECT_EQ(screen.height(0), c.height);
        EXPECT_EQ(screen.height(1), c.height);
    }
    // A wide character the edge would cut starts the next row; one cell wide, each is a row.
    const std::u16string wide = u"a中中中中";
    const auto* units = reinterpret_cast<const uint8_t*>(wide.data());
    EXPECT_EQ(wrappedRowEnd(units, 5, 0, {4, 4, false, true}), 2u);
    EXPECT_EQ(wrappedRowEnd(units, 5, 2, {4, 4, false, true}), 4u);
    EXPECT_EQ(wrappedHeight(units, 5, {1, 4, false, true}), 5u);
}

TEST(ScreenRows, MovesCountScreenRowsThroughFoldsAndWrappedRows) {
    // Rows 0-9 equal, folded to 0, [1-8], 9; row 10 wraps over three screen rows, row 11 one.
    std::vector<DiffRow> rows(12, textRow("same", "same"));
    const std::string longLine(25, 'a');
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
        {{0, 0}, 2, {9, 0}},    {{9, 0}, 2, {10, 1}},  {{10, 1}, 3, {12, 0}},
        {{12, 0}, -2, {10, 2}}, {{10, 2}, -4, {1, 0}}, {{12, 0}, -100, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.row << "." << c.from.part << " by " << c.count);
        EXPECT_TRUE(screen.advance(c.from, c.count) == c.to);
    }
    EXPECT_TRUE(screen.lastTop(3) == (ScreenPlace{10, 1}));
    EXPECT_EQ(screen.partOfUnit(10, 0, 9), 0u);
    EXPECT_EQ(screen.partOfUnit(10, 0, 24), 2u);
}

} // namespace
