#include "platform/unicodeTest.h"

#include <algorithm>

int testUtf16Text(const uint8_t* bytes, uint64_t size) {
    int passed = 0;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) passed |= kUtf16Signature;
    // Only whole units count; an odd last byte is ignored, and 256 units are enough evidence.
    const auto units = static_cast<uint32_t>(std::min<uint64_t>(size / 2, 256));
    if (units > 0) {
        bool ascii16 = true;
        for (uint32_t i = 0; i < units && ascii16; ++i) {
            unsigned unit = bytes[2 * i] | (bytes[2 * i + 1] << 8);
            ascii16 = unit >= 0x0001 && unit <= 0x00FF;
        }
        if (ascii16) passed |= kUtf16Ascii16;
    }
    return passed;
}
