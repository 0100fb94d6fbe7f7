#pragma once
// The two framed panes of the comparison view: their placement on the screen, the box frames
// with the file names in the top borders, and the shortening of names that do not fit. The
// viewer lays its panes out with drawPaneFrames; the colour setup screen draws its sample panes
// with it too.

#include "platform/build.h"
#include "platform/textCells.h"

#include <cstdint>

struct PaneLayout {
    int32_t leftX;      // column of the left (or upper) pane's left border
    int32_t leftY;      // row of the left pane's top border
    int32_t rightX;     // column of the right (or lower) pane's left border
    int32_t rightY;     // row of the right pane's top border
    int32_t paneHeight; // rows of one pane, both border rows included
    int32_t paneWidth;  // columns of one pane, its left border included
    friend bool operator==(const PaneLayout&, const PaneLayout&) = default;
};

// Widest screen row the frame and row buffers hold: every width a 16-bit console size can give,
// so screens wider than 255 columns are drawn whole instead of being cut or overrunning.
inline constexpr int kRowCapacity = 32768;

// Longest file name field: a shortened name takes at most kNameFieldLimit - 1 columns.
inline constexpr int kNameFieldLimit = 132;

// Room shortenFileName needs in its output, terminator included: in moxa a column may hold a
// character with its combining marks, up to a whole cell's units.
inline constexpr int kShortNameCapacity = kNameFieldLimit * (kWideBuild ? kCellUnits : 1);

// Where the panes go on a screen of width x height cells: one above the other
// (horizontalSplit 1) or side by side (0), above the three menu rows while the menu is shown.
// Never negative, however small the screen.
PaneLayout computePaneLayout(int width, int height, int horizontalSplit, bool menuShown);

// Clears the screen in the frame colour, hides the cursor, draws both frames (the border between
// stacked panes included) and the two names in the top borders, and returns the layout.
PaneLayout drawPaneFrames(int width, int height, int horizontalSplit, bool menuShown,
                          const TChar* name1, const TChar* name2);

// Writes name at (row, column) in attribute, shortened by shortenFileName to a field of maxLength
// cells and laid out as the terminal shows it; nothing past the screen's right edge.
void writeShortName(const TChar* name, int maxLength, int row, int column, uint16_t attribute);

// Writes into out (kShortNameCapacity units) the name for a field of maxLength cells (at most
// kNameFieldLimit): the whole name when it takes fewer than maxLength columns, else as many of its
// first characters as fit in maxLength / 4 columns, "..." and as many of its last characters as
// fit in 3 * maxLength / 4 - 4 columns. Columns are counted as the terminal shows the name
// (platform/textCells.h; in moxaw a byte is a column). A field of fewer than five cells gets an
// empty name. Returns the number of units written.
int shortenFileName(TChar* out, const TChar* name, int maxLength);
