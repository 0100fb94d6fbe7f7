#include "platform/cellStyle.h"

#include <algorithm>
#include <array>
#include <clocale>
#include <cwchar>
#include <locale.h>

namespace {

// What the console itself shows for the control bytes of code page 437.
constexpr char16_t kControlGlyphs[32] = {
    u' ',      u'\u263A', u'\u263B', u'\u2665', u'\u2666', u'\u2663', u'\u2660', u'\u2022',
    u'\u25D8', u'\u25CB', u'\u25D9', u'\u2642', u'\u2640', u'\u266A', u'\u266B', u'\u263C',
    u'\u25BA', u'\u25C4', u'\u2195', u'\u203C', u'\u00B6', u'\u00A7', u'\u25AC', u'\u21A8',
    u'\u2191', u'\u2193', u'\u2192', u'\u2190', u'\u221F', u'\u2194', u'\u25B2', u'\u25BC',
};

constexpr char32_t kStandIn = U'\uFFFD';

// Column count of a character under C.UTF-8, whatever locale the user runs: the width must not
// depend on the locale, only on the character. Switching the locale for wcwidth costs more than
// drawing the cell, and the answer for a unit never changes, so each is asked once.
int columnsOf(char16_t unit) {
    static constexpr int8_t kNotAsked = -2;
    static std::array<int8_t, 65536> known = [] {
        std::array<int8_t, 65536> table;
        table.fill(kNotAsked);
        return table;
    }();
    int8_t& columns = known[unit];
    if (columns != kNotAsked) return columns;
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 == static_cast<locale_t>(nullptr)) {
        columns = unit < 0x7F ? 1 : -1;
    } else {
        locale_t previous = uselocale(utf8);
        columns =
            static_cast<int8_t>(std::max(-1, std::min(2, wcwidth(static_cast<wchar_t>(unit)))));
        uselocale(previous);
    }
    return columns;
}

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

char32_t displayCharacter(char16_t unit, bool unicodeTerminal) {
    char32_t shown;
    if (unit < 0x20) {
        shown = kControlGlyphs[unit];
    } else if (unit == 0x7F) {
        shown = U'\u2302';
    } else if (unit < 0x7F) {
        return unit;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
        shown = kStandIn; // one unit per cell: a surrogate is never a whole character here
    } else {
        shown = columnsOf(unit) == 1 ? unit : kStandIn;
    }
    return unicodeTerminal ? shown : asciiFor(shown);
}
