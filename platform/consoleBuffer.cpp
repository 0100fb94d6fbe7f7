#include "platform/consoleBuffer.h"

#include <algorithm>
#include <cstring>

// Empty containers only: nothing is allocated before main, and a console that is never drawn on
// never allocates its cells.
ConsoleBuffer consoleBuffer;

namespace {

bool cellsAllocated() {
    return !consoleBuffer.characters.empty();
}

// The cells a run of count from (row, column) may touch: [first, first + length) of the flat
// buffer. Empty when the start lies outside the buffer.
struct CellRange {
    size_t first;
    size_t length;
};

CellRange rangeOf(int count, int row, int column) {
    allocateConsoleCells();
    const ConsoleBuffer& buffer = consoleBuffer;
    if (count <= 0 || row < 0 || column < 0 || row >= buffer.height || column >= buffer.width)
        return {0, 0};
    size_t first = static_cast<size_t>(row) * buffer.width + column;
    size_t total = buffer.characters.size();
    return {first, std::min(static_cast<size_t>(count), total - first)};
}

} // namespace

void allocateConsoleCells() {
    if (cellsAllocated()) return;
    size_t cells = static_cast<size_t>(consoleBuffer.width) * consoleBuffer.height;
    consoleBuffer.characters.assign(cells, u' ');
    consoleBuffer.attributes.assign(cells, 7);
}

void resizeConsoleBuffer(int width, int height) {
    width = std::clamp(width, 1, kConsoleSideLimit);
    height = std::clamp(height, 1, kConsoleSideLimit);
    ConsoleBuffer& buffer = consoleBuffer;
    if (width == buffer.width && height == buffer.height) return;
    if (!cellsAllocated()) { // only a size so far: the cells come with the first drawing
        buffer.width = width;
        buffer.height = height;
        buffer.cursorRow = std::min(buffer.cursorRow, height - 1);
        buffer.cursorColumn = std::min(buffer.cursorColumn, width - 1);
        ++buffer.changeCount;
        return;
    }
    std::vector<CellText> characters(static_cast<size_t>(width) * height, u' ');
    std::vector<uint16_t> attributes(characters.size(), 7);
    int keepRows = std::min(height, buffer.height);
    int keepColumns = std::min(width, buffer.width);
    for (int row = 0; row < keepRows; ++row) {
        size_t from = static_cast<size_t>(row) * buffer.width;
        size_t to = static_cast<size_t>(row) * width;
        std::copy_n(buffer.characters.begin() + from, keepColumns, characters.begin() + to);
        std::copy_n(buffer.attributes.begin() + from, keepColumns, attributes.begin() + to);
    }
    buffer.characters.swap(characters);
    buffer.attributes.swap(attributes);
    buffer.width = width;
    buffer.height = height;
    buffer.cursorRow = std::min(buffer.cursorRow, height - 1);
    buffer.cursorColumn = std::min(buffer.cursorColumn, width - 1);
    ++buffer.changeCount;
}

void resetConsoleBuffer(int width, int height) {
    ConsoleBuffer& buffer = consoleBuffer;
    buffer.width = std::clamp(width, 1, kConsoleSideLimit);
    buffer.height = std::clamp(height, 1, kConsoleSideLimit);
    std::vector<CellText>().swap(buffer.characters); // blank cells again, made when first used
    std::vector<uint16_t>().swap(buffer.attributes);
    buffer.cursorRow = 0;
    buffer.cursorColumn = 0;
    buffer.cursorVisible = true;
    buffer.textAttribute = 7;
    buffer.title.clear();
    buffer.drawn = false;
    buffer.wideCells = false;
    ++buffer.changeCount;
}

void writeConsoleCharacters(const char16_t* characters, int count, int row, int column) {
    CellRange range = rangeOf(count, row, column);
    CellText* to = consoleBuffer.characters.data() + range.first;
    for (size_t index = 0; index < range.length; ++index) {
        // A whole cell of one unit, stored as words rather than field by field.
        std::memset(static_cast<void*>(&to[index]), 0, sizeof to[index]);
        to[index].units[0] = characters[index];
    }
    consoleBuffer.drawn = true;
    ++consoleBuffer.changeCount;
}

void writeConsoleCells(const CellText* cells, int count, int row, int column) {
    CellRange range = rangeOf(count, row, column);
    CellText* to = consoleBuffer.characters.data() + range.first;
    bool wide = false;
    for (size_t index = 0; index < range.length; ++index) {
        to[index] = cells[index];
        wide = wide || cells[index].part != CellPart::whole;
    }
    consoleBuffer.wideCells = consoleBuffer.wideCells || wide;
    consoleBuffer.drawn = true;
    ++consoleBuffer.changeCount;
}

void writeConsoleAttributes(const uint16_t* attributes, int count, int row, int column) {
    CellRange range = rangeOf(count, row, column);
    std::copy_n(attributes, range.length, consoleBuffer.attributes.begin() + range.first);
    consoleBuffer.drawn = true;
    ++consoleBuffer.changeCount;
}

void fillConsoleCharacter(char16_t character, int count, int row, int column) {
    CellRange range = rangeOf(count, row, column);
    std::fill_n(consoleBuffer.characters.begin() + range.first, range.length, character);
    consoleBuffer.drawn = true;
    ++consoleBuffer.changeCount;
}

void fillConsoleAttribute(uint16_t attribute, int count, int row, int column) {
    CellRange range = rangeOf(count, row, column);
    std::fill_n(consoleBuffer.attributes.begin() + range.first, range.length, attribute);
    consoleBuffer.drawn = true;
    ++consoleBuffer.changeCount;
}

void readConsoleCharacters(char16_t* out, int count, int row, int column) {
    if (count <= 0) return;
    CellRange range = rangeOf(count, row, column);
    for (size_t index = 0; index < range.length; ++index)
        out[index] = consoleBuffer.characters[range.first + index].units[0];
    std::fill(out + range.length, out + count, u' ');
}

void readConsoleAttributes(uint16_t* out, int count, int row, int column) {
    if (count <= 0) return;
    CellRange range = rangeOf(count, row, column);
    std::copy_n(consoleBuffer.attributes.begin() + range.first, range.length, out);
    std::fill(out + range.length, out + count, 0);
}
