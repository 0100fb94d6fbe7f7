#pragma once
// The aligned list of rows the viewer shows: each row holds the left line, the right line or
// both, and whether they compare equal under the current rules.

#include "engine/lineTable.h"

#include <cstdint>

struct DiffRow {
    const uint8_t* leftText;  // the left line's text; emptyText without a left line
    uint32_t leftLength;      // 0 without a left line
    uint32_t leftNumber;      // 1-based position in the left table; 0 without a left line
    const uint8_t* rightText; // the right line's text; emptyText without a right line
    uint32_t rightLength;     // 0 without a right line
    uint32_t rightNumber;     // 1-based position in the right table; 0 without a right line
    int32_t match;            // paired rows: 1 equal, 0 different; one-sided rows: 0
};

// The shared text of a missing side: one zero 16-bit unit, never written or freed.
extern const uint8_t emptyText[2];

// A list is one block from malloc; its holder gives it back.
using OwnedDiffList = HeapBlock<DiffRow>;

// A block for the rows of tables of leftCount and rightCount lines and their all-zero end: every
// row uses up at least one line, so that many rows are always enough. Null when memory is short,
// or when the rows could not be counted in 32 bits.
[[nodiscard]] OwnedDiffList allocateDiffList(uint32_t leftCount, uint32_t rightCount);

// Aligns the two tables under rules into rows ended by an all-zero row: one block with room for a
// row per line of both tables. rowCount receives the number of rows before the terminator.
// Returns null for a null table (rowCount untouched) or when memory is short (rowCount 0), also
// for the index that rules.longRuns needs.
[[nodiscard]] OwnedDiffList buildDiffList(const LineRef* leftTable, const LineRef* rightTable,
                                          const EngineRules& rules, uint32_t& rowCount);
