#include "engine/histogram.h"

#include "engine/alikeLines.h"
#include "engine/lineCompare.h"
#include "engine/lineHash.h"
#include "platform/memoryPages.h"
#include "platform/parallel.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr uint32_t kNone = UINT32_MAX;

// Lines are looked up this many ahead of the one sorted in, so that the table's memory is on its
// way by the time it is read: the table is as large as the files, and each line lands at random.
constexpr uint32_t kLookAhead = 16;

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

// The lines between the common beginning and end of both tables sorted into classes: equal
// lines, and only those, share a class (confirmed by the real comparison, not only by hashes).
// Each class keeps its places on both sides in order, so that the lines of a class inside any
// stretch are found by two binary searches. Positions count from the first line after the common
// beginning. Memory: two words a line and two a class.
class LineClasses {
  public:
    // Sorts in counts[side] lines of tables[side]. Returns false when the build was stopped;
    // throws std::bad_alloc when memory is short.
    bool build(const LineRef* const tables[2], const uint32_t counts[2], const EngineRules& rules,
               StopLook& stop) {
        // Everything the index keeps is had before the table of classes is given back: a block
        // given back raises the size from which malloc maps blocks of their own, and blocks
        // below that come from its heap, which keeps memory given back below the top.
        const uint64_t total = uint64_t{counts[0]} + counts[1];
        for (int side = 0; side < 2; ++side) {
            classOf_[side] = committedArray<uint32_t>(counts[side]);
            // Their memory is taken once the table of classes is gone; for the places of the
            // classes only for the classes there are.
            places_[side].reset(new uint32_t[counts[side]]);
            firstPlace_[side].reset(new uint32_t[total + 1]);
        }
        classCount_ = sortIntoClasses(tables, counts, rules, stop);
        if (classCount_ == kNone) return false;
        // Each class's places on each side, in one block a side, class after class: counted, the
        // counts summed into the ends of the classes, then filled from the back so that each end
        // steps back to its class's start and the places come out ascending. The sides are
        // apart, so they are placed on two cores.
        const auto place = [this, counts](int side) {
            const uint32_t* ids = classOf_[side].get();
            uint32_t* first = firstPlace_[side].get();
            commitPages(first, (size_t{classCount_} + 1) * sizeof(uint32_t));
            commitPages(places_[side].get(), size_t{counts[side]} * sizeof(uint32_t));
            std::fill(first, first + classCount_ + 1, 0);
            for (uint32_t position = 0; position < counts[side]; ++position) ++first[ids[position]];
            uint32_t sum = 0;
            for (uint32_t id = 0; id <= classCount_; ++id) {
                sum += first[id];
                first[id] = sum;
            }
            for (uint32_t position = counts[side]; position-- > 0;)
                places_[side][--first[ids[position]]] = position;
        };
        runTogether([&] { place(0); }, [&] { place(1); });
        return true;
    }

    uint32_t classOf(int side, uint32_t position) const { return classOf_[side][position]; }
    // Classes are numbered from 0 up to this count.
    uint32_t classCount() const { return classCount_; }

    // The places of class id on side from low up to high (exclusive), as a span of ascending
    // positions.
    struct Places {
        const uint32_t* begin;
        const uint32_t* end;
        uint32_t count() const { return static_cast<uint32_t>(end - begin); }
    };
    Places placesIn(int side, uint32_t id, uint32_t low, uint32_t high) const {
        const uint32_t* begin = places_[side].get() + firstPlace_[side][id];
        const uint32_t* end = places_[side].get() + firstPlace_[side][id + 1];
        if (end - begin == 1) { // most lines of most files occur once
            if (*begin >= low && *begin < high) return {begin, end};
            return {begin, begin};
        }
        begin = std::lower_bound(begin, end, low);
        return {begin, std::lower_bound(begin, end, high)};
    }

  private:
    // A class while the lines are sorted in: one of its lines, which the others are confirmed
    // against, and the class after it in its bucket.
    struct ClassEntry {
        const LineRef* sample;
        uint32_t hash; // the low half of the lines' hashLine
        uint32_t next;
    };

