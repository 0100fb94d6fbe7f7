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

// How a character takes its place among a terminal's cells.
enum class CharacterWidth : int8_t {
    standIn, // shown as a one-column stand-in: controls, surrogates, unassigned and invisible ones
    mark,    // a combining mark: it joins the character before it in that character's cell
    one,     // one column
    two,     // two columns: East Asian wide and fullwidth characters, emoji
};

// The width of a character (up to U+10FFFF; anything else is a stand-in) as the C library's
// wcwidth gives it under C.UTF-8, whatever locale the user runs: multiplexers such as tmux and
// screen ask the same function, and terminals draw these widths from the same Unicode data.
// Stand-ins take the characters whose width terminals do not agree on, and the invisible ones a
// difference would hide in: format characters (U+200B, U+FEFF, the direction marks, U+00AD...)
// and the other default-ignorable ones (variation selectors, U+034F, the Hangul fillers).
// Backed by a table filled as characters are first asked about.
CharacterWidth characterWidth(char32_t character);

// Lower-case mapping of one byte of the ANSI code page: through Windows-1252 to UTF-16, lowered,
// and back when the result has a byte in the code page, else the byte unchanged.
uint8_t lowerAnsiByte(uint8_t byte);
