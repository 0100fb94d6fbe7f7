#include "engine/diffList.h"

#include "engine/lineCompare.h"
#include "engine/resync.h"
#include "platform/memoryPages.h"
#include "platform/parallel.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

const uint8_t emptyText[2] = {0, 0};

namespace {

constexpr size_t kWorthCommittingAside = size_t{1} << 20;

class RowWriter {
  public:
    RowWriter(DiffRow* rows, const LineRef* left, const LineRef* right)
        : rows_(rows), left_(left), right_(right) {}

    void leftOnly(uint32_t m) {
        rows_[count_++] = {left_[m].text, left_[m].length, m + 1, emptyText, 0, 0, 0};
    }
    void rightOnly(uint32_t l) {
        rows_[count_++] = {emptyText, 0, 0, right_[l].text, right_[l].length, l + 1, 0};
    }
    void pair(uint32_t m, uint32_t l, int32_t match) {
        rows_[count_++] = {left_[m].text,    left_[m].length, m + 1, right_[l].text,
                           right_[l].length, l + 1,           match};
    }
    uint32_t finish() {
        rows_[count_] = {nullptr, 0, 0, nullptr, 0, 0, 0};
        return count_;
    }

  private:
    DiffRow* rows_;
    const LineRef* left_;
    const LineRef* right_;
    uint32_t count_ = 0;
};

} // namespace

OwnedDiffList buildDiffList(const LineRef* leftTable, const LineRef* rightTable,
                            const EngineRules& engineRules, uint32_t& rowCount) {
    if (!leftTable || !rightTable) return nullptr;
    const uint32_t leftCount = countTableLines(leftTable);
    const uint32_t rightCount = countTableLines(rightTable);
    // Every row uses up at least one line, so this is always enough.
    const uint64_t capacity = uint64_t{leftCount} + rightCount + 1;
    auto* rows = capacity > SIZE_MAX / sizeof(DiffRow)
                     ? nullptr
                     : static_cast<DiffRow*>(std::malloc(capacity * sizeof(DiffRow)));
    if (!rows || capacity - 1 > UINT32_MAX) {
        std::free(rows);
        rowCount = 0;
        return nullptr;
    }
    OwnedDiffList list(rows);
    const CompareRules rules = compareRulesOf(engineRules);
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
    // Every line of the longer table has a row of its own. The pages of that many rows get their
    // memory on a second core while the rows are worked out here, where a page fault each would
    // cost a good part of the time; a short list is not worth a thread.
    const size_t surelyUsed = size_t{std::max(leftCount, rightCount)} * sizeof(DiffRow);
    std::optional<HelperThread> committer;
    if (surelyUsed >= kWorthCommittingAside)
        committer.emplace([rows, surelyUsed] { commitPages(rows, surelyUsed); });

    RowWriter writer(rows, leftTable, rightTable);
    uint32_t m = 0;
    uint32_t l = 0;
    for (uint32_t steps = 0; m < leftCount && l < rightCount; ++steps) {
        if ((steps & kStopLookMask) == 0 && buildStopped(engineRules)) {
            rowCount = 0;
            return nullptr;
        }
        // Lines the search has classified compare by class.
        int32_t match = indexed ? index.knownPair(m, l) : -1;
        if (match < 0) match = compareUnder(rules, leftTable[m], rightTable[l]);
        if (!match && !hex) {
            uint32_t newLeft = m;
            uint32_t newRight = l;
            match = indexed ? index.find(newLeft, newRight)
                            : findResync(leftTable, rightTable, newLeft, newRight, engineRules);
            for (; m < newLeft; ++m) writer.leftOnly(m);
            for (; l < newRight; ++l) writer.rightOnly(l);
        }
        writer.pair(m++, l++, match);
    }
    // Once one table has ended, the rest of the other has no partner.
    for (; m < leftCount; ++m) writer.leftOnly(m);
    for (; l < rightCount; ++l) writer.rightOnly(l);
    rowCount = writer.finish();
    return list;
}