    // Gives every line its class in classOf_; returns the number of classes, or kNone when the
    // build was stopped. The table of classes goes when it returns.
    uint32_t sortIntoClasses(const LineRef* const tables[2], const uint32_t counts[2],
                             const EngineRules& rules, StopLook& stop) {
        const CompareRules compare = compareRulesOf(rules);
        const bool plain = !compare.ignoreCase && !compare.compressWhite;
        const uint64_t total = uint64_t{counts[0]} + counts[1];
        // A bucket for every two lines: in two versions of a file most lines are in both, so
        // chains stay a class or two long.
        size_t bucketCount = 1;
        while (bucketCount < total / 2) bucketCount <<= 1;
        const size_t mask = bucketCount - 1;
        std::unique_ptr<uint32_t[]> buckets = committedArray<uint32_t>(bucketCount);
        std::fill(buckets.get(), buckets.get() + bucketCount, kNone);
        // Every line may be a class of its own; most lines of two versions of a file are in
        // both, about as many classes as lines a side, whose memory is taken at once.
        std::unique_ptr<ClassEntry[]> classes(new ClassEntry[total]);
        commitPages(classes.get(), std::max(counts[0], counts[1]) * sizeof(ClassEntry));
        // The hashes first, in the places the classes go, both sides on two cores. Under plain
        // rules the table's hash is the low half of hashLine's.
        std::atomic<bool> stopped{false};
        const auto hashSide = [&](int side) {
            const LineRef* table = tables[side];
            uint32_t* ids = classOf_[side].get();
            for (uint32_t position = 0; position < counts[side]; ++position) {
                if ((position & kStopLookMask) == 0 && buildStopped(rules)) {
                    stopped = true;
                    return;
                }
                ids[position] = plain ? table[position].hash
                                      : static_cast<uint32_t>(hashLine(compare, table[position]));
            }
        };
        if (plain) {
            hashSide(0); // copies
            hashSide(1);
        } else {
            runTogether([&] { hashSide(0); }, [&] { hashSide(1); });
        }
        if (stopped || stop.stopped(total)) return kNone;
        uint32_t classCount = 0;
        // Right lines mostly follow the left lines they equal, in order: each is first tried
        // against the left line after the last one's partner, which needs no look into the
        // table. A line equal to that one is of its class, however the last one was found.
        const LineRef* left = tables[0];
        uint32_t diagonal = kNone; // the left line tried first
        const auto onDiagonal = [&](uint32_t position, uint32_t ahead) {
            return uint64_t{diagonal} + ahead < counts[0] &&
                   (!plain || left[diagonal + ahead].hash == tables[1][position + ahead].hash);
        };
        for (int side = 0; side < 2; ++side) {
            const LineRef* table = tables[side];
            const uint32_t count = counts[side];
            uint32_t* ids = classOf_[side].get();
            // Each line's bucket and then its first class are asked for from memory ahead of
            // their turn, the class once its bucket has come (on the right, unless the line is
            // likely to be taken by the diagonal).
            const auto bucketOf = [&](uint32_t position) { return &buckets[ids[position] & mask]; };
            for (uint32_t position = 0; position < count; ++position) {
                const LineRef& line = table[position];
                if (side == 1 && onDiagonal(position, 0) &&
                    compareUnder(compare, left[diagonal], line)) {
                    ids[position] = classOf_[0][diagonal++];
                    continue;
                }
                if (position + 2 * kLookAhead < count &&
                    (side == 0 || !plain || !onDiagonal(position, 2 * kLookAhead)))
                    __builtin_prefetch(bucketOf(position + 2 * kLookAhead));
                if (position + kLookAhead < count &&
                    (side == 0 || !plain || !onDiagonal(position, kLookAhead))) {
                    const uint32_t first = *bucketOf(position + kLookAhead);
                    if (first != kNone) __builtin_prefetch(&classes[first]);
                }
                const uint32_t hash = ids[position];
                uint32_t& head = buckets[hash & mask];
                uint32_t id = head;
                while (id != kNone && (classes[id].hash != hash ||
                                       !compareUnder(compare, *classes[id].sample, line)))
                    id = classes[id].next;
                if (id == kNone) {
                    id = classCount++;
                    classes[id] = {&line, hash, head};
                    head = id;
                }
                ids[position] = id;
                const LineRef* sample = classes[id].sample;
                if (side == 1)
                    diagonal = sample >= left && sample < left + counts[0]
                                   ? static_cast<uint32_t>(sample - left) + 1
                                   : kNone;
            }
        }
        return classCount;
    }

    // An array of count entries, not yet written, with its memory taken in a few system calls
    // rather than by a fault a page, which costs a good part of the time on a virtual machine.
    template <typename T>
    static std::unique_ptr<T[]> committedArray(size_t count) {
        std::unique_ptr<T[]> array(new T[count]);
        commitPages(array.get(), count * sizeof(T));
        return array;
    }

