#pragma once
// Settings: the toggles of the comparison view and the rules they make for the engine. The
// command line sets them once at the start (app/options.h); from then on the view owns its copy,
// changes it by its keys, and hands it to the renderer, the search and the row formatter as a
// parameter. Nothing else keeps or writes one.

#include "engine/engineRules.h"

#include <cstdint>

struct Settings {
    int32_t ignoreCase = 0;         // 1: lines compare without regard to letter case (-c, key C)
    int32_t tabWidth = 4;           // tab expansion width, 1..9 (keys 1..9)
    int32_t horizontalSplit = 1;    // 1: panes one above the other; 0: side by side (-v, key S)
    int32_t suppressEmptyLines = 0; // 1: white-space-only lines get no line-table entry (-e, E)
    int32_t hideLineNumbers = 0;    // 1: no number column in text mode (-l, -n, keys L and N)
    int32_t shortSyncScan = 0;      // 1: resynchronisation looks 100 lines ahead, else 600 (-s)
    int32_t compressWhiteSpace = 0; // 1: runs of white space compare equal (-w, key W)
    int32_t syncLines = 0;          // equal lines needed to resynchronise, 1..9; 0 means 4
    int32_t hexMode = 0;            // 1: hex dump instead of text (-h, key H)
    int32_t highlightDiffChars = 0; // 1: differing characters inside differing lines stand out
    int32_t ansiCharset = 0;        // 0: 8-bit text shown in the OEM code page; 1: ANSI (-o, O)
    int32_t hideMenu = 0;           // 1: the three menu lines are not shown (-m, key M)
    int32_t alignment = 0;          // kAlignWindow, kAlignLongRuns, kAlignHistogram (--align, A)
    int32_t fold = 0;               // 1: long equal runs show as one row (--context, key F)
    int32_t contextRows = 3;        // equal rows a fold keeps in sight at each end (--context=N)
    int32_t wrap = 0;               // 1: rows wider than their pane wrap (--wrap, key Z)
};

// Most rows of context a fold keeps at each end of its run (Settings::contextRows).
inline constexpr int32_t kMaxContextRows = 999;

// How the rows are aligned (Settings::alignment).
inline constexpr int32_t kAlignWindow = 0;    // the window search: the default
inline constexpr int32_t kAlignLongRuns = 1;  // the window search, passing over longer runs
inline constexpr int32_t kAlignHistogram = 2; // by rare lines, similar lines paired

// The engine's rules from the settings: letter case, white space, hex mode, empty lines, the sync
// count (-1..-9, else 4), the window (100 with -s, else 600), and the alignment. wideText: the
// texts are 16-bit (moxa decoded a file).
[[nodiscard]] inline EngineRules engineRules(const Settings& settings, bool wideText) {
    EngineRules rules;
    rules.wideText = wideText;
    rules.ignoreCase = settings.ignoreCase != 0;
    rules.compressWhiteSpace = settings.compressWhiteSpace != 0;
    rules.hexMode = settings.hexMode != 0;
    rules.suppressEmptyLines = settings.suppressEmptyLines != 0;
    rules.syncCount = settings.syncLines == 0 ? 4 : settings.syncLines;
    rules.window = settings.shortSyncScan ? 100 : 600;
    rules.longRuns = settings.alignment == kAlignLongRuns;
    rules.histogram = settings.alignment == kAlignHistogram;
    return rules;
}
