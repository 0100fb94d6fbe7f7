#pragma once
// The statistical test for UTF-16 text, reduced to the two tests the loader asks for: the
// byte-order mark, and text whose first units all lie in U+0001..U+00FF (ASCII or Latin-1 stored
// as little-endian UTF-16).

#include <cstdint>

inline constexpr int kUtf16Ascii16 = 0x01;   // the first 256 whole units lie in U+0001..U+00FF
inline constexpr int kUtf16Signature = 0x08; // the image begins with FF FE

// The tests that pass for the image; nonzero means "this is UTF-16".
int testUtf16Text(const uint8_t* bytes, uint64_t size);