    std::unique_ptr<uint32_t[]> classOf_[2];    // per side, by position: the line's class
    std::unique_ptr<uint32_t[]> firstPlace_[2]; // per side, by class: its first entry in places_
    std::unique_ptr<uint32_t[]> places_[2];     // per side: the positions of each class, ascending
    uint32_t classCount_ = 0;
};

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

// Writes the rows of the list: runs of equal lines, and between them the changed stretches, their
// lines paired by likeness.
class RowWriter {
  public:
    // Writes up to capacity rows and the terminator from rows on.
    RowWriter(DiffRow* rows, uint64_t capacity, const LineRef* left, const LineRef* right,
              const EngineRules& rules)
        : rows_(rows), capacity_(capacity), left_(left), right_(right), rules_(rules) {}

    void run(const Run& run) {
        for (uint32_t k = 0; k < run.length; ++k) pair(run.left + k, run.right + k, 1);
    }

    // The lines from left up to leftEnd and right up to rightEnd, which have no equal pair
    // between two runs: a line stands beside its likest partner, the others alone, left lines
    // before right ones. Beyond the bounds of the likeness pairing, they pair in order.
    void changedStretch(uint32_t left, uint32_t leftEnd, uint32_t right, uint32_t rightEnd) {
        const uint32_t leftCount = leftEnd - left;
        const uint32_t rightCount = rightEnd - right;
        if (leftCount > 0 && rightCount > 0 &&
            alike_.pair(left_ + left, leftCount, right_ + right, rightCount, rules_)) {
            const uint32_t leftStart = left;
            const uint32_t rightStart = right;
            for (uint32_t x = 0; x < leftCount; ++x) {
                const uint32_t partner = alike_.partner(x);
                if (partner == kNoPartner) continue;
                for (; left < leftStart + x; ++left) leftOnly(left);
                for (; right < rightStart + partner; ++right) rightOnly(right);
                pairByTest(left++, right++);
            }
        } else {
            for (; left < leftEnd && right < rightEnd; ++left, ++right) pairByTest(left, right);
        }
        for (; left < leftEnd; ++left) leftOnly(left);
        for (; right < rightEnd; ++right) rightOnly(right);
    }

    uint32_t finish() {
        *place() = {nullptr, 0, 0, nullptr, 0, 0, 0};
        return count_ - 1;
    }
    uint32_t count() const { return count_; }

  private:
    // The next row, its page given memory a megabyte ahead.
    DiffRow* place() {
        if (count_ >= committed_) {
            const uint64_t end = std::min<uint64_t>(uint64_t{count_} + kCommitRows, capacity_ + 1);
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

    DiffRow* rows_;
    uint64_t capacity_;
    uint64_t committed_ = 0; // rows below this have their memory
    const LineRef* left_;
    const LineRef* right_;
    const EngineRules& rules_;
    uint32_t count_ = 0;
    AlikePairing alike_;
};

// The equal runs of the histogram alignment of both tables, in order. False when the build was
// stopped; throws std::bad_alloc when memory is short.
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
        if (!classes.build(tables, counts, rules, stop)) return false;
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
    // Every row uses up at least one line, so this is always enough.
    const uint64_t capacity = uint64_t{leftCount} + rightCount + 1;
    auto* rows = capacity > SIZE_MAX / sizeof(DiffRow)
                     ? nullptr
                     : static_cast<DiffRow*>(std::malloc(capacity * sizeof(DiffRow)));
    rowCount = 0;
    if (!rows || capacity - 1 > UINT32_MAX) {
        std::free(rows);
        return nullptr;
    }
    OwnedDiffList list(rows);
    StopLook stop(rules);
    try {
        // The index that finds the runs is given back before the rows take their memory.
        std::vector<Run> runs;
        if (!findRuns(leftTable, leftCount, rightTable, rightCount, rules, stop, runs))
            return nullptr;
        runs.push_back({leftCount, rightCount, 0}); // the ends, after the last stretch
        RowWriter writer(rows, capacity - 1, leftTable, rightTable, rules);
        uint32_t left = 0;
        uint32_t right = 0;
        for (const Run& run : runs) {
            const uint32_t written = writer.count();
            writer.changedStretch(left, run.left, right, run.right);
            writer.run(run);
            left = run.left + run.length;
            right = run.right + run.length;
            if (stop.stopped(writer.count() - written)) return nullptr;
        }
        rowCount = writer.finish();
    } catch (const std::bad_alloc&) {
        rowCount = 0;
        return nullptr;
    }
    return list;
}
