#include "platform/charClass.h"

#include "platform/codePages.h"

#include <array>
#include <clocale>
#include <cwctype>
#include <locale.h>

namespace {

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
