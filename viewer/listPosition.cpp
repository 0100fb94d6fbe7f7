#include "viewer/listPosition.h"

#include <algorithm>

void ListPosition::settle(uint32_t rowCount) {
    maxTopRow = rowCount > kRowsWithoutScrolling ? rowCount - kRowsWithoutScrolling : 0;
    topRow = std::min(topRow, maxTopRow);
}

bool ListPosition::moveTop(uint32_t row) {
    if (row == topRow) return false;
    topRow = row;
    return true;
}

bool ListPosition::rowUp() {
    return topRow > 0 && moveTop(topRow - 1);
}

bool ListPosition::rowDown() {
    return topRow < maxTopRow && moveTop(topRow + 1);
}

bool ListPosition::pageUp(uint32_t page) {
    return moveTop(topRow - std::min(topRow, page));
}

bool ListPosition::pageDown(uint32_t page) {
    uint64_t row = std::min(uint64_t{topRow} + page, uint64_t{maxTopRow});
    return topRow < maxTopRow && moveTop(static_cast<uint32_t>(row));
}

bool ListPosition::goToEnd() {
    return topRow < maxTopRow && moveTop(maxTopRow);
}

bool ListPosition::goHome() {
    if (hScroll > 0) {
        hScroll = 0;
        return true;
    }
    return moveTop(0);
}

bool ListPosition::nextBlock(const DiffRow* rows) {
    return topRow < maxTopRow && moveTop(nextDifferenceBlock(rows, topRow, maxTopRow));
}

bool ListPosition::previousBlock(const DiffRow* rows) {
    return topRow > 0 && moveTop(previousDifferenceBlock(rows, topRow));
}

bool ListPosition::scrollLeft(bool hexMode) {
    const uint32_t step = hexMode ? 1 : 2;
    if (hScroll < step) return false;
    hScroll -= step;
    return true;
}

bool ListPosition::scrollRight(bool hexMode) {
    if (hexMode || hScroll >= maxHScroll) return false;
    hScroll += 2;
    return true;
}

void ListPosition::enterHexMode(uint32_t hexTopRow) {
    savedTextTopRow = topRow;
    topRow = hexTopRow;
    hScroll &= ~1u;
}

void ListPosition::leaveHexMode() {
    // The text view's bounds come with its list: settle keeps the row within them.
    topRow = savedTextTopRow;
    hScroll &= ~1u;
}

uint32_t nextDifferenceBlock(const DiffRow* rows, uint32_t topRow, uint32_t maxTopRow) {
    if (topRow >= maxTopRow) return topRow;
    // Leave the block the view starts in, then skip the matching rows after it.
    while (topRow < maxTopRow - 1 && rows[topRow].match == 0) ++topRow;
    do ++topRow;
    while (topRow < maxTopRow && rows[topRow].match == 1);
    return topRow;
}

uint32_t previousDifferenceBlock(const DiffRow* rows, uint32_t topRow) {
    if (topRow == 0) return 0;
    while (topRow > 1 && rows[topRow].match == 0) --topRow;
    do --topRow;
    while (topRow > 0 && rows[topRow].match == 1);
    return topRow;
}
