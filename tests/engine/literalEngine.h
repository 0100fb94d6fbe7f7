#pragma once
// The comparison engine written step by step as first designed, without any shortcut: the
// reference that the fast engine must match row for row.

#include "engine/diffList.h"
#include "engine/lineTable.h"

#include <cstdint>
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

} // namespace literal
