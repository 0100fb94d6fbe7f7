#include "engine/diffList.h"

#include "engine/lineCompare.h"
#include "engine/resync.h"
#include "platform/memoryPages.h"
#include "platform/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>

const uint8_t emptyText[2] = {0, 0};

namespace {

constexpr size_t kWorthCommittingAside = size_t{1} << 20;
// Rows whose pages a writer that commits its own gives memory at a time: a megabyte.
constexpr uint32_t kCommitRows = (1u << 20) / sizeof(DiffRow);

class RowWriter {
  public:
    // Writes rows from rows on. With commitOwn, the pages ahead of the writing get their memory a
    // megabyte at a time, up to end (exclusive), while they are about to be written.
    RowWriter(DiffRow* rows, const LineRef* left, const LineRef* right, bool commitOwn = false,
              uint64_t end = 0)
        : rows_(rows), left_(left), right_(right), commitOwn_(commitOwn), end_(end) {}

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
    uint32_t count() const { return count_; }
    uint32_t finish() {
        rows_[count_] = {nullptr, 0, 0, nullptr, 0, 0, 0};
        return count_;
    }

    // Rows from limit on go to aside (room for every row to the end) until settle(): the block
    // holds another writer's rows from there.
    void holdBack(uint32_t limit, DiffRow* aside) {
        limit_ = limit;
        aside_ = aside;
    }
    // The rows held aside.
    uint32_t heldBack() const { return count_ > limit_ ? count_ - limit_ : 0; }
    // Moves the rows held aside into the block, once it is free from the limit on, and writes
    // there again.
    void settle() {
        if (heldBack() > 0) {
            commitPages(rows_ + limit_, size_t{heldBack()} * sizeof(DiffRow));
            std::memcpy(rows_ + limit_, aside_, size_t{heldBack()} * sizeof(DiffRow));
        }
        limit_ = UINT32_MAX;
    }

  private:
    DiffRow* place() {
        if (count_ >= limit_) return aside_ + (count_++ - limit_);
        if (commitOwn_ && count_ >= committed_) commitAhead();
        return rows_ + count_++;
    }
    void commitAhead() {
        const uint64_t to =
            std::min<uint64_t>(uint64_t{std::max(committed_, count_)} + kCommitRows, end_);
        if (to > count_) commitPages(rows_ + count_, (to - count_) * sizeof(DiffRow));
        committed_ = static_cast<uint32_t>(to);
        if (committed_ <= count_) commitOwn_ = false; // the end is reached
    }

    DiffRow* rows_;
    const LineRef* left_;
    const LineRef* right_;
    uint32_t count_ = 0;
    bool commitOwn_;
    uint64_t end_;
    uint32_t committed_ = 0;
    uint32_t limit_ = UINT32_MAX;
    DiffRow* aside_ = nullptr;
};

// The aligner's step from lines m and l, which both tables have: the rows of the lines that have
// no partner, then the pair it stands on. The rows that follow depend on nothing but m and l.
class Aligner {
  public:
    Aligner(const LineRef* left, const LineRef* right, const EngineRules& rules, ResyncIndex* index)
        : left_(left), right_(right), engineRules_(rules), rules_(compareRulesOf(rules)),
          index_(index) {}

    void step(uint32_t& m, uint32_t& l, RowWriter& writer) {
        // Lines the search has classified compare by class.
        int32_t match = index_ ? index_->knownPair(m, l) : -1;
        if (match < 0) match = compareUnder(rules_, left_[m], right_[l]);
        if (!match && !engineRules_.hexMode) {
            uint32_t newLeft = m;
            uint32_t newRight = l;
            match = index_ ? index_->find(newLeft, newRight)
                           : findResync(left_, right_, newLeft, newRight, engineRules_);
            for (; m < newLeft; ++m) writer.leftOnly(m);
            for (; l < newRight; ++l) writer.rightOnly(l);
        }
        writer.pair(m++, l++, match);
    }

