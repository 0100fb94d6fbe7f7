#include "engine/alikeLines.h"

#include "engine/unitText.h"
#include "platform/build.h"
#include "platform/charClass.h"

#include <algorithm>
#include <new>

namespace {

// Stands before a line's first character and after its last, so that a line of one character
// still has pairs to share and the ends of a line weigh as much as its middle.
constexpr char16_t kEdge = 0xFFFF;

// How the pairing reached a cell of its table (left lines x and right lines y weighed).
enum Step : uint8_t {
    kLeftAlone,  // left line x - 1 has no partner
    kRightAlone, // right line y - 1 has no partner
    kPartners,   // left line x - 1 stands beside right line y - 1
};

// Likeness of the highest kind: every pair of neighbouring characters shared.
constexpr uint32_t kFullLikeness = 1024;

// Appends the pairs of neighbouring characters of line, its edges included, as the comparison
// sees the characters: lowered when case is ignored; each run of white space one blank, and none
// at the end, when white space is compressed. Each pair is one number, first character high.
void appendCharacterPairs(const LineRef& line, const CompareRules& rules,
                          std::vector<uint32_t>& pairs) {
    const bool wide = kWideBuild && rules.wideText;
    char16_t previous = kEdge;
    bool whiteRun = false;
    for (uint32_t i = 0; i < line.length; ++i) {
        char16_t c;
        bool white;
        if (wide) {
            c = loadUnit(line.text, i);
            white = isWhiteSpace16(c);
        } else {
            c = line.text[i];
            white = isWhiteSpace8(line.text[i]);
        }
        if (rules.compressWhite && white) {
            whiteRun = true;
            continue;
        }
        if (whiteRun) {
            pairs.push_back(uint32_t{previous} << 16 | u' ');
            previous = u' ';
            whiteRun = false;
        }
        if (rules.ignoreCase) {
            // As compareLines8 and compareLines16 lower: 8-bit text in moxaw through the code page.
            c = kWideBuild ? lowerUnit(c) : lowerAnsiByte(static_cast<uint8_t>(c));
        }
        pairs.push_back(uint32_t{previous} << 16 | c);
        previous = c;
    }
    pairs.push_back(uint32_t{previous} << 16 | kEdge);
}

// The pairs of neighbouring characters two sorted lists have in common, repeats counted.
uint32_t sharedPairs(const uint32_t* a, const uint32_t* aEnd, const uint32_t* b,
                     const uint32_t* bEnd) {
    uint32_t shared = 0;
    while (a != aEnd && b != bEnd) {
        if (*a < *b) {
            ++a;
        } else if (*b < *a) {
            ++b;
        } else {
            ++shared;
            ++a;
            ++b;
        }
    }
    return shared;
}

// The likeness of two lines from their sorted character pairs: twice the shared pairs over all
// pairs of both, in 1024ths; 0 below one half, which is not alike enough to stand level.
uint32_t likeness(const uint32_t* a, const uint32_t* aEnd, const uint32_t* b,
                  const uint32_t* bEnd) {
    const auto sizeA = static_cast<uint32_t>(aEnd - a);
    const auto sizeB = static_cast<uint32_t>(bEnd - b);
    // At least half shared needs the shorter list to hold a third of the longer one's pairs.
    if (3 * uint64_t{std::min(sizeA, sizeB)} < std::max(sizeA, sizeB)) return 0;
    const uint64_t shared = sharedPairs(a, aEnd, b, bEnd);
    if (4 * shared < uint64_t{sizeA} + sizeB) return 0;
    return static_cast<uint32_t>(2 * shared * kFullLikeness / (uint64_t{sizeA} + sizeB));
}

} // namespace

bool AlikePairing::pair(const LineRef* left, uint32_t leftCount, const LineRef* right,
                        uint32_t rightCount, const EngineRules& engineRules) {
    const uint64_t cells = uint64_t{leftCount} * rightCount;
    if (cells > kAlikePairs) return false;
    // Each line has one character pair more than characters; a pair of lines costs both lists.
    uint64_t leftPairs = 0;
    uint64_t rightPairs = 0;
    for (uint32_t x = 0; x < leftCount; ++x) leftPairs += uint64_t{left[x].length} + 1;
    for (uint32_t y = 0; y < rightCount; ++y) rightPairs += uint64_t{right[y].length} + 1;
    if (leftPairs * rightCount + rightPairs * leftCount > kAlikeWork) return false;
    const CompareRules rules = compareRulesOf(engineRules);
    try {
        characterPairs_.clear();
        start_.clear();
        for (uint32_t k = 0; k < leftCount + rightCount; ++k) {
            start_.push_back(static_cast<uint32_t>(characterPairs_.size()));
            appendCharacterPairs(k < leftCount ? left[k] : right[k - leftCount], rules,
                                 characterPairs_);
            std::sort(characterPairs_.begin() + start_.back(), characterPairs_.end());
        }
        start_.push_back(static_cast<uint32_t>(characterPairs_.size()));
        const auto linePairs = [this](uint32_t k) { return characterPairs_.data() + start_[k]; };

        // The greatest total likeness of a pairing of the first x left lines with the first y
        // right lines, a row of x at a time, and how each cell was reached.
        above_.assign(size_t{rightCount} + 1, 0);
        row_.assign(size_t{rightCount} + 1, 0);
        steps_.resize(cells);
        for (uint32_t x = 1; x <= leftCount; ++x) {
            row_[0] = 0;
            const uint32_t* a = linePairs(x - 1);
            const uint32_t* aEnd = linePairs(x);
            for (uint32_t y = 1; y <= rightCount; ++y) {
                uint64_t best = above_[y];
                Step step = kLeftAlone;
                if (row_[y - 1] > best) {
                    best = row_[y - 1];
                    step = kRightAlone;
                }
                const uint32_t alike =
                    likeness(a, aEnd, linePairs(leftCount + y - 1), linePairs(leftCount + y));
                if (alike > 0 && above_[y - 1] + alike >= best) {
                    best = above_[y - 1] + alike;
                    step = kPartners;
                }
                row_[y] = best;
                steps_[size_t{x - 1} * rightCount + (y - 1)] = step;
            }
            std::swap(above_, row_);
        }
        partner_.assign(leftCount, kNoPartner);
        for (uint32_t x = leftCount, y = rightCount; x > 0 && y > 0;) {
            switch (steps_[size_t{x - 1} * rightCount + (y - 1)]) {
            case kLeftAlone:
                --x;
                break;
            case kRightAlone:
                --y;
                break;
            default:
                partner_[--x] = --y;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
