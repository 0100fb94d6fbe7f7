#pragma once
// Windows virtual-key codes: the key parser decodes terminal bytes into them, the terminfo seeds
// name them, and the key codes of the program are built on them (256 + the virtual key). Each is
// spelt here once.

#include <cstdint>

inline constexpr uint16_t kVkBack = 0x08;
inline constexpr uint16_t kVkTab = 0x09;
inline constexpr uint16_t kVkClear = 0x0C; // the keypad's middle key without Num Lock
inline constexpr uint16_t kVkReturn = 0x0D;
inline constexpr uint16_t kVkEscape = 0x1B;
inline constexpr uint16_t kVkSpace = 0x20;
inline constexpr uint16_t kVkPrior = 0x21; // Page Up
inline constexpr uint16_t kVkNext = 0x22;  // Page Down
inline constexpr uint16_t kVkEnd = 0x23;
inline constexpr uint16_t kVkHome = 0x24;
inline constexpr uint16_t kVkLeft = 0x25;
inline constexpr uint16_t kVkUp = 0x26;
inline constexpr uint16_t kVkRight = 0x27;
inline constexpr uint16_t kVkDown = 0x28;
inline constexpr uint16_t kVkInsert = 0x2D;
inline constexpr uint16_t kVkDelete = 0x2E;
inline constexpr uint16_t kVkF1 = 0x70; // F1 to F12 follow one another
inline constexpr uint16_t kVkF2 = 0x71;
inline constexpr uint16_t kVkF3 = 0x72;
inline constexpr uint16_t kVkF4 = 0x73;
inline constexpr uint16_t kVkF5 = 0x74;
inline constexpr uint16_t kVkF6 = 0x75;
inline constexpr uint16_t kVkF7 = 0x76;
inline constexpr uint16_t kVkF8 = 0x77;
inline constexpr uint16_t kVkF9 = 0x78;
inline constexpr uint16_t kVkF10 = 0x79;
inline constexpr uint16_t kVkF11 = 0x7A;
inline constexpr uint16_t kVkF12 = 0x7B;
// The punctuation keys of a US keyboard, named by their unshifted character.
inline constexpr uint16_t kVkOemSemicolon = 0xBA;
inline constexpr uint16_t kVkOemEquals = 0xBB;
inline constexpr uint16_t kVkOemComma = 0xBC;
inline constexpr uint16_t kVkOemMinus = 0xBD;
inline constexpr uint16_t kVkOemPeriod = 0xBE;
inline constexpr uint16_t kVkOemSlash = 0xBF;
inline constexpr uint16_t kVkOemGrave = 0xC0;
inline constexpr uint16_t kVkOemOpenBracket = 0xDB;
inline constexpr uint16_t kVkOemBackslash = 0xDC;
inline constexpr uint16_t kVkOemCloseBracket = 0xDD;
inline constexpr uint16_t kVkOemQuote = 0xDE;
// No key has it: the program's own "the terminal changed its size" event.
inline constexpr uint16_t kVkResized = 0xFF;
// No key has it (the Windows table leaves it unassigned): a mouse report (MouseEvent).
inline constexpr uint16_t kVkMouse = 0x88;
