#pragma once
// Where the two tables fall back into step after a difference: a bounded greedy look-ahead that
// passes over up to window - 1 lines on one side at a time.

#include "engine/lineCompare.h"
#include "engine/lineTable.h"
#include "engine/longRuns.h"

#include <cstdint>
#include <vector>

// At positions leftPos and rightPos (0-based entries): if one table has ended, moves the other
// position to its end and returns 0. Otherwise keeps both positions when the current lines are
// equal (result 1) or nothing scores better, or moves exactly one of them forward past the lines
// that have no partner; returns the pair test of the lines the positions then stand on. A
// candidate scores the number of equal pairs among its next syncCount pairs; the higher score
// wins, then the shorter skip, then passing over right lines. With rules.longRuns, when no
// candidate scores above 0, the nearest skip beyond the window after which syncCount pairs are
// equal is taken (the shorter, then over right lines), found here by comparing line after line.
// syncCount and window come from rules; hex rows never move. Allocates nothing.
[[nodiscard]] int32_t findResync(const LineRef* leftTable, const LineRef* rightTable,
                                 uint32_t& leftPos, uint32_t& rightPos, const EngineRules& rules);

// The same search for one build of the aligned list, made fast by an index of the lines inside the
// look-ahead windows: every line there gets a class (equal lines, and only those, share one,
// confirmed by the real comparison), and a candidate is only looked at when one of its pairs is
// equal. The windows slide forward with the positions, so each line is classified about once and
// the index stays small whatever the size of the tables. With rules.longRuns a second index holds
// the classes of both whole files for the look beyond the window. Results are those of
// findResync.
class ResyncIndex {
  public:
    // Sets up for two tables of leftCount and rightCount lines under the rules of the build.
    // Returns false when memory is short or the limits are outside what the index serves (then
    // use findResync).
    [[nodiscard]] bool init(const LineRef* leftTable, uint32_t leftCount, const LineRef* rightTable,
                            uint32_t rightCount, const EngineRules& rules);

    // findResync at two positions that both have a line and whose lines differ (text lines, not
    // hex rows). Positions may go back; the index then starts over.
    [[nodiscard]] int32_t find(uint32_t& leftPos, uint32_t& rightPos);

    // The pair test read from the classes when both lines are indexed (1 or 0), else -1.
    [[nodiscard]] int32_t knownPair(uint32_t leftPos, uint32_t rightPos) const {
        if (leftPos < sides_[0].low || leftPos >= sides_[0].high || rightPos < sides_[1].low ||
            rightPos >= sides_[1].high)
            return -1;
        return classOf(0, leftPos) == classOf(1, rightPos) ? 1 : 0;
    }

  private:
    static constexpr uint32_t kNone = UINT32_MAX;

    struct Side {
        const LineRef* table = nullptr;
        uint32_t count = 0;
        uint32_t low = 0; // lines [low, high) are indexed
        uint32_t high = 0;
        std::vector<uint32_t> classOf;  // ring by position: the line's class
        std::vector<uint32_t> nextSame; // ring by position: next indexed line of the same class
    };

    // Lines that compare equal; lives while one of its lines is indexed.
    struct LineClass {
        uint64_t hash;    // of its lines (without long runs)
        LineRef sample;   // one line of the class, which the others were confirmed against
        uint32_t members; // indexed lines of the class, both sides
        uint32_t nextInBucket;
        uint32_t first[2]; // per side: its first and last indexed line, in order
        uint32_t last[2];
        uint32_t wholeFileClass; // with long runs: its class in the whole-file index
    };

    void slide(int side, uint32_t low, uint32_t high);
    // The class of a line entering the window, taken (with no members yet) when it has none.
    uint32_t classifyLine(int side, uint32_t position);
    // A free class, made the class of sample's lines with no members yet.
    uint32_t takeClass(uint64_t hash, const LineRef& sample, uint32_t nextInBucket);
    void addLine(int side, uint32_t position);
    void dropFirstLine(int side);
    uint32_t classOf(int side, uint32_t position) const {
        return sides_[side].classOf[position & ringMask_];
    }
    // Candidates of one scan, nearest first: skips of 0 to window - 1 lines over side `skipped`
    // (the other side held at heldPos) that have at least one equal pair among their next
    // syncCount pairs. Each pair k follows the class list of held line heldPos + k on the
    // skipped side; a skip's score is the number of lists that reach it.
    void startCandidates(int skipped, uint32_t heldPos, uint32_t skipPos);
    // The next candidate's skip and score; false when there is none.
    bool nextCandidate(int skipped, uint32_t& skip, int32_t& score);

    Side sides_[2];
    uint32_t ringMask_ = 0;
    std::vector<LineClass> classes_;
    std::vector<uint32_t> freeClasses_;
    std::vector<uint32_t> buckets_;
    uint32_t bucketMask_ = 0;
    struct Cursor {
        uint32_t position; // next line of the class list on the skipped side
        uint32_t end;      // the list is followed up to here, exclusive
        uint32_t pair;     // k: the list's line stands k after the skip
    };
    std::vector<Cursor> cursors_;
    uint32_t skipPos_ = 0;
    CompareRules rules_{};
    uint32_t syncCount_ = 0;
    uint32_t window_ = 0;
    bool longRuns_ = false;
    // With long runs the lines come classified from the whole-file index, so none is hashed
    // twice: its classes map to the window's, which are taken while they have indexed lines.
    LongRunIndex longRunIndex_;
    std::vector<uint32_t> windowClassOf_; // by whole-file class: the window's class, or kNone
};
