#include "console/screen.h"

#include "console/colourScheme.h"
#include "platform/codePages.h"
#include "platform/consoleBuffer.h"
#include "platform/terminal.h"

#include <algorithm>

namespace {

// The colour-escape writer's scratch cells: one string's worth, reused by every call.
TChar escapeCharacters[cellBufferCapacity];
uint16_t escapeAttributes[cellBufferCapacity];

// 8-bit text reaches the console through the OEM code page, as the console's own 8-bit calls do.
// Converted in slices so no call allocates.
template <typename Write>
void forOemSlices(const char* characters, int count, Write write) {
    char16_t units[256];
    for (int done = 0; done < count;) {
        int slice = std::min<int>(count - done, static_cast<int>(std::size(units)));
        for (int index = 0; index < slice; ++index)
            units[index] = oemToUnicode(static_cast<uint8_t>(characters[done + index]));
        write(units, slice, done);
        done += slice;
    }
}

// Position of the cell count cells after (row, column), running on into the next rows.
void advance(int& row, int& column, int count) {
    long cell = static_cast<long>(row) * consoleBuffer.width + column + count;
    row = static_cast<int>(cell / consoleBuffer.width);
    column = static_cast<int>(cell % consoleBuffer.width);
}

// 8-bit characters of the OEM code page, converted slice by slice into the UTF-16 cells.
void writeOemCharacters(const char* characters, int count, int row, int column) {
    forOemSlices(characters, count, [&](const char16_t* units, int slice, int done) {
        int sliceRow = row;
        int sliceColumn = column;
        if (row >= 0 && column >= 0 && column < consoleBuffer.width)
            advance(sliceRow, sliceColumn, done);
        writeConsoleCharacters(units, slice, sliceRow, sliceColumn);
    });
}

void writeCharacters(const TChar* characters, int count, int row, int column) {
#if QVD_WIDE
    writeConsoleCharacters(characters, count, row, column);
#else
    writeOemCharacters(characters, count, row, column);
#endif
}

} // namespace

bool openConsoleOutput() {
    int width = 0;
    int height = 0;
    terminalSize(width, height);
    resizeConsoleBuffer(width, height);
    return haveTerminal();
}

int writeCells(const TChar* characters, const uint16_t* attributes, int count, int row,
               int column) {
    writeCharacters(characters, count, row, column);
    writeConsoleAttributes(attributes, count, row, column);
    return 0;
}

#if QVD_WIDE
void writeText(const char16_t* characters, int count, int row, int column, uint16_t attribute) {
    writeConsoleCharacters(characters, count, row, column);
    fillConsoleAttribute(attribute, count, row, column);
}

void writeText(const CellText* cells, int count, int row, int column, uint16_t attribute) {
    writeConsoleCells(cells, count, row, column);
    fillConsoleAttribute(attribute, count, row, column);
}

int writeCells(const CellText* cells, const uint16_t* attributes, int count, int row, int column) {
    writeConsoleCells(cells, count, row, column);
    writeConsoleAttributes(attributes, count, row, column);
    return 0;
}
#endif

void writeNarrowText(const char* characters, int count, int row, int column, uint16_t attribute) {
    writeOemCharacters(characters, count, row, column);
    fillConsoleAttribute(attribute, count, row, column);
}

namespace {

// Gathers the cells of a colour-escape string into the scratch cells: their count, or -1 when
// there are more than cellBufferCapacity.
int gatherEscaped(const TChar* text) {
    uint16_t attribute = colourScheme.base;
    int cells = 0;
    for (const TChar* at = text; *at != 0; ++at) {
        // "%0".."%6" select a scheme entry; a '%' before anything else is shown as it is.
        if (*at == '%' && at[1] >= '0' && at[1] <= '6') {
            attribute = colourEntry(at[1] - '0');
            ++at;
            continue;
        }
        if (cells == cellBufferCapacity) return -1;
        escapeCharacters[cells] = *at;
        escapeAttributes[cells] = attribute;
        ++cells;
    }
    return cells;
}

} // namespace

