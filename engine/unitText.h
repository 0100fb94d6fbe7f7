#pragma once
// 16-bit text inside byte images. Images are plain byte blocks (read from files), so units are
// assembled from their two bytes rather than read through a char16_t pointer; compilers turn this
// into one 16-bit load.

#include <cstddef>
#include <cstdint>

// The little-endian unit at unit index `index` of `text`.
inline char16_t loadUnit(const uint8_t* text, size_t index) {
    return static_cast<char16_t>(text[2 * index] | (text[2 * index + 1] << 8));
}
