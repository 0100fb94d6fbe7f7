#pragma once
// Text conversions of the platform: the ANSI code page (Windows-1252), the OEM code page (437),
// UTF-8, and the surrogate escape that lets any byte string travel as UTF-16.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Byte of the ANSI code page to UTF-16. The five bytes Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 controls of the same number.
char16_t ansiToUnicode(uint8_t byte);

// Byte of the OEM code page (437) to UTF-16. 0x00-0x7F map to U+0000-U+007F.
char16_t oemToUnicode(uint8_t byte);

// UTF-16 unit to the ANSI or OEM byte; -1 when the code page has no such character.
int unicodeToAnsi(char16_t unit);
int unicodeToOem(char16_t unit);

// The same, with '?' for a character without an equivalent (the platform's default).
inline uint8_t unicodeToAnsiOrQuestion(char16_t unit) {
    int byte = unicodeToAnsi(unit);
    return byte < 0 ? '?' : static_cast<uint8_t>(byte);
}
inline uint8_t unicodeToOemOrQuestion(char16_t unit) {
    int byte = unicodeToOem(unit);
    return byte < 0 ? '?' : static_cast<uint8_t>(byte);
}

// 8-bit ANSI <-> OEM, through UTF-16; '?' where the target has no equivalent.
inline uint8_t ansiToOem(uint8_t byte) {
    return unicodeToOemOrQuestion(ansiToUnicode(byte));
}
inline uint8_t oemToAnsi(uint8_t byte) {
    return unicodeToAnsiOrQuestion(oemToUnicode(byte));
}

// UTF-8 to UTF-16. Invalid input becomes U+FFFD, one per maximal ill-formed subsequence;
// characters above U+FFFF become surrogate pairs. Writes to out when it is not null and returns
// the number of units (so a first call with null sizes the buffer).
size_t utf8ToUtf16(const uint8_t* bytes, size_t count, char16_t* out);

// Whether bytes[0..count) is text in UTF-8 as the system's own 8-bit text is on Linux: every
// sequence well formed (no overlong forms, no surrogates, nothing above U+10FFFF) and at least
// one character beyond ASCII; a last character cut short by the end still counts after a whole
// one beyond ASCII. Returns the number of UTF-16 units utf8ToUtf16 makes of the bytes, or 0 when
// they are not such text (ASCII alone included). Passes ASCII runs a word at a time.
size_t utf8TextUnits(const uint8_t* bytes, size_t count);

// Appends the UTF-8 form of one character (up to U+10FFFF) to out.
void appendUtf8(std::string& out, char32_t character);

// Surrogate escape: bytes decode as UTF-8, and every byte that is not part of valid UTF-8 becomes
// the unit U+DC80 + (byte - 0x80). escapedToBytes reverses it exactly, so any byte string
// (a file name, an argument) survives the round trip. Other lone surrogates encode as three
// bytes in the generalised UTF-8 form.
std::u16string bytesToEscaped(std::string_view bytes);
std::string escapedToBytes(std::u16string_view units);
