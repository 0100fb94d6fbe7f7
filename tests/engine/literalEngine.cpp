#include "engine/literalEngine.h"

#include "engine/histogram.h"
#include "platform/build.h"
#include "platform/charClass.h"

#include <algorithm>

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

namespace {

using Pairs = std::vector<std::pair<uint32_t, uint32_t>>;

class Histogram {
  public:
    Histogram(const EngineRules& rules, const LineRef* left, const LineRef* right)
        : rules_(rules), left_(left), right_(right) {}

    Pairs pairs() {
        uint32_t n = 0;
        uint32_t m = 0;
        while (left_[n].text) ++n;
        while (right_[m].text) ++m;
        uint32_t prefix = 0;
        while (prefix < n && prefix < m && equal(prefix, prefix)) ++prefix;
        uint32_t suffix = 0;
        while (suffix < n - prefix && suffix < m - prefix && equal(n - 1 - suffix, m - 1 - suffix))
            ++suffix;
        for (uint32_t k = 0; k < prefix; ++k) pairs_.emplace_back(k, k);
        align(prefix, n - suffix, prefix, m - suffix);
        for (uint32_t k = suffix; k > 0; --k) pairs_.emplace_back(n - k, m - k);
        return pairs_;
    }

  private:
    bool equal(uint32_t a, uint32_t b) const {
        return linesEqual(rules_, left_[a], right_[b]) != 0;
    }

    // How often the line `line` occurs in the stretch, both sides together.
    uint32_t countIn(const LineRef& line, uint32_t l0, uint32_t l1, uint32_t r0,
                     uint32_t r1) const {
        uint32_t count = 0;
        for (uint32_t a = l0; a < l1; ++a) count += linesEqual(rules_, left_[a], line);
        for (uint32_t b = r0; b < r1; ++b) count += linesEqual(rules_, right_[b], line);
        return count;
    }

    void align(uint32_t l0, uint32_t l1, uint32_t r0, uint32_t r1) {
        if (l0 == l1 || r0 == r1) return;
        bool common = false;
        uint32_t bestCount = 2 * kHistogramCountCap;
        uint32_t bestLength = 0;
        uint32_t bestLeft = 0;
        uint32_t bestRight = 0;
        for (uint32_t b = r0; b < r1;) {
            uint32_t next = b + 1;
            uint32_t leftCount = 0;
            for (uint32_t a = l0; a < l1; ++a) leftCount += equal(a, b);
            uint32_t rightCount = 0;
            for (uint32_t y = r0; y < r1; ++y)
                rightCount += linesEqual(rules_, right_[y], right_[b]);
            if (leftCount > 0) common = true;
            if (leftCount > 0 && leftCount <= kHistogramCountCap &&
                rightCount <= kHistogramCountCap && leftCount + rightCount <= bestCount) {
                uint32_t covered = 0;
                for (uint32_t a = l0; a < l1; ++a) {
                    if (!equal(a, b) || a < covered) continue;
                    uint32_t start = 0;
                    while (a - start > l0 && b - start > r0 && equal(a - start - 1, b - start - 1))
                        ++start;
                    uint32_t end = 1;
                    while (a + end < l1 && b + end < r1 && equal(a + end, b + end)) ++end;
                    uint32_t runCount = UINT32_MAX;
                    for (uint32_t k = a - start; k < a + end; ++k)
                        runCount = std::min(runCount, countIn(left_[k], l0, l1, r0, r1));
                    next = std::max(next, b + end);
                    covered = a + end;
                    const uint32_t length = start + end;
                    if (runCount < bestCount || (runCount == bestCount && length > bestLength)) {
                        bestCount = runCount;
                        bestLength = length;
                        bestLeft = a - start;
                        bestRight = b - start;
                    }
                }
            }
            b = next;
        }
        if (bestLength > 0) {
            align(l0, bestLeft, r0, bestRight);
            for (uint32_t k = 0; k < bestLength; ++k)
                pairs_.emplace_back(bestLeft + k, bestRight + k);
            align(bestLeft + bestLength, l1, bestRight + bestLength, r1);
        } else if (common) {
            longestCommon(l0, l1, r0, r1);
        }
    }

    // The longest common subsequence by the full table of its lengths, traced back from the
    // ends: a right line that does not make it longer is passed over first, then equal lines
    // pair, else the left line is passed over.
    void longestCommon(uint32_t l0, uint32_t l1, uint32_t r0, uint32_t r1) {
        const uint32_t n = l1 - l0;
        const uint32_t m = r1 - r0;
        std::vector<std::vector<uint32_t>> length(n + 1, std::vector<uint32_t>(m + 1, 0));
        for (uint32_t i = 1; i <= n; ++i)
            for (uint32_t j = 1; j <= m; ++j)
                length[i][j] = equal(l0 + i - 1, r0 + j - 1)
                                   ? length[i - 1][j - 1] + 1
                                   : std::max(length[i - 1][j], length[i][j - 1]);
        Pairs found;
        for (uint32_t i = n, j = m; i > 0 && j > 0;) {
            if (length[i][j] == length[i][j - 1]) {
                --j;
            } else if (equal(l0 + i - 1, r0 + j - 1)) {
                found.emplace_back(l0 + i - 1, r0 + j - 1);
                --i;
                --j;
            } else {
                --i;
            }
        }
        pairs_.insert(pairs_.end(), found.rbegin(), found.rend());
    }

    const EngineRules& rules_;
    const LineRef* left_;
    const LineRef* right_;
    Pairs pairs_;
};

} // namespace

std::vector<std::pair<uint32_t, uint32_t>>
histogramPairs(const EngineRules& rules, const LineRef* leftTable, const LineRef* rightTable) {
    return Histogram(rules, leftTable, rightTable).pairs();
}

} // namespace literal
