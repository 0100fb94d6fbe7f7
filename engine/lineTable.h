#pragma once
// Line tables: a file image cut into lines (text modes) or fixed-size rows (hex mode). Entries
// point into the image and never copy text, so the image must outlive the table.

#include "engine/engineRules.h"
#include "platform/heapBlock.h"

#include <cstdint>

struct LineRef {
    const uint8_t* text; // first character inside the image (a byte, or the first byte of a unit)
    uint32_t length;     // characters without the line end: bytes, or 16-bit units in mode 3
    uint32_t hash = 0;   // text lines: hashLineBytes of the line's bytes; hex rows: 0
};

// Modes of buildLineTable.
inline constexpr int32_t kMode8Bit = 1;  // 8-bit text split at line ends
inline constexpr int32_t kMode16Bit = 3; // UTF-16 LE text split at line ends
// A negative mode -W cuts hex rows of W bytes.

// A table is one block from malloc; its holder gives it back.
using OwnedLineTable = HeapBlock<LineRef>;

// Entries a table holds at most, its terminator aside: line numbers and counts are 32-bit, and
// one past the last entry's number must still be one.
inline constexpr uint32_t kLargestTableLines = UINT32_MAX - 1;

// Cuts image into a table ended by the entry {nullptr, 0}: one block, sized for every line before
// suppression. Offsets into the image are 64-bit; only a line's length is counted in 32 bits. Of
// the rules only suppressEmptyLines and hexMode matter. Returns null when the block cannot be
// allocated, and as well when the table would need more than kLargestTableLines entries or a
// line is longer than UINT32_MAX characters (what no table can hold is reported as memory that
// ran out).
[[nodiscard]] OwnedLineTable buildLineTable(const uint8_t* image, uint64_t sizeInBytes,
                                            int32_t mode, const EngineRules& rules);

// The entries of a table before its terminator.
[[nodiscard]] inline uint32_t countTableLines(const LineRef* table) {
    uint32_t count = 0;
    while (table[count].text) ++count;
    return count;
}

// The lines of a text image (mode 1 or 3) before any suppression: the entries buildLineTable
// gives it without suppression, counted at the speed of memory. More lines than 32 bits count
// give UINT32_MAX, more than any table holds.
[[nodiscard]] uint32_t countTextLines(const uint8_t* image, uint64_t sizeInBytes, int32_t mode);
