#pragma once
// The rules one build of the comparison works under. The caller makes them from its settings at
// the time of each build and hands them in; the engine reads nothing else.

#include <algorithm>
#include <atomic>
#include <cstdint>

struct EngineRules {
    bool wideText = false;           // both texts are 16-bit (their tables were cut in mode 3)
    bool ignoreCase = false;         // letters compare without regard to case
    bool compressWhiteSpace = false; // runs of white space compare equal (never in hex mode)
    bool hexMode = false; // the tables hold hex rows: byte for byte, never resynchronised
    bool suppressEmptyLines = false; // white-space-only lines get no entry (never in hex mode)
    int32_t syncCount = 4;           // equal pairs in a row that count as back in step, 1..9
    int32_t window = 600;            // candidates tried on each side of a search: 600, or 100
    // When nothing inside the window has an equal pair, the nearest skip beyond it after which
    // syncCount pairs are equal is taken, so an insertion of any length is passed over.
    bool longRuns = false;
    // The lists are aligned by their rare lines (engine/histogram.h) instead of the window
    // search, whose rules (syncCount, window, longRuns) then do not apply. Hex rows pair by
    // offset either way.
    bool histogram = false;
    // Not a rule: the lines each table needs before its list is worked out in two halves on two
    // cores at once (the rows are the same either way; tests lower it to try it on small tables).
    uint32_t splitFrom = 1u << 16;
    // Not a rule: a build that is no longer wanted. While it is set, the table and list builds
    // give up soon and return null, as when memory runs out. Null: the build always runs to its
    // end.
    const std::atomic<bool>* stop = nullptr;
    // Not a rule: where the aligning of the rows has got, 0 to 100 percent, for someone waiting
    // on the build to show; written now and then while it runs. Null: not told.
    std::atomic<uint32_t>* percentAligned = nullptr;
};

// Tells whoever waits on a build how far its aligning has got: done of total steps.
inline void tellProgress(const EngineRules& rules, uint64_t done, uint64_t total) {
    if (rules.percentAligned != nullptr && total > 0)
        rules.percentAligned->store(
            static_cast<uint32_t>(std::min<uint64_t>(done * 100 / total, 100)),
            std::memory_order_relaxed);
}

// Whether a build under rules has been told to give up.
[[nodiscard]] inline bool buildStopped(const EngineRules& rules) {
    return rules.stop != nullptr && rules.stop->load(std::memory_order_relaxed);
}

// Lines or rows handled between two looks at the stop flag: a few milliseconds of work at most.
inline constexpr uint32_t kStopLookMask = (1u << 16) - 1;

// How two lines compare under a build's rules: hex rows byte for byte, never with compression.
struct CompareRules {
    bool wideText; // compareLines16 (16-bit text); else compareLines8
    bool ignoreCase;
    bool compressWhite;
};

[[nodiscard]] inline CompareRules compareRulesOf(const EngineRules& rules) {
    return {rules.wideText && !rules.hexMode, rules.ignoreCase,
            rules.compressWhiteSpace && !rules.hexMode};
}
