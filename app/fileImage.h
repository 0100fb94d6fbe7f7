#pragma once
// One loaded input file: its bytes as stored and the text the line tables are built from. The
// image owns its blocks: they go with it.

#include "platform/heapBlock.h"

#include <cstdint>

struct FileImage {
    HeapBlock<uint8_t> raw;        // the file's bytes exactly as read
    uint64_t rawSize = 0;          // bytes in raw
    const uint8_t* text = nullptr; // the text image: raw, raw + 2 (UTF-16 mark skipped), or decoded
    uint64_t textSize = 0;         // bytes in text; for UTF-16 text twice the number of units
    HeapBlock<char16_t> decoded;   // UTF-16 conversion of raw, or null
    uint32_t encoding = 0;         // how text came about: kText* bits (viewer/viewerFile.h)
};
