#pragma once
// Whether two lines (or two hex rows) are equal under the current comparison rules.

#include "engine/engineRules.h"
#include "engine/lineTable.h"
#include "platform/build.h"

#include <cstdint>

// Compares two runs of bytes. Returns exactly 1 when equal, exactly 0 when different (the search
// adds results up). ignoreCase: characters compare by their lower-case mapping (moxa: each byte
// lowered as the Unicode character of the same number; moxaw: through the ANSI code page).
// compressWhite: every run of white space matches any run at the same place, and white space at
// the end of either line is ignored. A null text is different from everything.
[[nodiscard]] int32_t compareLines8(const uint8_t* textA, uint32_t lengthA, const uint8_t* textB,
                                    uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite);

#if QVD_WIDE
// The same for little-endian UTF-16 text: the lengths count 16-bit units, the texts point at the
// first byte of the first unit.
[[nodiscard]] int32_t compareLines16(const uint8_t* textA, uint32_t lengthA, const uint8_t* textB,
                                     uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite);
#endif

// compareLines8 or compareLines16 under the given rules.
[[nodiscard]] int32_t compareUnder(const CompareRules& rules, const LineRef& lineA,
                                   const LineRef& lineB);

// The pair test of the engine, left line first, under a build's rules (hex rows always byte for
// byte and never with white space compression).
[[nodiscard]] inline int32_t linesEqual(const EngineRules& rules, const LineRef& lineA,
                                        const LineRef& lineB) {
    return compareUnder(compareRulesOf(rules), lineA, lineB);
}
