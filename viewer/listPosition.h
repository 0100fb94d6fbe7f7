#pragma once
// Where the view stands in the aligned list: the row at the top, how far the rows are scrolled
// sideways, and the bounds of both. Nothing here touches the screen: each key's move is worked
// out here, on the scale of the screen rows the list takes (viewer/screenRows.h), and the view
// draws what it gives.

#include "engine/diffList.h"
#include "viewer/screenRows.h"

#include <cstdint>

// A comparison of this many rows or fewer fits without scrolling.
inline constexpr uint32_t kRowsWithoutScrolling = 5;

// Largest horizontal scroll, in characters, unless a line of the list is wider.
inline constexpr uint32_t kMaxHScroll = 8192;

struct ListPosition {
    uint32_t topRow = 0;               // the list row at the top; of a fold, its first row
    uint32_t topPart = 0;              // which screen row of a wrapped top row is at the top
    uint32_t maxTopRow = 0;            // the last rows of the list stay in sight
    uint32_t maxTopPart = 0;           // of a wrapped row at maxTopRow
    uint32_t hScroll = 0;              // characters scrolled to the right; hex rows never scroll
    uint32_t maxHScroll = kMaxHScroll; // the widest line of the list, at least kMaxHScroll
    uint32_t savedTextTopRow = 0;      // the text view's top row while hex mode is on

    [[nodiscard]] ScreenPlace top() const { return {topRow, topPart}; }
    [[nodiscard]] ScreenPlace maxTop() const { return {maxTopRow, maxTopPart}; }

    // The bounds of the list as screen shows it, the top kept within them and on the first row
    // of a fold that hides it.
    void settle(const ScreenRows& screen);

    // The moves of the keys. Each returns true when the position changed (the rows are then
    // drawn again), false when it stood where the move would take it. Rows count as the screen
    // shows them: a fold is one row, a wrapped row as many as it takes.
    bool moveTop(ScreenPlace place);
    bool rowUp(const ScreenRows& screen);
    bool rowDown(const ScreenRows& screen);
    bool pageUp(const ScreenRows& screen, uint32_t page);
    bool pageDown(const ScreenRows& screen, uint32_t page);
    bool goToEnd();
    // The first Home goes back to column 0, the next to the first row.
    bool goHome();
    bool nextBlock(const ScreenRows& screen);
    bool previousBlock(const ScreenRows& screen);
    // Left and Right scroll two characters; in hex mode Left only lowers the text view's
    // remembered scroll, and Right does nothing.
    bool scrollLeft(bool hexMode);
    bool scrollRight(bool hexMode);

    // Hex mode on: the text view's top row is kept, and the hex view starts at hexTopRow.
    void enterHexMode(uint32_t hexTopRow);
    // Hex mode off: the text view's top row again (settle keeps it within the text list).
    void leaveHexMode();
};

// The first row of the next block of differing rows after topRow, or maxTopRow when there is none.
uint32_t nextDifferenceBlock(const DiffRow* rows, uint32_t topRow, uint32_t maxTopRow);
// The last row of the previous block of differing rows, or row 0 when there is none.
uint32_t previousDifferenceBlock(const DiffRow* rows, uint32_t topRow);
