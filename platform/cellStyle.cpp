#include "platform/cellStyle.h"

#include "platform/charClass.h"

#include <algorithm>
#include <iterator>

namespace {

// What the console itself shows for the control bytes of code page 437.
constexpr char16_t kControlGlyphs[32] = {
    u' ',      u'\u263A', u'\u263B', u'\u2665', u'\u2666', u'\u2663', u'\u2660', u'\u2022',
    u'\u25D8', u'\u25CB', u'\u25D9', u'\u2642', u'\u2640', u'\u266A', u'\u266B', u'\u263C',
    u'\u25BA', u'\u25C4', u'\u2195', u'\u203C', u'\u00B6', u'\u00A7', u'\u25AC', u'\u21A8',
    u'\u2191', u'\u2193', u'\u2192', u'\u2190', u'\u221F', u'\u2194', u'\u25B2', u'\u25BC',
};

constexpr char32_t kStandIn = U'\uFFFD';

// ASCII for a terminal that cannot show more: line drawing as lines, the rest as '?'.
char32_t asciiFor(char32_t character) {
    if (character < 0x7F) return character;
    if (character >= 0x2500 && character <= 0x257F) {
        static constexpr char16_t kHorizontal[] = u"\u2500\u2501\u2550\u2504\u2505\u2508\u2509";
        static constexpr char16_t kVertical[] = u"\u2502\u2503\u2551\u2506\u2507\u250A\u250B";
        for (char16_t unit : kHorizontal)
            if (unit == character) return U'-';
        for (char16_t unit : kVertical)
            if (unit == character) return U'|';
        return U'+';
    }
    if (character >= 0x2580 && character <= 0x259F) return U'#';
    if (character == 0x25B2 || character == 0x2191) return U'^';
    if (character == 0x25BC || character == 0x2193) return U'v';
    if (character == 0x00A0) return U' ';
    // The dots of a fold's row and the mark of a wrapped line's later rows.
    if (character == 0x00B7) return U'.';
    if (character == 0x21AA) return U'+';
    return U'?';
}

} // namespace

int terminalColour(int consoleColour) {
    return (consoleColour & 0x0A) | ((consoleColour & 1) << 2) | ((consoleColour & 4) >> 2);
}

CellLook cellLook(uint16_t attribute, int colours, int commonBackground) {
    int foreground = attribute & 0x0F;
    int background = (attribute >> 4) & 0x0F;
    CellLook look{-1, -1, false, (attribute & 0x4000) != 0, (attribute & 0x8000) != 0};
    if (colours >= 16) {
        look.foreground = terminalColour(foreground);
        look.background = terminalColour(background);
    } else if (colours > 0) {
        look.foreground = terminalColour(foreground & 7);
        look.background = terminalColour(background & 7);
        look.bold = (foreground & 8) != 0;
    } else {
        look.bold = (foreground & 8) != 0;
        if (background != commonBackground) look.reverse = !look.reverse;
    }
    return look;
}

CellGlyph cellGlyph(const CellText* row, int column, int width, bool unicodeTerminal) {
    const CellText& cell = row[column];
    // Most cells of most screens: a printable ASCII character alone.
    if (cell.units[0] >= 0x20 && cell.units[0] < 0x7F && cell.units[1] == 0 &&
        cell.part == CellPart::whole)
        return CellGlyph{{cell.units[0]}, 1};
    char32_t characters[kCellUnits];
    int count = cellCodePoints(cell, characters);
    CharacterWidth characterColumns = characterWidth(characters[0]);
    auto isHalf = [&](int other, CellPart part) {
        return other >= 0 && other < width && row[other].part == part &&
               std::equal(std::begin(row[other].units), std::end(row[other].units),
                          std::begin(cell.units));
    };
    CellGlyph glyph{{}, 1};
    bool drawn = false;
    switch (cell.part) {
    case CellPart::whole:
        drawn = characterColumns == CharacterWidth::one;
        break;
    case CellPart::wideLeft:
        drawn = characterColumns == CharacterWidth::two && isHalf(column + 1, CellPart::wideRight);
        break;
    case CellPart::wideRight:
        if (characterColumns == CharacterWidth::two && isHalf(column - 1, CellPart::wideLeft)) {
            if (unicodeTerminal)
                glyph.columns = 0;
            else
                glyph.characters[0] = U'?';
            return glyph;
        }
        break;
    }
    if (!drawn) {
        char32_t first = characters[0];
        char32_t shown = kStandIn;
        if (first < 0x20)
            shown = kControlGlyphs[first];
        else if (first == 0x7F)
            shown = U'\u2302';
        glyph.characters[0] = unicodeTerminal ? shown : asciiFor(shown);
        return glyph;
    }
    if (!unicodeTerminal) {
        glyph.characters[0] = asciiFor(characters[0]);
        return glyph;
    }
    glyph.characters[0] = characters[0];
    int shown = 1;
    for (int index = 1; index < count && shown <= kCellMarks; ++index) {
        if (characterWidth(characters[index]) != CharacterWidth::mark) break;
        glyph.characters[shown++] = characters[index];
    }
    glyph.columns = cell.part == CellPart::wideLeft ? 2 : 1;
    return glyph;
}
