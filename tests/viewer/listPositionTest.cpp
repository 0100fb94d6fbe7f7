// The position in the list on its own, without a screen: each key's move on a list of rows
// whose match pattern is written as a string ('=' a matching row, 'x' a differing one).
#include "viewer/listPosition.h"

#include "rowPatterns.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

TEST(ListPosition, MovesStayWithinTheListAndSayWhetherTheyMoved) {
    // 20 rows: differing blocks at rows 3-4 and 10-12; the top goes no further than row 15.
    const std::vector<DiffRow> rows = rowsOf("===xx=====xxx=======");
    const ScreenRows screen{rows.data(), static_cast<uint32_t>(rows.size())};
    using Move = std::function<bool(ListPosition&)>;
    const Move down = [&](ListPosition& p) { return p.rowDown(screen); };
    const Move up = [&](ListPosition& p) { return p.rowUp(screen); };
    const Move next = [&](ListPosition& p) { return p.nextBlock(screen); };
    const Move previous = [&](ListPosition& p) { return p.previousBlock(screen); };
    const Move pageDown = [&](ListPosition& p) { return p.pageDown(screen, 8); };
    const Move pageUp = [&](ListPosition& p) { return p.pageUp(screen, 8); };
    const Move end = [](ListPosition& p) { return p.goToEnd(); };
    const Move home = [](ListPosition& p) { return p.goHome(); };
    const Move right = [](ListPosition& p) { return p.scrollRight(false); };
    const Move left = [](ListPosition& p) { return p.scrollLeft(false); };
    struct Case {
        const char* name;
        std::vector<Move> moves;
        std::vector<bool> moved;
        uint32_t topRow;
        uint32_t hScroll;
    };
    const Case cases[] = {
        {"up at the top stays", {up}, {false}, 0, 0},
        {"blocks one after the other, then the end", {next, next, next}, {true, true, true}, 15, 0},
        {"no block after the last", {end, next}, {true, false}, 15, 0},
        {"back to the last row of the block before",
         {next, next, previous},
         {true, true, true},
         4,
         0},
        {"pages stop at the ends",
         {pageDown, pageDown, pageDown, pageUp},
         {true, true, false, true},
         7,
         0},
        {"down stops at the last top row", {end, down}, {true, false}, 15, 0},
        {"home scrolls back before it goes up",
         {down, right, home, home},
         {true, true, true, true},
         0,
         0},
        {"left needs something to scroll back", {left, right, left}, {false, true, true}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListPosition position;
        position.settle(screen);
        ASSERT_EQ(position.maxTopRow, 15u);
        for (size_t i = 0; i < c.moves.size(); ++i)
            EXPECT_EQ(c.moves[i](position), c.moved[i]) << "move " << i;
        EXPECT_EQ(position.topRow, c.topRow);
        EXPECT_EQ(position.hScroll, c.hScroll);
    }
}

// The rows of a list of that many equal rows, as a list without folds or wrapping shows them.
ScreenRows plainRows(const std::vector<DiffRow>& rows, uint32_t count) {
    return ScreenRows{rows.data(), count};
}

TEST(ListPosition, ShortListsDoNotScrollAndNewBoundsKeepTheTopInside) {
    const std::vector<DiffRow> rows = rowsOf(std::string(100, '='));
    ListPosition position;
    position.settle(plainRows(rows, 5));
    EXPECT_EQ(position.maxTopRow, 0u);
    EXPECT_FALSE(position.rowDown(plainRows(rows, 5)));
    EXPECT_FALSE(position.goToEnd());
    position.settle(plainRows(rows, 100));
    position.topRow = 90;
    position.settle(plainRows(rows, 50));
    EXPECT_EQ(position.topRow, 45u);
}

TEST(ListPosition, HexModeKeepsTheTextViewsPlace) {
    const std::vector<DiffRow> rows = rowsOf(std::string(100, '='));
    ListPosition position;
    position.settle(plainRows(rows, 100));
    position.topRow = 40;
    position.hScroll = 7;
    position.enterHexMode(12);
    EXPECT_EQ(position.topRow, 12u);
    EXPECT_EQ(position.hScroll, 6u) << "hex rows scroll by whole steps";
    EXPECT_FALSE(position.scrollRight(true));
    EXPECT_TRUE(position.scrollLeft(true));
    position.leaveHexMode();
    EXPECT_EQ(position.topRow, 40u);
    // A hex list shorter than the text list (short lines) gives the text row back all the same.
    position.enterHexMode(3);
    position.settle(plainRows(rows, 20));
    position.leaveHexMode();
    EXPECT_EQ(position.topRow, 40u);
}

} // namespace
