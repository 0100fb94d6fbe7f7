#include "engine/histogram.h"

#include "engine/alikeLines.h"
#include "engine/lineClasses.h"
#include "engine/lineCompare.h"
#include "platform/memoryPages.h"
#include "platform/parallel.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

constexpr uint32_t kNone = UINT32_MAX;

// A stretch with common lines but no anchor is aligned exactly (a longest common subsequence),
// which keeps a row of bits per left line: at most this many 64-bit words (8 MB, a few
// milliseconds of work). A larger stretch is halved along its diagonal, and each half aligned as
// a stretch of its own, where lines occur less often and may be anchors again.
constexpr uint64_t kExactWords = uint64_t{1} << 20;

// Rows whose pages the writer gives memory at a time, ahead of the writing: a megabyte.
constexpr uint32_t kCommitRows = (1u << 20) / sizeof(DiffRow);

// Lines equal in both tables: left + k stands level with right + k for k below length.
struct Run {
    uint32_t left;
    uint32_t right;
    uint32_t length;
};

// Counts the work done and looks at the stop flag once every kStopLookMask + 1 units (lines
// classified or scanned, rows written).
class StopLook {
  public:
    explicit StopLook(const EngineRules& rules) : rules_(rules) {}
    // True when the build has been told to give up.
    bool stopped(uint64_t work) {
        done_ += work;
        if (done_ < nextLook_) return false;
        nextLook_ = done_ + kStopLookMask + 1;
        return buildStopped(rules_);
    }

  private:
    const EngineRules& rules_;
    uint64_t done_ = 0;
    uint64_t nextLook_ = 0;
};

// Whether two lines are equal under rules; under plain rules the tables' hashes tell most
// differing lines apart without reading them.
bool sameLine(const LineRef& a, const LineRef& b, const CompareRules& rules, bool plain) {
    return (!plain || a.hash == b.hash) && compareUnder(rules, a, b);
}

// The histogram alignment of the classified lines: the equal runs it finds, in order.
class HistogramAligner {
  public:
    // Runs go to runs at their tables' positions: the classes' positions plus leftFrom and
    // rightFrom.
    HistogramAligner(const LineClasses& classes, uint32_t leftFrom, uint32_t rightFrom,
                     StopLook& stop, std::vector<Run>& runs)
        : classes_(classes), from_{leftFrom, rightFrom}, stop_(stop), runs_(runs) {}

    // Aligns the leftCount and rightCount classified lines. Returns false when the build was
    // stopped; throws std::bad_alloc when memory is short.
    bool align(uint32_t leftCount, uint32_t rightCount) {
        // Stretches still to align and runs found, the next in order on top.
        pending_.push_back({0, leftCount, 0, rightCount, false});
        while (!pending_.empty()) {
            const Stretch stretch = pending_.back();
            pending_.pop_back();
            if (stretch.isRun) {
                addRun(stretch.left, stretch.right, stretch.leftEnd - stretch.left);
                continue;
            }
            if (stretch.left == stretch.leftEnd || stretch.right == stretch.rightEnd) continue;
            if (stop_.stopped(uint64_t{stretch.leftEnd - stretch.left} + stretch.rightEnd -
                              stretch.right))
                return false;
            Run anchor{};
            bool common = false;
            if (findAnchor(stretch, anchor, common)) {
                pending_.push_back({anchor.left + anchor.length, stretch.leftEnd,
                                    anchor.right + anchor.length, stretch.rightEnd, false});
                pending_.push_back(
                    {anchor.left, anchor.left + anchor.length, anchor.right, 0, true});
                pending_.push_back({stretch.left, anchor.left, stretch.right, anchor.right, false});
            } else if (common) {
                alignExactly(stretch);
            }
        }
        return true;
    }

  private:
    // Lines left up to leftEnd and right up to rightEnd (exclusive) still to align; or, with
    // isRun, the run of equal lines from left and right on, leftEnd - left long.
    struct Stretch {
        uint32_t left;
        uint32_t leftEnd;
        uint32_t right;
        uint32_t rightEnd;
        bool isRun;
    };

    // The times a class occurs in the stretch, both sides together.
    uint32_t countIn(const Stretch& s, uint32_t id) const {
        return classes_.placesIn(0, id, s.left, s.leftEnd).count() +
               classes_.placesIn(1, id, s.right, s.rightEnd).count();
    }

