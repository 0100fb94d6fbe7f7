#pragma once
// The emulated console: one screen buffer of cells (a character and a 16-bit attribute each),
// the cursor, the text attribute and the title. A cell's character is what a terminal shows in
// that column (platform/textCells.h): one UTF-16 unit for most cells; a character beyond U+FFFF
// with both its units, a letter with the combining marks that join it, or one half of a
// character two columns wide. The console layer writes here and never to the terminal; the
// presenter shows the buffer on the terminal before each wait for a key. The window is always
// the whole buffer, so there is only one size.

#include "platform/textCells.h"

#include <cstdint>
#include <string>
#include <vector>

struct ConsoleBuffer {
    int width = 80;
    int height = 25;
    // width * height cells, row by row, made at the first write or read (allocateConsoleCells):
    // until the program draws, its console is only a size, so batch mode, the usage text and
    // the messages never allocate a screen. Empty means blanks in attribute 7.
    std::vector<CellText> characters;
    std::vector<uint16_t> attributes; // console attribute words
    int cursorRow = 0;
    int cursorColumn = 0;
    bool cursorVisible = true;
    uint16_t textAttribute = 7;
    std::u16string title;
    bool drawn = false;       // cells were written: the program shows its full screen
    bool wideCells = false;   // a half of a wide character was written since the last reset
    uint64_t changeCount = 0; // grows with every change, so a presenter can skip idle redraws
};

extern ConsoleBuffer consoleBuffer;

// Largest buffer side; the console reports sizes as signed 16-bit numbers.
inline constexpr int kConsoleSideLimit = 32767;

// Makes the cells of the current size (blanks in attribute 7) if they are not there yet. The cell
// writes and reads do it themselves; whoever reads characters or attributes directly calls it.
void allocateConsoleCells();

// Makes the buffer width x height (each cut to 1..kConsoleSideLimit). Cells inside both the old
// and the new size keep their contents; new cells are blanks in attribute 7.
void resizeConsoleBuffer(int width, int height);

// Forgets everything (and gives the cells back): 80 x 25 blanks, cursor visible at (0, 0),
// attribute 7, no title, not drawn.
void resetConsoleBuffer(int width = 80, int height = 25);

// Cell writes from (row, column). A run that passes the right edge goes on at the start of the
// next row; cells past the last row, and positions outside the buffer, are dropped. The writes
// of characters put one unit in each cell; writeConsoleCells puts text laid out in cells.
void writeConsoleCharacters(const char16_t* characters, int count, int row, int column);
void writeConsoleCells(const CellText* cells, int count, int row, int column);
void writeConsoleAttributes(const uint16_t* attributes, int count, int row, int column);
void fillConsoleCharacter(char16_t character, int count, int row, int column);
void fillConsoleAttribute(uint16_t attribute, int count, int row, int column);

// Reads count cells from (row, column), running on like the writes. Cells outside the buffer
// read as blanks in attribute 0; a cell reads as the first unit of its character.
void readConsoleCharacters(char16_t* out, int count, int row, int column);
void readConsoleAttributes(uint16_t* out, int count, int row, int column);
