#include "engine/literalEngine.h"

#include "platform/build.h"
#include "platform/charClass.h"

namespace literal {

namespace {

char16_t unitAt(const uint8_t* text, uint32_t index) {
    return static_cast<char16_t>(text[2 * index] | text[2 * index + 1] << 8);
}

template <typename AtA, typename AtB, typename White, typename Lower>
int32_t compareLines(uint32_t lengthA, uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite,
                     AtA a, AtB b, White white, Lower lower) {
    uint32_t i = 0;
    uint32_t j = 0;
    if (lengthA > 0) {
        do {
            if (j >= lengthB) break;
            if (compressWhite) {
                if (white(a(i)))
                    while (i + 1 < lengthA && white(a(i + 1))) ++i;
                if (white(b(j)))
                    while (j + 1 < lengthB && white(b(j + 1))) ++j;
                if (white(a(i)) && white(b(j))) {
                    ++i;
                    ++j;
                    continue;
                }
            }
            if (ignoreCase ? lower(a(i)) != lower(b(j)) : a(i) != b(j)) return 0;
            ++i;
            ++j;
        } while (i < lengthA);
    }
    if (compressWhite) {
        while (i < lengthA && white(a(i))) ++i;
        while (j < lengthB && white(b(j))) ++j;
    }
    return i == lengthA && j == lengthB ? 1 : 0;
}

} // namespace

int32_t compareLines8(const uint8_t* textA, uint32_t lengthA, const uint8_t* textB,
                      uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite) {
    if (!textA || !textB) return 0;
    return compareLines(
        lengthA, lengthB, ignoreCase, compressWhite, [textA](uint32_t i) { return textA[i]; },
        [textB](uint32_t i) { return textB[i]; }, isWhiteSpace8,
        [](uint8_t byte) -> char16_t {
            if constexpr (kWideBuild)
                return lowerUnit(byte);
            else
                return lowerAnsiByte(byte);
        });
}

int32_t compareLines16(const uint8_t* textA, uint32_t lengthA, const uint8_t* textB,
                       uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite) {
    if (!textA || !textB) return 0;
    return compareLines(
        lengthA, lengthB, ignoreCase, compressWhite,
        [textA](uint32_t i) { return unitAt(textA, i); },
        [textB](uint32_t i) { return unitAt(textB, i); }, isWhiteSpace16, lowerUnit);
}

int32_t linesEqual(const EngineRules& rules, const LineRef& lineA, const LineRef& lineB) {
    int32_t ignoreCase = rules.ignoreCase ? 1 : 0;
    int32_t compressWhite = rules.compressWhiteSpace && !rules.hexMode ? 1 : 0;
    if (!kWideBuild || rules.hexMode || !rules.wideText)
        return compareLines8(lineA.text, lineA.length, lineB.text, lineB.length, ignoreCase,
                             compressWhite);
    return compareLines16(lineA.text, lineA.length, lineB.text, lineB.length, ignoreCase,
                          compressWhite);
}

int32_t findResync(const EngineRules& rules, const LineRef* leftTable, const LineRef* rightTable,
                   uint32_t& leftPos, uint32_t& rightPos, int32_t syncCount, int32_t window) {
    auto linesEqual = [&rules](const LineRef& lineA, const LineRef& lineB) {
        return literal::linesEqual(rules, lineA, lineB);
    };
    const uint32_t m = leftPos;
    const uint32_t l = rightPos;
    if (!leftTable[m].text) {
        while (rightTable[rightPos].text) ++rightPos;
        return 0;
    }
    if (!rightTable[l].text) {
        while (leftTable[leftPos].text) ++leftPos;
        return 0;
    }
    if (rules.hexMode) return linesEqual(leftTable[m], rightTable[l]);
    if (linesEqual(leftTable[m], rightTable[l])) return 1;
    auto score = [&](uint64_t p, uint64_t q) {
        int32_t sum = 0;
        for (int32_t k = 0; k < syncCount; ++k) {
            if (!leftTable[p + k].text || !rightTable[q + k].text) break;
            sum += linesEqual(leftTable[p + k], rightTable[q + k]);
        }
        return sum;
    };
    int32_t best = -1;
    int64_t bestLeft = m;
    int64_t bestRight = l;
    for (int64_t i = l; i < int64_t{l} + window && rightTable[i].text; ++i) {
        int32_t s = score(m, i);
        if (s > best) {
            best = s;
            bestRight = i;
            if (s == syncCount) break;
        }
    }
    for (int64_t j = m; j < int64_t{m} + window && leftTable[j].text; ++j) {
        if (best == syncCount && j - m > bestRight - l) break;
        int32_t s = score(j, l);
        if (s > best || (s == best && j - m < bestRight - l)) {
            bestLeft = j;
            bestRight = l;
            best = s;
            if (s == syncCount) break;
        }
    }
    // Long runs: when no candidate scored above 0, the nearest pure skip beyond the window after
    // which syncCount pairs, all there, are equal; the shorter skip, then passing over right lines.
    if (rules.longRuns && best == 0) {
        auto perfect = [&](uint64_t p, uint64_t q) {
            for (int32_t k = 0; k < syncCount; ++k) {
                if (!leftTable[p + k].text || !rightTable[q + k].text) return false;
                if (!linesEqual(leftTable[p + k], rightTable[q + k])) return false;
            }
            return true;
        };
        int64_t rightSkip = -1;
        for (int64_t s = 1; rightTable[l + s].text; ++s) {
            if (s >= window && perfect(m, l + s)) {
                rightSkip = s;
                break;
            }
        }
        int64_t leftSkip = -1;
        for (int64_t s = 1; leftTable[m + s].text; ++s) {
            if (s >= window && perfect(m + s, l)) {
                leftSkip = s;
                break;
            }
        }
        if (leftSkip >= 0 && (rightSkip < 0 || leftSkip < rightSkip)) {
            leftPos = static_cast<uint32_t>(m + leftSkip);
            return 1;
        }
        if (rightSkip >= 0) {
            rightPos = static_cast<uint32_t>(l + rightSkip);
            return 1;
        }
    }
    leftPos = static_cast<uint32_t>(bestLeft);
    rightPos = static_cast<uint32_t>(bestRight);
    if (!leftTable[leftPos].text || !rightTable[rightPos].text) return 0;
    return linesEqual(leftTable[leftPos], rightTable[rightPos]);
}

std::vector<DiffRow> buildDiffList(const EngineRules& rules, const LineRef* leftTable,
                                   const LineRef* rightTable) {
    const int32_t syncCount = rules.syncCount;
    const int32_t window = rules.window;
    std::vector<DiffRow> rows;
    uint32_t m = 0;
    uint32_t l = 0;
    for (;;) {
        if (!leftTable[m].text && !rightTable[l].text) return rows;
        uint32_t newLeft = m;
        uint32_t newRight = l;
        int32_t c = findResync(rules, leftTable, rightTable, newLeft, newRight, syncCount, window);
        for (; m < newLeft; ++m)
            rows.push_back({leftTable[m].text, leftTable[m].length, m + 1, emptyText, 0, 0, 0});
        for (; l < newRight; ++l)
            rows.push_back({emptyText, 0, 0, rightTable[l].text, rightTable[l].length, l + 1, 0});
        if (leftTable[m].text && rightTable[l].text) {
            rows.push_back({leftTable[m].text, leftTable[m].length, m + 1, rightTable[l].text,
                            rightTable[l].length, l + 1, c});
            ++m;
            ++l;
        }
    }
}

} // namespace literal
