#pragma once
// How one console cell looks on a terminal: its colours under the terminal's colour count, and
// the glyph that takes exactly its columns in its place. Pure functions, so the presenter's
// choices can be tested without a terminal.

#include "platform/textCells.h"

#include <cstdint>

// A console colour (bit 0 blue, bit 1 green, bit 2 red, bit 3 intensity) as the terminal's colour
// number (bit 0 red, bit 2 blue, 8-15 the bright ones).
int terminalColour(int consoleColour);

struct CellLook {
    int foreground; // terminal colour number, -1 without colour
    int background; // terminal colour number, -1 without colour
    bool bold;
    bool reverse;
    bool underline;
    friend bool operator==(const CellLook&, const CellLook&) = default;
};

// colours: the terminal's colour count (0 for none). On fewer than 16 colours a bright foreground
// becomes bold and a bright background its plain colour. Without colour a bright foreground is
// bold and every background other than commonBackground (the console colour most cells have
// behind them) is shown in reverse video, so differing text still stands out.
CellLook cellLook(uint16_t attribute, int colours, int commonBackground);

// What the terminal gets for the cell at column of a row of width cells.
struct CellGlyph {
    char32_t characters[kCellMarks + 2]; // a character and the marks that join it, 0-terminated
    int columns; // 1; 2: one character drawn over this cell and the next; 0: the cell before
                 // covers this one, nothing is drawn
};

// A cell's character is drawn as itself only where it takes exactly its cells: one column for a
// whole cell, two for a wide character's left half followed by its right half. Everything else
// gets a one-column stand-in: controls (the console's own glyphs for code page 437's control
// bytes), unpaired surrogates, invisible and unknown characters, a wide character cut to one
// cell, a half without its other half. Marks are drawn only on a character drawn as itself. With
// unicodeTerminal false (a terminal that is not UTF-8) every cell is one column of plain ASCII.
CellGlyph cellGlyph(const CellText* row, int column, int width, bool unicodeTerminal);
