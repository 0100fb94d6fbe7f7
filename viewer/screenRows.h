#pragma once
// How the rows of the aligned list reach the screen. Folding hides the middle of each long run of
// equal rows behind one row of its own, so that the list rows become shown rows; wrapping gives a
// shown row as many screen rows as its longer side needs. The position, the keys and the renderer
// all count through here, so that they agree on where every row stands.

#include "engine/diffList.h"

#include <cstdint>
#include <vector>

// One run of equal rows shown as a single row: the list rows [first, end) are out of sight.
struct Fold {
    uint32_t first;
    uint32_t end;
    uint32_t hiddenBefore; // list rows the folds before this one take out of sight
};

// The folds of a list, in list order. Two folds never touch: a differing row stands between them.
struct FoldList {
    std::vector<Fold> folds;
};

// Folds every run of equal rows (match 1) longer than 2 * context + 1 rows, keeping context rows
// at each of its ends in sight. One pass over the list; false when memory ran out (the list is
// then empty).
[[nodiscard]] bool buildFolds(FoldList& list, const DiffRow* rows, uint32_t rowCount,
                              uint32_t context);

// Opens the fold that hides listRow, so that its rows are shown one by one: true when there was
// one to open.
bool openFold(FoldList& list, uint32_t listRow);

// How the text of a row is laid out over screen rows while wrapping: the width of a pane's text
// area and what decides the cells a line takes there. A width of 0 means no wrapping.
struct WrapRules {
    int width = 0;
    int tabWidth = 4;
    bool compress = false; // runs of white space show as their first character
    bool wideText = false; // the texts are UTF-16 (moxa decoded a file), else 8-bit
};

// A place on the screen's scale: a list row that starts a shown row (for a fold, its first hidden
// row) and which of that row's screen rows. Places compare in list order.
struct ScreenPlace {
    uint32_t row = 0;
    uint32_t part = 0; // 0 unless wrapping
    friend auto operator<=>(const ScreenPlace&, const ScreenPlace&) = default;
};

// A list seen through its folds and its wrapping. Holds nothing of its own: made afresh for each
// use from the view's list, folds and settings.
struct ScreenRows {
    const DiffRow* rows = nullptr;
    uint32_t rowCount = 0;
    const FoldList* folds = nullptr; // null while nothing is folded
    WrapRules wrap{};

    [[nodiscard]] uint32_t shownCount() const;
    // The index among the shown rows of the one that holds listRow (a fold's row for a row it
    // hides); listRow >= rowCount gives shownCount().
    [[nodiscard]] uint32_t shownOf(uint32_t listRow) const;
    // The list row that starts the shown row of that index; shown >= shownCount() gives rowCount.
    [[nodiscard]] uint32_t listOf(uint32_t shown) const;
    // The list row that starts the shown row holding listRow.
    [[nodiscard]] uint32_t startOf(uint32_t listRow) const { return listOf(shownOf(listRow)); }
    // The fold whose row starts at listRow, or null when that row is a row of the list.
    [[nodiscard]] const Fold* foldAt(uint32_t listRow) const;
    // The list row that starts the shown row after (before) the one starting at listRow.
    [[nodiscard]] uint32_t nextShown(uint32_t listRow) const;
    [[nodiscard]] uint32_t previousShown(uint32_t listRow) const;

    // Screen rows the shown row starting at listRow takes: 1 but for a wrapped row wider than
    // its pane.
    [[nodiscard]] uint32_t height(uint32_t listRow) const;
    // The place `count` screen rows after (before, when negative) from, stopping at the first
    // row of the list and at the end, {rowCount, 0}.
    [[nodiscard]] ScreenPlace advance(ScreenPlace from, int64_t count) const;
    // The top place that keeps the last `keep` screen rows of the list in sight, or the first
    // row when the list is no longer.
    [[nodiscard]] ScreenPlace lastTop(uint32_t keep) const;
    // The screen row (part) of the row at listRow on which unit `unit` of the side (0 left,
    // 1 right) is shown; 0 while not wrapping.
    [[nodiscard]] uint32_t partOfUnit(uint32_t listRow, int side, uint32_t unit) const;
};

// The screen rows one side's line takes under rules: 1 for an empty line or without wrapping.
// length counts units (bytes of 8-bit text, 16-bit units of UTF-16 text).
[[nodiscard]] uint32_t wrappedHeight(const uint8_t* text, uint32_t length, const WrapRules& rules);

// Where the screen row of a wrapped line that starts at unit `from` ends: one past its last unit
// (rowFormat.h's wrapRowEnd for the text's kind).
[[nodiscard]] uint32_t wrappedRowEnd(const uint8_t* text, uint32_t length, uint32_t from,
                                     const WrapRules& rules);
