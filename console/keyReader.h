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

// Not a key: the terminal changed its size while the program waited (virtual key 0xFF, which no
// key has). Returned only while the program shows its full screen; the console buffer already has
// the terminal's new size (getScreenSize), and the view must be laid out anew for it. Screens that
// ignore unknown keys need nothing more than a redraw.
inline constexpr int kKeyScreenResized = 256 + 0xFF;

// Draws the console on the terminal, then waits for the next key press and returns its code (-1
// for a dead key, which terminals do not have). Esc when no key can come any more (the terminal
// is gone, or a test's key script ran out), so every screen of the program can be left.
int readKey();

struct KeyEvent;

// The code of one key event: the character's OEM code when the key types one, else 256 + the
// virtual-key code (+ 512 with Shift); + 1024 with Alt, + 2048 with Ctrl.
int keyCodeFor(const KeyEvent& event);
