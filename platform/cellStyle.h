#pragma once
// How one console cell looks on a terminal: its colours under the terminal's colour count, and
// the glyph that takes exactly one column in its place. Pure functions, so the presenter's
// choices can be tested without a terminal.

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

// The character to put on the terminal for a cell, always exactly one column wide: controls,
// surrogates, wide, combining and zero-width characters become one-column stand-ins. With
// unicodeTerminal false (a terminal that is not UTF-8) the result is plain ASCII.
char32_t displayCharacter(char16_t unit, bool unicodeTerminal);
