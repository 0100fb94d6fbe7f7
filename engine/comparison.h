#pragma once
// The engine's door: both files cut into line tables and aligned into rows under the rules the
// caller hands in. The view, rowdump and the tests all build their comparisons through here.

#include "engine/diffList.h"
#include "engine/engineRules.h"
#include "engine/lineTable.h"

#include <cstdint>

// One input file as the engine needs it. Its owner keeps everything pointed to alive for as long
// as the tables cut from it.
struct ComparedFile {
    const uint8_t* raw;   // the bytes as stored (hex mode)
    uint64_t rawSize;     // bytes in raw
    const uint8_t* text;  // the decoded text image (text mode)
    uint64_t textSize;    // bytes in text
    bool wideText;        // text holds 16-bit units (moxa decoded the file), else bytes
    bool partial = false; // raw and text are only the file's beginning: the rest is still to come
};

// The two line tables and the aligned list built on them; the list points into the tables' texts.
struct Comparison {
    OwnedLineTable leftTable;
    OwnedLineTable rightTable;
    OwnedDiffList rows;
    uint32_t rowCount = 0; // rows before the list's all-zero row
    // While empty lines are suppressed, the line number in its file of each table entry (a row's
    // numbers are positions in the tables); null otherwise, when the two are the same.
    HeapBlock<uint32_t> leftLines;
    HeapBlock<uint32_t> rightLines;
};

// The number a user knows the line of a row's side by: its line number in the file. position is
// the row's leftNumber (side 0) or rightNumber (side 1); 0, no line, stays 0.
[[nodiscard]] inline uint32_t fileLineNumber(const Comparison& comparison, int side,
                                             uint32_t position) {
    const uint32_t* lines = side == 0 ? comparison.leftLines.get() : comparison.rightLines.get();
    return position == 0 || lines == nullptr ? position : lines[position - 1];
}

// Cuts both tables as the view shows the files: in hex mode rows of hexRowBytes of the raw bytes,
// else each decoded text in its own width. False when memory ran out (the tables are then empty).
[[nodiscard]] bool buildLineTables(Comparison& comparison, const ComparedFile& left,
                                   const ComparedFile& right, uint32_t hexRowBytes,
                                   const EngineRules& rules);

// The beginning of a comparison, worked out from the beginnings of the files alone: enough to
// show the first screen of a long comparison before the whole of it is built.
struct FirstRows {
    Comparison comparison;    // tables of the files' first lines, and the list built on them
    uint32_t settledRows = 0; // rows at the start of that list that the whole list has too
};

// Builds the first rows of the comparison buildLineTables and buildRows would build, from the
// beginnings of both files (or from all there is of a partial file so far). True when at least
// rowsWanted of them are settled; false when the files
// are short enough to be compared whole at once, when their lines are so long that the beginnings
// would take most of the files, under long runs (which look beyond any beginning), or when memory
// ran out.
[[nodiscard]] bool buildFirstRows(FirstRows& first, const ComparedFile& left,
                                  const ComparedFile& right, uint32_t hexRowBytes,
                                  const EngineRules& rules, uint32_t rowsWanted);

// The line count of the longer of the two decoded texts, before any suppression: the largest
// line number the text view can show. Counted side by side at the speed of memory.
[[nodiscard]] uint32_t longerTextLineCount(const ComparedFile& left, const ComparedFile& right);

// Aligns the two tables anew, by the window search or (rules.histogram) by rare lines. False
// when memory ran out (the list is then empty).
[[nodiscard]] bool buildRows(Comparison& comparison, const EngineRules& rules);
