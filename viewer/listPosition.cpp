#include "viewer/listPosition.h"

#include <algorithm>

void ListPosition::settle(const ScreenRows& screen) {
    const ScreenPlace last = screen.lastTop(kRowsWithoutScrolling);
    maxTopRow = last.row;
    maxTopPart = last.part;
    ScreenPlace place{screen.startOf(topRow), 0};
    if (place.row == topRow) place.part = std::min(topPart, screen.height(topRow) - 1);
    place = std::min(place, last);
    topRow = place.row;
    topPart = place.part;
}

bool ListPosition::moveTop(ScreenPlace place) {
    if (place == top()) return false;
    topRow = place.row;
    topPart = place.part;
    return true;
}

bool ListPosition::rowUp(const ScreenRows& screen) {
    return moveTop(screen.advance(top(), -1));
}

bool ListPosition::rowDown(const ScreenRows& screen) {
    return top() < maxTop() && moveTop(std::min(screen.advance(top(), 1), maxTop()));
}

bool ListPosition::pageUp(const ScreenRows& screen, uint32_t page) {
    return moveTop(screen.advance(top(), -int64_t{page}));
}

bool ListPosition::pageDown(const ScreenRows& screen, uint32_t page) {
    return top() < maxTop() && moveTop(std::min(screen.advance(top(), page), maxTop()));
}

bool ListPosition::goToEnd() {
    return top() < maxTop() && moveTop(maxTop());
}

bool ListPosition::goHome() {
    if (hScroll > 0) {
        hScroll = 0;
        return true;
    }
    return moveTop({});
}

bool ListPosition::nextBlock(const ScreenRows& screen) {
    if (top() >= maxTop()) return false;
    // The blocks are found among the list's rows; a differing row is never folded away.
    const uint32_t row = nextDifferenceBlock(screen.rows, topRow, maxTopRow);
    return moveTop(row < maxTopRow ? ScreenPlace{screen.startOf(row), 0} : maxTop());
}

bool ListPosition::previousBlock(const ScreenRows& screen) {
    if (top() == ScreenPlace{}) return false;
    if (topRow == 0) return moveTop({});
    return moveTop({screen.startOf(previousDifferenceBlock(screen.rows, topRow)), 0});
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