    // The anchor of a stretch: among the runs of equal lines around a common line, the run whose
    // rarest line occurs least often in the stretch (on both sides together), then the longest,
    // then the first found, right lines taken in order and each with its left partners in
    // order. Lines that occur more than kHistogramCountCap times on one side are not tried, and
    // neither are lines more frequent than the best run's. A right line inside a run already
    // found is passed over, as is a left partner inside the run just found. False when there is
    // no anchor; common then tells whether the two sides have any line in common.
    bool findAnchor(const Stretch& s, Run& anchor, bool& common) const {
        uint32_t bestCount = 2 * kHistogramCountCap;
        uint32_t bestLength = 0;
        for (uint32_t b = s.right; b < s.rightEnd;) {
            const uint32_t id = classes_.classOf(1, b);
            const LineClasses::Places partners = classes_.placesIn(0, id, s.left, s.leftEnd);
            uint32_t next = b + 1;
            if (partners.count() > 0) {
                common = true;
                const uint32_t rightCount = classes_.placesIn(1, id, s.right, s.rightEnd).count();
                const uint32_t count = partners.count() + rightCount;
                if (partners.count() <= kHistogramCountCap && rightCount <= kHistogramCountCap &&
                    count <= bestCount) {
                    uint32_t covered = 0; // left lines below this are in the run just found
                    for (const uint32_t* a = partners.begin; a != partners.end; ++a) {
                        if (*a < covered) continue;
                        uint32_t leftStart = *a;
                        uint32_t rightStart = b;
                        while (leftStart > s.left && rightStart > s.right &&
                               classes_.classOf(0, leftStart - 1) ==
                                   classes_.classOf(1, rightStart - 1)) {
                            --leftStart;
                            --rightStart;
                        }
                        uint32_t leftEnd = *a + 1;
                        uint32_t rightEnd = b + 1;
                        while (leftEnd < s.leftEnd && rightEnd < s.rightEnd &&
                               classes_.classOf(0, leftEnd) == classes_.classOf(1, rightEnd)) {
                            ++leftEnd;
                            ++rightEnd;
                        }
                        // A line occurs at least once on each side: 2 cannot be bettered.
                        uint32_t runCount = count;
                        for (uint32_t p = leftStart; runCount > 2 && p < leftEnd; ++p)
                            runCount = std::min(runCount, countIn(s, classes_.classOf(0, p)));
                        next = std::max(next, rightEnd);
                        covered = leftEnd;
                        const uint32_t length = leftEnd - leftStart;
                        if (runCount < bestCount ||
                            (runCount == bestCount && length > bestLength)) {
                            anchor = {leftStart, rightStart, length};
                            bestCount = runCount;
                            bestLength = length;
                        }
                    }
                }
            }
            b = next;
        }
        return bestLength > 0;
    }

    // A longest common subsequence of the stretch's lines, worked out a left line at a time over
    // bit rows of the right lines (a bit set where the subsequence does not grow from the right
    // line before), then traced back from the ends; a stretch too large for that is halved.
    void alignExactly(const Stretch& s) {
        const uint32_t leftCount = s.leftEnd - s.left;
        const uint32_t rightCount = s.rightEnd - s.right;
        const uint32_t words = (rightCount + 63) / 64;
        if (uint64_t{leftCount} * words > kExactWords) {
            const uint32_t leftMiddle = s.left + leftCount / 2;
            const uint32_t rightMiddle = s.right + rightCount / 2;
            pending_.push_back({leftMiddle, s.leftEnd, rightMiddle, s.rightEnd, false});
            pending_.push_back({s.left, leftMiddle, s.right, rightMiddle, false});
            return;
        }
        std::vector<uint64_t> rows(size_t{leftCount} * words);
        std::vector<uint64_t> row(words, ~uint64_t{0});
        std::vector<uint64_t> bits(words, 0);
        for (uint32_t i = 0; i < leftCount; ++i) {
            const uint32_t id = classes_.classOf(0, s.left + i);
            const LineClasses::Places equal = classes_.placesIn(1, id, s.right, s.rightEnd);
            // The bits of the right lines equal to this left line.
            const uint64_t* matches = bits.data();
            if (equal.count() >= 64) {
                matches = frequentBits(id, equal, s.right, words);
            } else {
                for (const uint32_t* p = equal.begin; p != equal.end; ++p)
                    bits[(*p - s.right) / 64] |= uint64_t{1} << ((*p - s.right) % 64);
            }
            // row = (row + (row & matches)) | (row & ~matches), the sum carried word to word.
            uint64_t carry = 0;
            for (uint32_t w = 0; w < words; ++w) {
                const uint64_t kept = row[w] & matches[w];
                const uint64_t withCarry = row[w] + carry;
                const uint64_t sum = withCarry + kept;
                carry = (withCarry < carry) | (sum < kept);
                row[w] = sum | (row[w] & ~matches[w]);
            }
            std::copy(row.begin(), row.end(), rows.begin() + size_t{i} * words);
            if (matches == bits.data())
                for (const uint32_t* p = equal.begin; p != equal.end; ++p)
                    bits[(*p - s.right) / 64] = 0;
        }
        for (uint32_t id : frequent_) frequentSlot_[id] = kNone;
        frequent_.clear();
        // Back from the ends: where the subsequence does not grow from the right line before,
        // that line is passed over; else equal lines are a pair of it, and a differing left line
        // is passed over.
        pairs_.clear();
        for (uint32_t i = leftCount, j = rightCount; i > 0 && j > 0;) {
            const uint64_t word = rows[size_t{i - 1} * words + (j - 1) / 64];
            if (word >> ((j - 1) % 64) & 1) {
                --j;
            } else if (classes_.classOf(0, s.left + i - 1) ==
                       classes_.classOf(1, s.right + j - 1)) {
                --i;
                --j;
                pairs_.push_back({s.left + i, s.right + j, 1});
            } else {
                --i;
            }
        }
        for (auto pair = pairs_.rbegin(); pair != pairs_.rend(); ++pair)
            addRun(pair->left, pair->right, 1);
    }