  private:
    const LineRef* left_;
    const LineRef* right_;
    const EngineRules& engineRules_;
    CompareRules rules_;
    ResyncIndex* index_;
};

// Where a step of the aligner starts: lines m and l, and in the second half, the number of its
// rows written before it.
struct AlignerState {
    uint32_t m;
    uint32_t l;
    uint32_t row;
};

// The rows from a state in the middle of both tables, worked out on a second core while the
// first half is worked out from the beginning. The steps from a state depend on it alone: once
// the first half steps from a state the second half stepped from, the second half's rows from
// there on are the rest of the list.
class SecondHalf {
  public:
    // Starts the work; its rows go to rows, which has room for every row to the ends of both
    // tables.
    SecondHalf(const LineRef* left, uint32_t leftCount, const LineRef* right, uint32_t rightCount,
               const EngineRules& rules, AlignerState start, DiffRow* rows)
        : left_(left), right_(right), counts_{leftCount, rightCount}, rules_(rules), start_(start),
          rows_(rows) {
        thread_.emplace([this] { work(); });
    }
    // Told to give up, and waited for.
    ~SecondHalf() {
        cancelled_.store(true, std::memory_order_relaxed);
        thread_.reset();
    }
    // Waits for the end of the rows; false when they were not all worked out.
    bool finish() {
        thread_.reset();
        return whole_;
    }

    DiffRow* rows() const { return rows_; }
    uint32_t count() const { return count_; }
    // Rows written so far: they may be read.
    uint32_t published() const { return published_.load(std::memory_order_acquire); }
    bool ended() const { return ended_.load(std::memory_order_acquire); }

  private:
    // On its helper thread memory that runs out ends nothing (platform/parallel.h): an
    // allocation that fails throws std::bad_alloc there, the index's init answers false, and the
    // first half goes on alone. Work that ends any other way before its last step is not whole
    // either.
    void work() {
        ResyncIndex index;
        if (!index.init(left_, counts_[0], right_, counts_[1], rules_)) {
            ended_.store(true, std::memory_order_release);
            return;
        }
        Aligner aligner(left_, right_, rules_, &index);
        const uint64_t capacity = uint64_t{counts_[0] - start_.m} + (counts_[1] - start_.l);
        RowWriter writer(rows_, left_, right_, true, capacity);
        uint32_t m = start_.m;
        uint32_t l = start_.l;
        for (uint32_t steps = 0; m < counts_[0] && l < counts_[1]; ++steps) {
            if ((steps & kStopLookMask) == 0 &&
                (cancelled_.load(std::memory_order_relaxed) || buildStopped(rules_))) {
                ended_.store(true, std::memory_order_release);
                return;
            }
            aligner.step(m, l, writer);
            published_.store(writer.count(), std::memory_order_release);
        }
        for (; m < counts_[0]; ++m) writer.leftOnly(m);
        for (; l < counts_[1]; ++l) writer.rightOnly(l);
        count_ = writer.count();
        whole_ = true;
        published_.store(count_, std::memory_order_release);
        ended_.store(true, std::memory_order_release);
    }

    const LineRef* left_;
    const LineRef* right_;
    uint32_t counts_[2];
    const EngineRules& rules_;
    AlignerState start_;
    DiffRow* rows_;
    uint32_t count_ = 0;
    bool whole_ = false; // every row was worked out: set by the work's last step alone
    std::atomic<uint32_t> published_{0};
    std::atomic<bool> ended_{false};
    std::atomic<bool> cancelled_{false};
    std::optional<HelperThread> thread_;
};

// Whether the syncCount pairs from (m, l) on are all there and equal; under plain rules, lines
// of different hashes differ.
bool inStepFrom(const LineRef* left, const LineRef* right, uint32_t m, uint32_t l,
                const CompareRules& compare, bool plain, int32_t syncCount) {
    for (int32_t k = 0; k < syncCount; ++k) {
        const LineRef& a = left[m + k];
        const LineRef& b = right[l + k];
        if (!a.text || !b.text || (plain && a.hash != b.hash) || !compareUnder(compare, a, b))
            return false;
    }
    return true;
}

// A state in the middle that the steps from the beginning are likely to pass through: lines
// about halfway down the left table that stand in step with lines about as far down the right
// one. False when none is found near there. Under plain rules the tables' hashes rule out
// nearly every candidate at once, so the look goes far; else every candidate costs a comparison.
bool findMiddle(const LineRef* left, uint32_t leftCount, const LineRef* right, uint32_t rightCount,
                const EngineRules& rules, AlignerState& middle) {
    const CompareRules compare = compareRulesOf(rules);
    const bool plain = !compare.ignoreCase && !compare.compressWhite;
    const uint32_t reach =
        plain ? 1u << 15 : std::min(2 * static_cast<uint32_t>(rules.window), 1u << 12);
    for (uint32_t attempt = 0; attempt < 4; ++attempt) {
        const uint32_t m = leftCount / 2 + attempt * 61;
        if (m >= leftCount) break;
        const auto guess = static_cast<uint32_t>(uint64_t{m} * rightCount / leftCount);
        for (uint32_t distance = 0; distance <= reach; ++distance) {
            for (int sign = 0; sign < (distance ? 2 : 1); ++sign) {
                const int64_t l = sign ? int64_t{guess} - distance : int64_t{guess} + distance;
                if (l < 0 || l >= rightCount) continue;
                if (inStepFrom(left, right, m, static_cast<uint32_t>(l), compare, plain,
                               rules.syncCount)) {
                    middle = {m, static_cast<uint32_t>(l), 0};
                    return true;
                }
            }
        }
    }
    return false;
}

// Rows the first half gets before the second half's begin: as many as the longer side has lines
// before the middle, and an eighth of the shorter side more for differences.
uint32_t roomBeforeMiddle(AlignerState middle, const EngineRules& rules) {
    const uint64_t longer = std::max(middle.m, middle.l);
    return static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{middle.m} + middle.l,
                           longer + std::min(middle.m, middle.l) / 8 + rules.window + 1));
}

