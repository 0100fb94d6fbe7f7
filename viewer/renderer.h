#pragma once
// Drawing the aligned rows into the two panes and the position bars in their bottom borders.

#include "console/paneFrames.h"
#include "engine/comparison.h"
#include "engine/diffList.h"
#include "viewer/settings.h"
#include "viewer/viewerFile.h"

#include <cstdint>

// Bits of the redraw level.
inline constexpr int kRedrawNumbers = 1; // the number (or offset) column of every pane row
inline constexpr int kRedrawText = 2;    // the text of every pane row
inline constexpr int kRedrawToggles = 4; // first, the toggle-state letters of the menu
inline constexpr int kRedrawRows = kRedrawNumbers | kRedrawText;

// Draws paneHeight - 2 rows into each pane from row topRow of the comparison's list on (the
// list's all-zero row ends it; rows after it are blank), as far as redrawLevel asks, with the
// files' own line numbers. largestNumber, the largest line number of the whole list, sets the
// width of the number column (computePaneColumns). The rows are drawn by the view's settings, in
// the files' encodings. Allocates nothing.
void renderPanes(const PaneLayout& layout, const Comparison& comparison, uint32_t topRow,
                 uint32_t hScroll, int redrawLevel, uint32_t hexRowBytes, uint32_t largestNumber,
                 const Settings& settings, const FilePair& files);

// One bar of length cells at (y, x) in colour scheme entry colourIndex, its double-lined thumb
// showing page of total positions from top.
void drawScrollIndicator(uint32_t x, uint32_t y, uint32_t length, uint32_t colourIndex,
                         uint32_t total, uint32_t page, uint32_t top);