    // The bits of the right lines of a class that occurs often in the stretch of an exact
    // alignment, set once for all its left lines. Such classes have a bit row of their own: there
    // are no more of them than words in a row.
    const uint64_t* frequentBits(uint32_t id, LineClasses::Places places, uint32_t right,
                                 uint32_t words) {
        if (frequentSlot_.empty()) frequentSlot_.assign(classes_.classCount(), kNone);
        if (frequentSlot_[id] == kNone) {
            frequentSlot_[id] = static_cast<uint32_t>(frequent_.size());
            frequent_.push_back(id);
            frequentRows_.resize(frequent_.size() * words);
            uint64_t* bits = frequentRows_.data() + size_t{frequentSlot_[id]} * words;
            std::fill(bits, bits + words, 0);
            for (const uint32_t* p = places.begin; p != places.end; ++p)
                bits[(*p - right) / 64] |= uint64_t{1} << ((*p - right) % 64);
        }
        return frequentRows_.data() + size_t{frequentSlot_[id]} * words;
    }

    // Adds a run at the classes' positions, joined to the last one where it goes on from it.
    void addRun(uint32_t left, uint32_t right, uint32_t length) {
        left += from_[0];
        right += from_[1];
        if (!runs_.empty()) {
            Run& last = runs_.back();
            if (last.left + last.length == left && last.right + last.length == right) {
                last.length += length;
                return;
            }
        }
        runs_.push_back({left, right, length});
    }

    const LineClasses& classes_;
    uint32_t from_[2];
    StopLook& stop_;
    std::vector<Run>& runs_;
    std::vector<Stretch> pending_;
    std::vector<Run> pairs_; // the pairs of an exact alignment, last first
    // Of an exact alignment: by class, the bit row of a frequent class (kNone: none), the classes
    // that have one, and their rows.
    std::vector<uint32_t> frequentSlot_;
    std::vector<uint32_t> frequent_;
    std::vector<uint64_t> frequentRows_;
};

// One part of the list: the pieces from first up to last (exclusive) of runs, piece k being the
// changed stretch before runs[k] and that run. The lines of a changed stretch have no equal pair:
// a line stands beside its likest partner, the others alone, left lines before right ones; beyond
// the bounds of the likeness pairing they pair in order. The two halves of a long list are parts
// worked out on two cores: first their pairings, which tell how many rows each part takes, then
// their rows, each part from where the one before it ends.
class ListPart {
  public:
    ListPart(const LineRef* left, const LineRef* right, const EngineRules& rules,
             const std::vector<Run>& runs, uint32_t first, uint32_t last)
        : left_(left), right_(right), rules_(rules), runs_(runs), first_(first), last_(last),
          stop_(rules) {}