// The list on two cores: the first half from the beginning on this thread, the second from a
// state in the middle on a helper thread, its rows from firstRoom on, joined where their steps
// meet. Rows of the first half beyond firstRoom are held aside (room for all of them; memory is
// taken only as they are written) and moved in when the halves join. When they do not meet (or
// the second half could not be worked out), this thread goes on alone to the end. Returns the
// row count, or nullopt when the build was stopped.
std::optional<uint32_t> alignOnTwoCores(DiffRow* rows, uint64_t capacity, const LineRef* left,
                                        uint32_t leftCount, const LineRef* right,
                                        uint32_t rightCount, const EngineRules& rules,
                                        ResyncIndex& index, AlignerState middle, uint32_t firstRoom,
                                        DiffRow* aside) {
    std::optional<SecondHalf> second;
    second.emplace(left, leftCount, right, rightCount, rules, middle, rows + firstRoom);

    Aligner aligner(left, right, rules, &index);
    RowWriter writer(rows, left, right, true, capacity - 1);
    writer.holdBack(firstRoom, aside);
    // Without the second half, its rows are given up and the first half's go in their place.
    const auto goOnAlone = [&] {
        second.reset();
        writer.settle();
    };
    uint32_t m = 0;
    uint32_t l = 0;
    AlignerState met = middle; // the second half's state the first half looks out for
    uint32_t scanned = 0;      // the second half's rows looked at for its states
    bool joined = false;
    for (uint32_t steps = 0; m < leftCount && l < rightCount; ++steps) {
        if ((steps & kStopLookMask) == 0) {
            if (buildStopped(rules)) return std::nullopt;
            // The second half is as far on as this one: they meet in the middle.
            tellProgress(rules, m, second ? middle.m : leftCount);
        }
        if (second && m >= middle.m) {
            // The second half's first state on or after line m of the left table.
            while (second && met.m < m) {
                const uint32_t published = second->published();
                const DiffRow* found = nullptr;
                for (; scanned < published && !found; ++scanned) {
                    const DiffRow& row = second->rows()[scanned];
                    if (row.leftNumber != 0 && row.rightNumber != 0) found = &row;
                }
                if (found)
                    met = {found->leftNumber, found->rightNumber, scanned};
                else if (second->ended() && scanned >= second->published())
                    goOnAlone(); // its steps ended before line m: they cannot meet
                else if (!second->ended())
                    goOnAlone(); // this half has overtaken it
            }
            if (second && met.m == m && met.l == l) {
                if (second->finish()) {
                    joined = true;
                    break;
                }
                goOnAlone(); // its rows are not all there
            }
        }
        aligner.step(m, l, writer);
    }
    if (!joined) {
        if (second) goOnAlone();
        for (; m < leftCount; ++m) writer.leftOnly(m);
        for (; l < rightCount; ++l) writer.rightOnly(l);
        return writer.finish();
    }
    // The second half's rows from the meeting state on follow the first half's, those held
    // aside between them.
    const uint32_t firstCount = writer.count();
    const uint32_t held = writer.heldBack();
    const uint32_t rest = second->count() - met.row;
    std::memmove(rows + firstCount, second->rows() + met.row, size_t{rest} * sizeof(DiffRow));
    if (held > 0) std::memcpy(rows + firstRoom, aside, size_t{held} * sizeof(DiffRow));
    const uint32_t count = firstCount + rest;
    rows[count] = {nullptr, 0, 0, nullptr, 0, 0, 0};
    return count;
}

} // namespace

