#pragma once
// Settings: the process-wide record of options and toggles. Written by the option parser, the
// driver and the viewer's keys only; the view and the console read it at the time of each call.
// The engine never does: each build hands it rules made from this record (viewer/comparison.h).

#include <cstdint>

struct Settings {
    // Option block: reset to zero as a whole at the start of option parsing.
    int32_t batchMode;          // 1: no display or keyboard, verdict and exit code only (-b)
    int32_t ignoreCase;         // 1: lines compare without regard to letter case (-c, key C)
    int32_t tabWidth;           // tab expansion width, 1..9; 4 after parsing (keys 1..9)
    int32_t horizontalSplit;    // 1: panes one above the other; 0: side by side (-v, key S)
    int32_t suppressEmptyLines; // 1: white-space-only lines get no line-table entry (-e, key E)
    int32_t hideLineNumbers;    // 1: no number column in text mode (-l, -n, keys L and N)
    int32_t shortSyncScan;      // 1: resynchronisation looks 100 lines ahead, else 600 (-s)
    int32_t compressWhiteSpace; // 1: runs of white space compare equal (-w, key W)
    int32_t syncLines;          // equal lines needed to resynchronise, 1..9; 0 means 4 (-1..-9)
    int32_t hexMode;            // 1: hex dump instead of text (-h, key H)
    int32_t highlightDiffChars; // 1: differing characters inside differing lines stand out (-d)
    int32_t hostMode;           // 1: names go through the matcher, messages are silent (-z)
    int32_t badOption;          // 1: an unknown option was seen
    int32_t ansiCharset;        // 0: 8-bit text shown in the OEM code page; 1: ANSI (-o, key O)
    int32_t screenRows;         // requested console height; 0 = keep (-aYY)
    int32_t screenColumns;      // requested console width; 0 = keep (-aYY,XX)
    int32_t hideMenu;           // 1: the three menu lines are not shown (-m, key M)
    int32_t longRuns;           // 1: runs longer than the window are passed over (--long-runs, A)
    // Set by the driver after loading.
    uint32_t encodingFlags; // how each file's text was decoded, one nibble per file
    int32_t offsetDigits;   // hex digits of the larger file size, at least 1
};

extern Settings settings;

// encodingFlags bits: file 1 in the low nibble, file 2 in the next.
inline constexpr uint32_t kFile1Utf16 = 0x01; // recognised as UTF-16 LE, text is the raw image
inline constexpr uint32_t kFile1Utf8 = 0x02;  // UTF-8 (signed, or valid text), made UTF-16
inline constexpr uint32_t kFile1Ansi = 0x04;  // 8-bit converted to UTF-16 to match file 2
inline constexpr uint32_t kFile2Utf16 = 0x10;
inline constexpr uint32_t kFile2Utf8 = 0x20;
inline constexpr uint32_t kFile2Ansi = 0x40;