int writeEscaped(const TChar* text, int row, int column) {
    const int cells = gatherEscaped(text);
    if (cells < 0) return 1;
    writeCells(escapeCharacters, escapeAttributes, cells, row, column);
    return 0;
}

int cellsWithinRow(int column, int count) {
    return std::clamp(consoleBuffer.width - column, 0, std::max(count, 0));
}

int writeEscapedWithinRow(const TChar* text, int row, int column) {
    const int cells = gatherEscaped(text);
    if (cells < 0) return 1;
    writeCells(escapeCharacters, escapeAttributes, cellsWithinRow(column, cells), row, column);
    return 0;
}

void readCharacters(TChar* out, int count, int row, int column) {
#if QVD_WIDE
    readConsoleCharacters(out, count, row, column);
#else
    char16_t units[256];
    for (int done = 0; done < count;) {
        int slice = std::min<int>(count - done, static_cast<int>(std::size(units)));
        int sliceRow = row;
        int sliceColumn = column;
        if (row >= 0 && column >= 0 && column < consoleBuffer.width)
            advance(sliceRow, sliceColumn, done);
        readConsoleCharacters(units, slice, sliceRow, sliceColumn);
        for (int index = 0; index < slice; ++index)
            out[done + index] = static_cast<char>(unicodeToOemOrQuestion(units[index]));
        done += slice;
    }
#endif
}

void readAttributes(uint16_t* out, int count, int row, int column) {
    readConsoleAttributes(out, count, row, column);
}

void setCursorVisible(bool visible) {
    consoleBuffer.cursorVisible = visible;
    ++consoleBuffer.changeCount;
}

void setCursorPosition(int row, int column) {
    consoleBuffer.cursorRow = row;
    consoleBuffer.cursorColumn = column;
    ++consoleBuffer.changeCount;
}

void setConsoleTitle(const TChar* title) {
    std::u16string units;
    for (const TChar* at = title; *at != 0; ++at) {
#if QVD_WIDE
        units += *at;
#else
        units += oemToUnicode(static_cast<uint8_t>(*at));
#endif
    }
    consoleBuffer.title = units;
    ++consoleBuffer.changeCount;
}

void clearScreen(uint16_t attribute) {
    int cells = consoleBuffer.width * consoleBuffer.height;
    fillConsoleCharacter(u' ', cells, 0, 0);
    fillConsoleAttribute(attribute, cells, 0, 0);
    consoleBuffer.textAttribute = attribute;
    consoleBuffer.cursorRow = 0;
    consoleBuffer.cursorColumn = 0;
    setCursorVisible(true);
}

ScreenSize getScreenSize(bool largest) {
    int width = consoleBuffer.width;
    int height = consoleBuffer.height;
    if (largest) terminalSize(width, height);
    return {static_cast<int16_t>(width), static_cast<int16_t>(height)};
}

ScreenSize setScreenSize(ScreenSize size) {
    // The console refuses a size below one cell and never grows past the terminal: the result
    // tells the caller what it really got.
    ScreenSize largest = getScreenSize(true);
    if (size.width >= 1 && size.height >= 1)
        resizeConsoleBuffer(std::min(size.width, largest.width),
                            std::min(size.height, largest.height));
    return getScreenSize(false);
}

int16_t nextScreenWidth(int16_t current) {
    int16_t largest = getScreenSize(true).width;
    if (current < largest) return static_cast<int16_t>(std::min(current + 20, int{largest}));
    return 80;
}

int16_t nextScreenHeight(int16_t current) {
    int16_t largest = getScreenSize(true).height;
    if (current >= largest) return 25;
    int next = current == 25 ? current + 25 : current + 10;
    return static_cast<int16_t>(std::min(next, int{largest}));
}

int16_t tallToggleHeight(int16_t current, int16_t startupHeight) {
    if (current != 25) return 25;
    return startupHeight != 25 ? startupHeight : 50;
}