OwnedDiffList allocateDiffList(uint32_t leftCount, uint32_t rightCount) {
    const uint64_t capacity = uint64_t{leftCount} + rightCount + 1;
    if (capacity - 1 > UINT32_MAX || capacity > SIZE_MAX / sizeof(DiffRow)) return nullptr;
    return OwnedDiffList(static_cast<DiffRow*>(std::malloc(capacity * sizeof(DiffRow))));
}

OwnedDiffList buildDiffList(const LineRef* leftTable, const LineRef* rightTable,
                            const EngineRules& engineRules, uint32_t& rowCount) {
    if (!leftTable || !rightTable) return nullptr;
    const uint32_t leftCount = countTableLines(leftTable);
    const uint32_t rightCount = countTableLines(rightTable);
    const uint64_t capacity = uint64_t{leftCount} + rightCount + 1;
    OwnedDiffList list = allocateDiffList(leftCount, rightCount);
    if (!list) {
        rowCount = 0;
        return nullptr;
    }
    DiffRow* rows = list.get();
    const bool hex = engineRules.hexMode;
    // The index only speeds the search up; without it the plain search gives the same rows.
    ResyncIndex index;
    const bool indexed =
        !hex && index.init(leftTable, leftCount, rightTable, rightCount, engineRules);
    if (!indexed && !hex && engineRules.longRuns) {
        // Without its index the look beyond the window compares line after line to the ends of
        // both files, on every row where nothing matches: hours on large files. Memory is short.
        rowCount = 0;
        return nullptr;
    }
    // Long tables are aligned in two halves at once (a skip beyond the window, as long runs
    // take, could pass over the middle: they are aligned in one).
    AlignerState middle{};
    if (indexed && !engineRules.longRuns && leftCount >= std::max(engineRules.splitFrom, 1u) &&
        rightCount >= std::max(engineRules.splitFrom, 1u) &&
        findMiddle(leftTable, leftCount, rightTable, rightCount, engineRules, middle)) {
        const uint32_t firstRoom = roomBeforeMiddle(middle, engineRules);
        OwnedDiffList aside(
            static_cast<DiffRow*>(std::malloc(size_t(capacity - firstRoom) * sizeof(DiffRow))));
        if (aside) {
            std::optional<uint32_t> count =
                alignOnTwoCores(rows, capacity, leftTable, leftCount, rightTable, rightCount,
                                engineRules, index, middle, firstRoom, aside.get());
            rowCount = count.value_or(0);
            if (!count) return nullptr;
            return list;
        }
    }
    // Every line of the longer table has a row of its own. The pages of that many rows get their
    // memory on a second core while the rows are worked out here, where a page fault each would
    // cost a good part of the time; a short list is not worth a thread.
    const size_t surelyUsed = size_t{std::max(leftCount, rightCount)} * sizeof(DiffRow);
    std::optional<HelperThread> committer;
    if (surelyUsed >= kWorthCommittingAside)
        committer.emplace([rows, surelyUsed] { commitPages(rows, surelyUsed); });

    Aligner aligner(leftTable, rightTable, engineRules, indexed ? &index : nullptr);
    RowWriter writer(rows, leftTable, rightTable);
    uint32_t m = 0;
    uint32_t l = 0;
    for (uint32_t steps = 0; m < leftCount && l < rightCount; ++steps) {
        if ((steps & kStopLookMask) == 0) {
            if (buildStopped(engineRules)) {
                rowCount = 0;
                return nullptr;
            }
            tellProgress(engineRules, m, leftCount);
        }
        aligner.step(m, l, writer);
    }
    // Once one table has ended, the rest of the other has no partner.
    for (; m < leftCount; ++m) writer.leftOnly(m);
    for (; l < rightCount; ++l) writer.rightOnly(l);
    rowCount = writer.finish();
    return list;
}
