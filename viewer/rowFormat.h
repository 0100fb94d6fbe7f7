#pragma once
// The pure parts of drawing a pane row: text expansion with tabs and white space compression,
// the two hex dump row formats, the scroll bar picture and the column split of a pane. None of
// them touches the console, so each can be checked on its own.

#include "platform/build.h"
#include "platform/textCells.h"
#include "viewer/settings.h"

#include <cstdint>

// Units of the text a row is expanded from that are to stand out (a text the search found), and
// the cells of the row that show them.
struct MarkedUnits {
    int64_t from = 0;  // the first unit, counted from the text passed in
    int64_t to = 0;    // one past the last
    int firstCell = 0; // set by the expansion: the cells [firstCell, endCell) show them; none
    int endCell = 0;   // when they lie outside the row
};

// One text row of exactly width cells (no terminator) from 8-bit text[0..length), a byte a cell:
// tabs expand to the next multiple of tabWidth counted from the first cell of the row; with
// compress set a run of blanks and tabs shows as its first character only. A length of 0 or
// below gives blanks. With mark, says which cells show its units. Returns out.
uint8_t* expandTextRow(uint8_t* out, int width, const uint8_t* text, int64_t length, int tabWidth,
                       bool compress, MarkedUnits* mark = nullptr);

// The same for UTF-16 text laid out as the terminal shows it (platform/textCells.h), where every
// count is in columns: the row starts scrollColumns columns into the line, skipping whole
// characters by their columns (a tab by one), and the tab stops count columns from the first
// cell of the row. A character two columns wide that the scroll or the right edge would cut in
// half shows as one whole cell (a stand-in). With mark (units of text), says which cells show
// its units. Returns out.
CellText* expandTextRow(CellText* out, int width, const char16_t* text, int64_t length,
                        uint32_t scrollColumns, int tabWidth, bool compress,
                        MarkedUnits* mark = nullptr);

// Where a screen row of width cells that shows 8-bit text from unit `from` ends while rows wrap:
// one past the last unit that expandTextRow(text + from, ...) would show whole in the row. A row
// takes at least one unit, so that every line ends; blanks that compression drops at its end go
// with it, so that the next row never starts with one.
uint32_t wrapRowEnd(const uint8_t* text, uint32_t length, uint32_t from, int width, int tabWidth,
                    bool compress);

// The same for UTF-16 text in its columns: a character two columns wide that the edge would cut
// starts the next row instead (but for a row one cell wide, which holds its stand-in).
uint32_t wrapRowEnd(const char16_t* text, uint32_t length, uint32_t from, int width, int tabWidth,
                    bool compress);

// One hex row of width cells from count bytes: N = (width - 1) / 4 pairs of upper-case digits,
// each followed by a blank, one more blank, then the N bytes themselves. Cells past count stay
// blank, so a short last row keeps the character column in place. Returns out.
uint8_t* formatHexRow(uint8_t* out, int width, const uint8_t* data, uint32_t count);

// The same for 16-bit units: N = (width - 1) / 6 groups of four digits in file byte order (low
// byte first), each followed by a blank, one more blank, then the N units. Returns out.
char16_t* formatHexRowWide(char16_t* out, int width, const uint8_t* units, uint32_t count);

// The number column of one side of a row: exactly width cells (no terminator) of the missing-side
// marker for number 0; in hex mode of the offset of row `number` (counted from 1) of
// hexRowBytes-byte rows, in upper-case hex digits zero-padded to width - 1 and 64 bits wide; else
// of the line number, right-aligned before a blank (four digits and a blank in a right-hand
// column of five cells or fewer). A number longer than the column loses its tail (a five-digit
// number its blank). Returns out.
char* formatNumberColumn(char* out, int width, uint32_t number, bool right, uint32_t hexRowBytes,
                         bool hexMode);

// Where the thumb of a scroll bar of length cells lies: the view shows page of total positions
// starting at top. An empty range (total 0) gives a thumb over the whole bar.
struct ScrollThumb {
    uint32_t start;
    uint32_t length;
};
ScrollThumb scrollThumb(uint32_t length, uint32_t total, uint32_t page, uint32_t top);

// Bytes per hex row for a pane of paneWidth columns: a multiple of 4 (panes under 80 columns)
// or 8 that fits beside the offset column. Panes too narrow for four bytes still get at least
// one byte per row (two when a side is UTF-16), so the row width is never 0.
uint32_t computeHexRowBytes(int paneWidth, int offsetDigits, uint32_t encodingFlags);

// The split of a pane into its number (or offset) column and its text area.
struct PaneColumns {
    int numberWidth; // numW: 0 when line numbers are hidden in text mode
    int textWidth;   // textW: never negative
};
// Line numbers take five columns, four digits and a blank (a fifth digit takes the blank), unless
// largestNumber, the largest line number of the list, has more than five digits: then the column
// holds all of them and a blank, so that no number is cut or runs into the text. In hex mode the
// column holds offsets of offsetDigits digits; without line numbers it is empty.
PaneColumns computePaneColumns(int paneWidth, uint32_t hexRowBytes, uint32_t largestNumber,
                               const Settings& settings, int32_t offsetDigits);
