#pragma once
// Key codes: a key that yields a character gives its code in the OEM code page (0..255); any other
// key 256 + its virtual-key code; 1024 is added while Alt is down, 2048 while Ctrl is down, and
// 512 while Shift is down for keys without a character.

#include <cstdint>

inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyPageUp = 256 + 0x21;
inline constexpr int kKeyPageDown = 256 + 0x22;
inline constexpr int kKeyEnd = 256 + 0x23;
inline constexpr int kKeyHome = 256 + 0x24;
inline constexpr int kKeyLeft = 256 + 0x25;
inline constexpr int kKeyUp = 256 + 0x26;
inline constexpr int kKeyRight = 256 + 0x27;
inline constexpr int kKeyDown = 256 + 0x28;
inline constexpr int kKeyF1 = 256 + 0x70;
inline constexpr int kKeyAltF8 = 1024 + 256 + 0x77;
inline constexpr int kKeyAltF9 = 1024 + 256 + 0x78;
inline constexpr int kKeyAltF10 = 1024 + 256 + 0x79;

// Waits for the next key press and returns its code (-1 for a dead key).
int readKey();
