#include "platform/charClass.h"

#include "platform/codePages.h"

#include <algorithm>
#include <array>
#include <clocale>
#include <cwchar>
#include <cwctype>
#include <locale.h>

namespace {

struct CharacterRange {
    char32_t first;
    char32_t last;
};

// Characters shown as stand-ins whatever their width in the C library. The format characters and
// the default-ignorable ones of Unicode 14 draw nothing, so a difference in them would be
// invisible, and some terminals give them a column where others give none; a variation selector
// makes some terminals draw the character before it two columns wide. U+3248-U+324F and the
// Yijing hexagrams U+4DC0-U+4DFF are two columns in the C library but one in terminals that go by
// the East Asian width alone.
constexpr CharacterRange kStandIns[] = {
    {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x0600, 0x0605},   {0x061C, 0x061C},
    {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},
    {0x115F, 0x1160},   {0x17B4, 0x17B5},   {0x180B, 0x180F},   {0x200B, 0x200F},
    {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},   {0x3164, 0x3164},
    {0x3248, 0x324F},   {0x4DC0, 0x4DFF},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},
    {0xFFA0, 0xFFA0},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x13438}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F}, {0xE0100, 0xE01EF},
};

bool isListedStandIn(char32_t character) {
    const auto* range = std::lower_bound(
        std::begin(kStandIns), std::end(kStandIns), character,
        [](const CharacterRange& entry, char32_t value) { return entry.last < value; });
    return range != std::end(kStandIns) && range->first <= character;
}

CharacterWidth askedWidth(char32_t character) {
    if (character < 0x20 || (character >= 0x7F && character < 0xA0)) return CharacterWidth::standIn;
    if ((character >= 0xD800 && character <= 0xDFFF) || isListedStandIn(character))
        return CharacterWidth::standIn;
    // C.UTF-8 is built into the C library; without it nothing beyond ASCII is trusted.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (utf8 == locale_t{}) return character < 0x7F ? CharacterWidth::one : CharacterWidth::standIn;
    locale_t previous = uselocale(utf8);
    int columns = wcwidth(static_cast<wchar_t>(character));
    uselocale(previous);
    switch (columns) {
    case 0:
        return CharacterWidth::mark;
    case 1:
        return CharacterWidth::one;
    case 2:
        return CharacterWidth::two;
    default:
        return CharacterWidth::standIn;
    }
}

// The width of every character asked about so far, plus one (0: not asked yet). Switching the
// locale for wcwidth costs more than drawing a cell, and the answer never changes.
uint8_t knownWidths[0x110000];

struct LowerTables {
    std::array<char16_t, 65536> units;
    std::array<uint8_t, 256> ansiBytes;
    LowerTables() {
        // C.UTF-8 is built into the C library, so the mapping never depends on the user's
        // locale; should it be missing, the plain "C" locale still lowers ASCII.
        locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        if (!locale) locale = newlocale(LC_CTYPE_MASK, "C", locale_t{});
        for (uint32_t unit = 0; unit < 65536; ++unit) {
            bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
            wint_t lower = surrogate || !locale ? unit : towlower_l(unit, locale);
            units[unit] =
                lower <= 0xFFFF ? static_cast<char16_t>(lower) : static_cast<char16_t>(unit);
        }
        if (locale) freelocale(locale);
        for (int byte = 0; byte < 256; ++byte) {
            char16_t lower = units[ansiToUnicode(static_cast<uint8_t>(byte))];
            int back = unicodeToAnsi(lower);
            ansiBytes[byte] = back < 0 ? static_cast<uint8_t>(byte) : static_cast<uint8_t>(back);
        }
    }
};

const LowerTables& lowerTables() {
    static const LowerTables tables;
    return tables;
}

} // namespace

bool isWhiteSpace16(char16_t unit) {
    if (unit < 0x100) return unit == 0x20 || (unit >= 0x09 && unit <= 0x0D);
    switch (unit) {
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return (unit >= 0x2000 && unit <= 0x2006) || (unit >= 0x2008 && unit <= 0x200A);
    }
}

char16_t lowerUnit(char16_t unit) {
    return lowerTables().units[unit];
}

uint8_t lowerAnsiByte(uint8_t byte) {
    return lowerTables().ansiBytes[byte];
}

CharacterWidth characterWidth(char32_t character) {
    if (character > 0x10FFFF) return CharacterWidth::standIn;
    uint8_t& known = knownWidths[character];
    if (known == 0) known = static_cast<uint8_t>(static_cast<int>(askedWidth(character)) + 1);
    return static_cast<CharacterWidth>(known - 1);
}
