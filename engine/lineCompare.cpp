#include "engine/lineCompare.h"

#include "engine/unitText.h"
#include "platform/charClass.h"

#include <array>
#include <cstring>

namespace {

// The lower-case mapping of every byte, looked up once: moxa lowers a byte as the Unicode
// character of the same number, moxaw through the ANSI code page.
struct ByteLowering {
    std::array<char16_t, 256> lower;
    ByteLowering() {
        for (int byte = 0; byte < 256; ++byte) {
            if constexpr (kWideBuild)
                lower[byte] = lowerUnit(static_cast<char16_t>(byte));
            else
                lower[byte] = lowerAnsiByte(static_cast<uint8_t>(byte));
        }
    }
};

const ByteLowering& byteLowering() {
    static const ByteLowering table;
    return table;
}

struct Bytes {
    const uint8_t* text;
    static bool white(char16_t c) { return c < 0x100 && isWhiteSpace8(static_cast<uint8_t>(c)); }
    char16_t operator[](uint32_t i) const { return text[i]; }
};

struct Units {
    const uint8_t* text;
    static bool white(char16_t c) { return isWhiteSpace16(c); }
    char16_t operator[](uint32_t i) const { return loadUnit(text, i); }
};

// The comparison proper, once identical lines and plain comparisons have been settled.
template <typename Text, typename Lower>
int32_t compareRuns(Text a, uint32_t lengthA, Text b, uint32_t lengthB, bool ignoreCase,
                    bool compressWhite, Lower lower) {
    uint32_t i = 0;
    uint32_t j = 0;
    while (i < lengthA && j < lengthB) {
        char16_t ca = a[i];
        char16_t cb = b[j];
        if (compressWhite) {
            bool whiteA = Text::white(ca);
            bool whiteB = Text::white(cb);
            // Each side stands on the last character of its run, so a run facing a run matches
            // whatever their lengths.
            if (whiteA)
                while (i + 1 < lengthA && Text::white(a[i + 1])) ++i;
            if (whiteB)
                while (j + 1 < lengthB && Text::white(b[j + 1])) ++j;
            if (whiteA && whiteB) {
                ++i;
                ++j;
                continue;
            }
            ca = a[i];
            cb = b[j];
        }
        if (ca != cb && (!ignoreCase || lower(ca) != lower(cb))) return 0;
        ++i;
        ++j;
    }
    if (compressWhite) {
        while (i < lengthA && Text::white(a[i])) ++i;
        while (j < lengthB && Text::white(b[j])) ++j;
    }
    return i == lengthA && j == lengthB ? 1 : 0;
}

} // namespace

int32_t compareLines8(const uint8_t* textA, uint32_t lengthA, const uint8_t* textB,
                      uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite) {
    if (!textA || !textB) return 0;
    // Identical bytes are equal under every rule; most pairs a comparison meets are.
    if (lengthA == lengthB && (lengthA == 0 || std::memcmp(textA, textB, lengthA) == 0)) return 1;
    if (!compressWhite && (lengthA != lengthB || !ignoreCase)) return 0;
    const auto& table = byteLowering().lower;
    return compareRuns(Bytes{textA}, lengthA, Bytes{textB}, lengthB, ignoreCase != 0,
                       compressWhite != 0, [&table](char16_t c) { return table[c]; });
}

#if QVD_WIDE
int32_t compareLines16(const uint8_t* textA, uint32_t lengthA, const uint8_t* textB,
                       uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite) {
    if (!textA || !textB) return 0;
    if (lengthA == lengthB && (lengthA == 0 || std::memcmp(textA, textB, 2 * size_t{lengthA}) == 0))
        return 1;
    if (!compressWhite && (lengthA != lengthB || !ignoreCase)) return 0;
    return compareRuns(Units{textA}, lengthA, Units{textB}, lengthB, ignoreCase != 0,
                       compressWhite != 0, lowerUnit);
}
#endif

int32_t compareUnder(const CompareRules& rules, const LineRef& lineA, const LineRef& lineB) {
#if QVD_WIDE
    if (rules.wideText)
        return compareLines16(lineA.text, lineA.length, lineB.text, lineB.length, rules.ignoreCase,
                              rules.compressWhite);
#endif
    return compareLines8(lineA.text, lineA.length, lineB.text, lineB.length, rules.ignoreCase,
                         rules.compressWhite);
}
