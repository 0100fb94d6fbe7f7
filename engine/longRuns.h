#pragma once
// Passing over runs of lines longer than the search window: an index of line classes over both
// whole files (equal lines, and only those, share a class) with the places where each class
// occurs on each side, so that the nearest skip after which syncCount pairs are equal is found
// without comparing lines again.

#include "engine/engineRules.h"
#include "engine/lineTable.h"

#include <cstdint>
#include <vector>

class LongRunIndex {
  public:
    // Classifies every line of both tables (leftCount and rightCount lines) under rules. Returns
    // false when memory is short.
    [[nodiscard]] bool init(const LineRef* leftTable, uint32_t leftCount, const LineRef* rightTable,
                            uint32_t rightCount, const CompareRules& rules);

    // The class of a line of side 0 (left) or 1 (right).
    [[nodiscard]] uint32_t classOf(int side, uint32_t position) const {
        return classOf_[side][position];
    }

    // Classes are numbered from 0 up to this count.
    [[nodiscard]] uint32_t classCount() const {
        return static_cast<uint32_t>(firstPlace_[0].size() - 1);
    }

    // The nearest pure skip of at least minSkip lines after which syncCount line pairs, all
    // there, are equal: right lines passed over with left line m held (rightSkip set), or left
    // lines with right line l held (leftSkip set). The shorter skip wins, then passing over right
    // lines. Returns false, with both skips 0, when there is none.
    [[nodiscard]] bool nearestRun(uint32_t m, uint32_t l, uint32_t syncCount, uint32_t minSkip,
                                  uint32_t& leftSkip, uint32_t& rightSkip) const;

  private:
    // The nearest skip on side `skipped` of at least minSkip and below `limit`, the other side
    // held at heldPos; `limit` when there is none.
    uint64_t nearestOn(int skipped, uint32_t heldPos, uint32_t skipPos, uint32_t syncCount,
                       uint64_t minSkip, uint64_t limit) const;

    uint32_t counts_[2] = {0, 0};
    std::vector<uint32_t> classOf_[2];    // per side, by position: the line's class
    std::vector<uint32_t> firstPlace_[2]; // per side, by class: its first entry in places_
    std::vector<uint32_t> places_[2];     // per side: the positions of each class, ascending
};
