#pragma once
// The comparison engine written step by step as first designed, without any shortcut: the
// reference that the fast engine must match row for row.

#include "engine/diffList.h"
#include "engine/lineTable.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace literal {

int32_t compareLines8(const uint8_t* textA, uint32_t lengthA, const uint8_t* textB,
                      uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite);
int32_t compareLines16(const uint8_t* textA, uint32_t lengthA, const uint8_t* textB,
                       uint32_t lengthB, int32_t ignoreCase, int32_t compressWhite);
int32_t linesEqual(const EngineRules& rules, const LineRef& lineA, const LineRef& lineB);
int32_t findResync(const EngineRules& rules, const LineRef* leftTable, const LineRef* rightTable,
                   uint32_t& leftPos, uint32_t& rightPos, int32_t syncCount, int32_t window);
// The rows before the terminator.
std::vector<DiffRow> buildDiffList(const EngineRules& rules, const LineRef* leftTable,
                                   const LineRef* rightTable);

// The equal pairs (0-based left and right entries) of the histogram alignment, in order, found
// by comparing lines pair by pair: the common beginning and end, then in each stretch between
// them the anchor run (its rarest line the rarest, then the longest, then the first found), the
// stretches before and after it the same way, and a stretch with common lines but no anchor by a
// longest common subsequence.
std::vector<std::pair<uint32_t, uint32_t>>
histogramPairs(const EngineRules& rules, const LineRef* leftTable, const LineRef* rightTable);

} // namespace literal
