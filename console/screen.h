#pragma once
// The console screen layer: every full-screen picture reaches the screen through these calls.
// Positions are (row, column) from (0, 0) at the top left. A write that runs past the right edge
// continues at the start of the next row; cells beyond the buffer are dropped. Display strings
// hold colour escapes: "%0" to "%6" select the colour scheme entry for the text that follows.

#include "platform/build.h"
#include "platform/textCells.h"

#include <cstdint>

// A console size in cells (signed 16-bit each, as the console reports them).
struct ScreenSize {
    int16_t width;
    int16_t height;
    friend bool operator==(ScreenSize, ScreenSize) = default;
};

// Most cells one colour-escape string may produce; markers do not count.
inline constexpr int cellBufferCapacity = 7998;

// Takes the console for all other calls: the emulated console becomes the terminal's size. True
// when a terminal is there (haveTerminal in platform/terminal.h).
bool openConsoleOutput();

// count characters and count attributes from (row, column). Returns 0.
int writeCells(const TChar* characters, const uint16_t* attributes, int count, int row, int column);

#if QVD_WIDE
// count UTF-16 characters from (row, column), all in one attribute.
void writeText(const char16_t* characters, int count, int row, int column, uint16_t attribute);

// count cells of text laid out as the terminal shows it (platform/textCells.h) from (row,
// column): all in one attribute, or each in its own.
void writeText(const CellText* cells, int count, int row, int column, uint16_t attribute);
int writeCells(const CellText* cells, const uint16_t* attributes, int count, int row, int column);
#endif

// count 8-bit characters of the OEM code page from (row, column), all in one attribute.
void writeNarrowText(const char* characters, int count, int row, int column, uint16_t attribute);

// count characters of the build's own text (UTF-16 in the wide build, the OEM code page in the
// narrow one) from (row, column), all in one attribute.
inline void writeBuildText(const TChar* characters, int count, int row, int column,
                           uint16_t attribute) {
#if QVD_WIDE
    writeText(characters, count, row, column, attribute);
#else
    writeNarrowText(characters, count, row, column, attribute);
#endif
}

// The colour-escape writer. Returns 0 when written, 1 (and writes nothing) when the string holds
// more than cellBufferCapacity visible characters.
int writeEscaped(const TChar* text, int row, int column);

// Of count cells written from column, those that lie on the screen's row: pictures of a fixed
// width (the help pages, the colour setup) are cut at the screen's right edge instead of running
// on into the next row.
[[nodiscard]] int cellsWithinRow(int column, int count);

// writeEscaped, cut at the screen's right edge.
int writeEscapedWithinRow(const TChar* text, int row, int column);

// Reads count characters or attributes back from (row, column).
void readCharacters(TChar* out, int count, int row, int column);
void readAttributes(uint16_t* out, int count, int row, int column);

void setCursorVisible(bool visible);

// Puts the cursor at (row, column); it shows there while it is visible.
void setCursorPosition(int row, int column);

// The console title (moxaw: OEM text). The terminal shows it, cleaned of control characters,
// only where it has a title that can be given back at exit.
void setConsoleTitle(const TChar* title);

// Blanks the whole buffer in attribute, makes it the text attribute, cursor visible at (0, 0).
void clearScreen(uint16_t attribute);

// largest: the largest window possible (the terminal's size); else the current window size.
ScreenSize getScreenSize(bool largest);

// Makes window and buffer the given size (cut to the largest); returns the size in force.
ScreenSize setScreenSize(ScreenSize size);

// Screen-size step rules of the viewer's Alt-F8, Alt-F9 and T keys.
int16_t nextScreenWidth(int16_t current);
int16_t nextScreenHeight(int16_t current);
int16_t tallToggleHeight(int16_t current, int16_t startupHeight);
