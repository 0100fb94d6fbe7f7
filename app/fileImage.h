#pragma once
// One loaded input file: its bytes as stored and the text the line tables are built from.
// Header only, so the viewer can take images without depending on the driver's code.

#include <cstdint>

struct FileImage {
    uint8_t* raw;     // the file's bytes exactly as read; a block from malloc, owned by the driver
    uint32_t rawSize; // bytes in raw
    const uint8_t* text; // the text image: raw, raw + 2 (UTF-16 mark skipped), or decoded
    uint32_t textSize;   // bytes in text; for UTF-16 text twice the number of units
    char16_t* decoded;   // UTF-16 conversion of raw (block from malloc), or null
};
