#pragma once
// Character classes and case mapping of the platform, independent of the user's locale.

#include <cstdint>

// White space among 16-bit units: U+0009-U+000D, U+0020, and the space separators of U+0100 and
// above (U+1680, U+2000-U+2006, U+2008-U+200A, U+2028, U+2029, U+205F, U+3000). U+0085 and
// U+00A0 are not white space.
bool isWhiteSpace16(char16_t unit);

// White space among bytes: 0x09-0x0D and 0x20; nothing of 0x80 and above.
inline bool isWhiteSpace8(uint8_t byte) {
    return byte == 0x20 || (byte >= 0x09 && byte <= 0x0D);
}

// Lower-case mapping of one 16-bit unit as the C library's towlower_l gives it under C.UTF-8;
// surrogates map to themselves. Backed by a table built once.
char16_t lowerUnit(char16_t unit);

// Lower-case mapping of one byte of the ANSI code page: through Windows-1252 to UTF-16, lowered,
// and back when the result has a byte in the code page, else the byte unchanged.
uint8_t lowerAnsiByte(uint8_t byte);
