#include "platform/textCells.h"

#include "platform/charClass.h"

namespace {

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The code point at text[at] and the units it takes (a surrogate pair is one code point).
char32_t codePointAt(const char16_t* text, size_t length, size_t at, int& units) {
    char32_t unit = text[at];
    if (isHighSurrogate(unit) && at + 1 < length && isLowSurrogate(text[at + 1])) {
        units = 2;
        return 0x10000 + ((unit - 0xD800) << 10) + (text[at + 1] - 0xDC00);
    }
    units = 1;
    return unit;
}

} // namespace

int CellText::unitCount() const {
    int count = 1;
    while (count < kCellUnits && units[count] != 0) ++count;
    return count;
}

int cellCodePoints(const CellText& cell, char32_t* out) {
    int units = cell.unitCount();
    int count = 0;
    for (int at = 0; at < units;) {
        int taken = 0;
        out[count++] =
            codePointAt(cell.units, static_cast<size_t>(units), static_cast<size_t>(at), taken);
        at += taken;
    }
    return count;
}

TextCluster readCluster(const char16_t* text, size_t length, size_t at) {
    TextCluster cluster{};
    int taken = 0;
    char32_t character = codePointAt(text, length, at, taken);
    for (int k = 0; k < taken; ++k) cluster.cell.units[k] = text[at + k];
    cluster.units = taken;
    cluster.columns = 1;
    CharacterWidth width = characterWidth(character);
    // A stand-in takes no marks: a mark after a control would be drawn on the control's glyph.
    if (width != CharacterWidth::one && width != CharacterWidth::two) return cluster;
    if (width == CharacterWidth::two) cluster.columns = 2;
    int used = taken;
    for (int marks = 0; marks < kCellMarks && at + cluster.units < length; ++marks) {
        size_t next = at + static_cast<size_t>(cluster.units);
        char32_t mark = codePointAt(text, length, next, taken);
        if (characterWidth(mark) != CharacterWidth::mark || used + taken > kCellUnits) break;
        for (int k = 0; k < taken; ++k) cluster.cell.units[used + k] = text[next + k];
        used += taken;
        cluster.units += taken;
    }
    return cluster;
}

void putWideCells(CellText* out, const CellText& cell) {
    out[0] = cell;
    out[0].part = CellPart::wideLeft;
    out[1] = cell;
    out[1].part = CellPart::wideRight;
}

uint64_t textColumns(const char16_t* text, size_t length) {
    uint64_t columns = 0;
    for (size_t at = 0; at < length;) {
        TextCluster cluster = readCluster(text, length, at);
        at += static_cast<size_t>(cluster.units);
        columns += static_cast<uint64_t>(cluster.columns);
    }
    return columns;
}

int layOutText(CellText* out, int capacity, const char16_t* text, size_t length) {
    int used = 0;
    for (size_t at = 0; at < length && used < capacity;) {
        TextCluster cluster = readCluster(text, length, at);
        at += static_cast<size_t>(cluster.units);
        if (cluster.columns == 2 && used + 1 < capacity) {
            putWideCells(out + used, cluster.cell);
            used += 2;
        } else {
            out[used++] = cluster.cell;
        }
    }
    return used;
}
