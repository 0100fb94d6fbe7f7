#pragma once
// Drawing the aligned rows into the two panes and the position bars in their bottom borders.

#include "console/paneFrames.h"
#include "engine/comparison.h"
#include "engine/diffList.h"
#include "viewer/screenRows.h"
#include "viewer/settings.h"
#include "viewer/viewerFile.h"

#include <cstdint>

// Bits of the redraw level.
inline constexpr int kRedrawNumbers = 1; // the number (or offset) column of every pane row
inline constexpr int kRedrawText = 2;    // the text of every pane row
inline constexpr int kRedrawToggles = 4; // first, the toggle-state letters of the menu
inline constexpr int kRedrawRows = kRedrawNumbers | kRedrawText;

// A text the search found: it stands out wherever its row is drawn.
struct FoundText {
    uint32_t row;  // the row of the list
    int side;      // 0 the left line, 1 the right one
    uint32_t from; // the units of that line that show the text (bytes of 8-bit text)
    uint32_t to;   // one past the last
};

// What the panes show: the rows of a comparison from topRow on (from its screen row topPart while
// wrapping) as screen lays them out, scrolled hScroll characters to the right, by the view's
// settings and in the files' encodings. largestNumber, the largest line number of the whole list,
// sets the width of the number column (computePaneColumns).
struct PaneRows {
    const Comparison& comparison;
    const ScreenRows& screen;
    uint32_t topRow;
    uint32_t topPart;
    uint32_t hScroll;
    uint32_t hexRowBytes;
    uint32_t largestNumber;
    const Settings& settings;
    const FilePair& files;
    const FoundText* found; // null: nothing found to show
};

// Draws paneHeight - 2 rows into each pane (the list's all-zero row ends them; rows after it are
// blank), as far as redrawLevel asks, with the files' own line numbers. A fold is one row across
// each pane that counts the equal lines it hides; the later screen rows of a wrapped line carry a
// continuation mark in the number column. Allocates nothing.
void renderPanes(const PaneLayout& layout, const PaneRows& shown, int redrawLevel);

// One bar of length cells at (y, x) in colour scheme entry colourIndex, its double-lined thumb
// showing page of total positions from top.
void drawScrollIndicator(uint32_t x, uint32_t y, uint32_t length, uint32_t colourIndex,
                         uint32_t total, uint32_t page, uint32_t top);