    // Pairs the lines of every changed stretch and counts the part's rows. Returns false when
    // the build was stopped or memory is short.
    bool pairStretches() {
        try {
            for (uint32_t k = first_; k < last_; ++k) {
                const Run from = stretchBefore(k);
                const uint32_t leftCount = runs_[k].left - from.left;
                const uint32_t rightCount = runs_[k].right - from.right;
                uint32_t pairs = std::min(leftCount, rightCount); // in order
                uint32_t start = kNone;
                if (leftCount > 0 && rightCount > 0 &&
                    alike_.pair(left_ + from.left, leftCount, right_ + from.right, rightCount,
                                rules_)) {
                    start = static_cast<uint32_t>(partners_.size());
                    pairs = 0;
                    for (uint32_t x = 0; x < leftCount; ++x) {
                        partners_.push_back(alike_.partner(x));
                        pairs += alike_.partner(x) != kNoPartner;
                    }
                }
                pairingOf_.push_back(start);
                rowCount_ += uint64_t{leftCount} + rightCount - pairs + runs_[k].length;
                if (stop_.stopped(uint64_t{leftCount} + rightCount + runs_[k].length)) return false;
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // The rows of the part, once its stretches are paired.
    uint64_t rowCount() const { return rowCount_; }

    // Writes the part's rows from rows on. Returns false when the build was stopped.
    bool write(DiffRow* rows) {
        rows_ = rows;
        for (uint32_t k = first_; k < last_; ++k) {
            const uint64_t written = count_;
            Run from = stretchBefore(k);
            const Run& run = runs_[k];
            const uint32_t partners = pairingOf_[k - first_];
            if (partners != kNone) {
                const uint32_t leftStart = from.left;
                const uint32_t rightStart = from.right;
                for (uint32_t x = 0; x < run.left - leftStart; ++x) {
                    const uint32_t partner = partners_[partners + x];
                    if (partner == kNoPartner) continue;
                    for (; from.left < leftStart + x; ++from.left) leftOnly(from.left);
                    for (; from.right < rightStart + partner; ++from.right) rightOnly(from.right);
                    pairByTest(from.left++, from.right++);
                }
            } else {
                for (; from.left < run.left && from.right < run.right; ++from.left, ++from.right)
                    pairByTest(from.left, from.right);
            }
            for (; from.left < run.left; ++from.left) leftOnly(from.left);
            for (; from.right < run.right; ++from.right) rightOnly(from.right);
            for (uint32_t j = 0; j < run.length; ++j) pair(run.left + j, run.right + j, 1);
            if (stop_.stopped(count_ - written)) return false;
        }
        return true;
    }

  private:
    // Where the changed stretch before runs[k] begins: after the run before it (length unused).
    Run stretchBefore(uint32_t k) const {
        if (k == 0) return {0, 0, 0};
        return {runs_[k - 1].left + runs_[k - 1].length, runs_[k - 1].right + runs_[k - 1].length,
                0};
    }

    // The next row, its page given memory a megabyte ahead (up to the part's end).
    DiffRow* place() {
        if (count_ >= committed_) {
            const uint64_t end = std::min<uint64_t>(count_ + kCommitRows, rowCount_);
            commitPages(rows_ + count_, (end - count_) * sizeof(DiffRow));
            committed_ = end;
        }
        return rows_ + count_++;
    }
    void leftOnly(uint32_t m) {
        *place() = {left_[m].text, left_[m].length, m + 1, emptyText, 0, 0, 0};
    }
    void rightOnly(uint32_t l) {
        *place() = {emptyText, 0, 0, right_[l].text, right_[l].length, l + 1, 0};
    }
    void pair(uint32_t m, uint32_t l, int32_t match) {
        *place() = {left_[m].text,    left_[m].length, m + 1, right_[l].text,
                    right_[l].length, l + 1,           match};
    }
    void pairByTest(uint32_t m, uint32_t l) { pair(m, l, linesEqual(rules_, left_[m], right_[l])); }

    const LineRef* left_;
    const LineRef* right_;
    const EngineRules& rules_;
    const std::vector<Run>& runs_;
    uint32_t first_;
    uint32_t last_;
    StopLook stop_;
    AlikePairing alike_;
    std::vector<uint32_t> partners_;  // of the stretches paired by likeness, one after another
    std::vector<uint32_t> pairingOf_; // by piece: its first entry in partners_; kNone: in order
    uint64_t rowCount_ = 0;
    DiffRow* rows_ = nullptr;
    uint64_t count_ = 0;     // rows written
    uint64_t committed_ = 0; // rows below this have their memory
};

// The equal runs of the histogram alignment of both tables, in order. False when the build was
// stopped or memory is short (std::bad_alloc may also be thrown).
bool findRuns(const LineRef* left, uint32_t leftCount, const LineRef* right, uint32_t rightCount,
              const EngineRules& rules, StopLook& stop, std::vector<Run>& runs) {
    // The common beginning and end cost a comparison a line and spare the classes; in files
    // edited in one place they are nearly everything.
    const CompareRules compare = compareRulesOf(rules);
    const bool plain = !compare.ignoreCase && !compare.compressWhite;
    const uint32_t shorter = std::min(leftCount, rightCount);
    uint32_t prefix = 0;
    while (prefix < shorter && sameLine(left[prefix], right[prefix], compare, plain)) {
        if ((prefix & kStopLookMask) == 0 && stop.stopped(kStopLookMask + 1)) return false;
        ++prefix;
    }
    uint32_t suffix = 0;
    while (suffix < shorter - prefix &&
           sameLine(left[leftCount - 1 - suffix], right[rightCount - 1 - suffix], compare, plain)) {
        if ((suffix & kStopLookMask) == 0 && stop.stopped(kStopLookMask + 1)) return false;
        ++suffix;
    }
    if (prefix > 0) runs.push_back({0, 0, prefix});
    const uint32_t counts[2] = {leftCount - prefix - suffix, rightCount - prefix - suffix};
    if (counts[0] > 0 && counts[1] > 0) {
        const LineRef* const tables[2] = {left + prefix, right + prefix};
        LineClasses classes;
        if (!classes.build(tables, counts, rules) || stop.stopped(uint64_t{counts[0]} + counts[1]))
            return false;
        HistogramAligner aligner(classes, prefix, prefix, stop, runs);
        if (!aligner.align(counts[0], counts[1])) return false;
    }
    if (suffix > 0) runs.push_back({leftCount - suffix, rightCount - suffix, suffix});
    return true;
}

} // namespace

OwnedDiffList buildHistogramList(const LineRef* leftTable, const LineRef* rightTable,
                                 const EngineRules& rules, uint32_t& rowCount) {
    if (!leftTable || !rightTable) return nullptr;
    // Hex rows pair by their offsets whatever the alignment.
    if (rules.hexMode) return buildDiffList(leftTable, rightTable, rules, rowCount);
    const uint32_t leftCount = countTableLines(leftTable);
    const uint32_t rightCount = countTableLines(rightTable);
    rowCount = 0;
    OwnedDiffList list = allocateDiffList(leftCount, rightCount);
    if (!list) return nullptr;
    DiffRow* rows = list.get();
    StopLook stop(rules);
    try {
        // The index that finds the runs is given back before the rows take their memory.
        std::vector<Run> runs;
        if (!findRuns(leftTable, leftCount, rightTable, rightCount, rules, stop, runs))
            return nullptr;
        runs.push_back({leftCount, rightCount, 0}); // the ends, after the last stretch
        // A long list is written in two parts, the second from the first run that begins in the
        // second half of the left table.
        const auto pieces = static_cast<uint32_t>(runs.size());
        uint32_t middle = pieces;
        const uint32_t splitFrom = std::max(rules.splitFrom, 1u);
        if (leftCount >= splitFrom && rightCount >= splitFrom) {
            middle = static_cast<uint32_t>(
                std::lower_bound(runs.begin(), runs.end(), leftCount / 2,
                                 [](const Run& run, uint32_t left) { return run.left < left; }) -
                runs.begin());
            middle = std::clamp(middle, 1u, pieces);
        }
        ListPart first(leftTable, rightTable, rules, runs, 0, middle);
        ListPart second(leftTable, rightTable, rules, runs, middle, pieces);
        bool paired[2] = {false, false};
        bool written[2] = {false, false};
        if (middle < pieces) {
            runTogether([&] { paired[0] = first.pairStretches(); },
                        [&] { paired[1] = second.pairStretches(); });
            if (!paired[0] || !paired[1]) return nullptr;
            runTogether([&] { written[0] = first.write(rows); },
                        [&] { written[1] = second.write(rows + first.rowCount()); });
        } else {
            if (!first.pairStretches()) return nullptr;
            written[0] = first.write(rows);
            written[1] = true;
        }
        if (!written[0] || !written[1]) return nullptr;
        const uint64_t count = first.rowCount() + second.rowCount();
        rows[count] = {nullptr, 0, 0, nullptr, 0, 0, 0};
        rowCount = static_cast<uint32_t>(count);
    } catch (const std::bad_alloc&) {
        rowCount = 0;
        return nullptr;
    }
    return list;
}
