#pragma once
// The comparison the view shows: both files cut into line tables and aligned into rows, under the
// rules the settings hold at the time of each build.

#include "engine/diffList.h"
#include "engine/engineRules.h"
#include "engine/lineTable.h"
#include "platform/build.h"

#include <cstdint>

// One input file as the view needs it. The driver owns everything pointed to; the images must
// outlive the tables cut from them.
struct ViewerFile {
    const TChar* name;   // as shown in the pane frame
    const uint8_t* raw;  // the bytes as stored (hex mode)
    uint32_t rawSize;    // bytes in raw
    const uint8_t* text; // the decoded text image (text mode)
    uint32_t textSize;   // bytes in text
};

// The two line tables and the aligned list built on them; the list points into the tables' texts.
struct Comparison {
    OwnedLineTable leftTable;
    OwnedLineTable rightTable;
    OwnedDiffList rows;
    uint32_t rowCount = 0; // rows before the list's all-zero row
};

// The engine's rules from the settings as they are now: letter case, white space, hex mode,
// empty lines, the sync count (-1..-9, else 4), the window (100 with -s, else 600) and the look
// beyond it for long runs (--long-runs, key A). In moxa
// the texts are 16-bit whenever a file was decoded (settings.encodingFlags).
[[nodiscard]] EngineRules currentEngineRules();

// Cuts both tables as the view shows the files: in hex mode rows of hexRowBytes of the raw bytes,
// else each decoded text in its own width. False when memory ran out (the tables are then empty).
[[nodiscard]] bool buildLineTables(Comparison& comparison, const ViewerFile& left,
                                   const ViewerFile& right, uint32_t hexRowBytes,
                                   const EngineRules& rules);

// Aligns the two tables anew. False when memory ran out (the list is then empty).
[[nodiscard]] bool buildRows(Comparison& comparison, const EngineRules& rules);
