#pragma once
// Which lines of a changed stretch stand level: between two runs of equal lines, a line stands
// beside the line of the other side most like it, so that a changed line is shown next to its new
// version and the inserted and deleted lines around it opposite blanks.

#include "engine/engineRules.h"
#include "engine/lineTable.h"

#include <cstdint>
#include <vector>

inline constexpr uint32_t kNoPartner = UINT32_MAX;

// Weighing every left line of a stretch against every right one costs their pairs times their
// lengths: beyond these bounds (pairs of lines; characters read over all pairs) a stretch is
// paired in order instead. At the bounds a stretch costs 15 to 30 ms of a core (engineBench
// alikeStretch: 512 lines of 14 characters against as many, 270 of 56, 100 of 400).
inline constexpr uint64_t kAlikePairs = uint64_t{1} << 18;
inline constexpr uint64_t kAlikeWork = uint64_t{1} << 23;

// Pairs the lines of changed stretches by likeness, one stretch after another; the buffers it
// needs are kept from one stretch to the next.
class AlikePairing {
  public:
    // Pairs the leftCount lines of left with the rightCount lines of right by likeness under
    // rules: afterwards partner(x) is the index of the right line that left line x stands beside,
    // or kNoPartner. Partners keep the order of both sides, and only lines alike enough are
    // partners: at least half of the pairs of neighbouring characters of both, as compared under
    // the rules (letter case, runs of white space), are found in the other. Among such pairings
    // the one of the greatest total likeness is taken. Returns false for a stretch beyond the
    // bounds above or when memory is short: the caller then pairs the lines in order.
    [[nodiscard]] bool pair(const LineRef* left, uint32_t leftCount, const LineRef* right,
                            uint32_t rightCount, const EngineRules& rules);

    [[nodiscard]] uint32_t partner(uint32_t x) const { return partner_[x]; }

  private:
    std::vector<uint32_t> characterPairs_; // sorted, line after line, left lines first
    std::vector<uint32_t> start_;          // line k's are characterPairs_[start_[k]...start_[k+1])
    std::vector<uint64_t> above_;          // the table's last row of total likeness
    std::vector<uint64_t> row_;            // the row being worked out
    std::vector<uint8_t> steps_;           // how each cell of the table was reached
    std::vector<uint32_t> partner_;
};
