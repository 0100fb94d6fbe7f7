#pragma once
// The second way of aligning two tables: by their rare lines, as git's histogram diff does,
// rather than by the window search. Within a stretch of both tables, the common line that
// occurs least often in it is taken as an anchor, widened to the run of equal lines around it,
// and the stretches before and after the run are aligned the same way. The lines left between
// two equal runs are then paired by likeness: a changed line stands beside its new version,
// inserted and deleted lines opposite blanks.

#include "engine/diffList.h"

#include <cstdint>

// Lines that occur more often than this on either side of a stretch are never anchors: they are
// the blank lines and braces that would tie unrelated text together.
inline constexpr uint32_t kHistogramCountCap = 64;

// Aligns the two tables under rules as buildDiffList does, into the same kind of list: rows ended
// by an all-zero row in one block with room for a row per line of both tables; rowCount receives
// the number of rows before the terminator. Equal pairs have match 1, pairs of differing (alike)
// lines match 0, lines without a partner are one-sided rows. The syncCount, window and longRuns
// rules do not apply; in hex mode the rows are buildDiffList's (rows pair by offset). Returns
// null for a null table (rowCount untouched), and with rowCount 0 when memory is short or
// rules.stop was set.
[[nodiscard]] OwnedDiffList buildHistogramList(const LineRef* leftTable, const LineRef* rightTable,
                                               const EngineRules& rules, uint32_t& rowCount);
