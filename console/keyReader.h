#pragma once
// Key codes: a key that yields a character gives its code in the OEM code page (0..255); any other
// key 256 + its virtual-key code; 1024 is added while Alt is down, 2048 while Ctrl is down, and
// 512 while Shift is down for keys without a character.

#include "platform/keyParser.h"
#include "platform/virtualKeys.h"

#include <cstdint>

inline constexpr int kKeyVirtual = 256; // + the virtual-key code of a key without a character
inline constexpr int kKeyShift = 512;   // Shift, on keys without a character only
inline constexpr int kKeyAlt = 1024;
inline constexpr int kKeyCtrl = 2048;

inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyCtrlC = kKeyCtrl + 3; // Ctrl with a letter: its control character
inline constexpr int kKeyPageUp = kKeyVirtual + kVkPrior;
inline constexpr int kKeyPageDown = kKeyVirtual + kVkNext;
inline constexpr int kKeyEnd = kKeyVirtual + kVkEnd;
inline constexpr int kKeyHome = kKeyVirtual + kVkHome;
inline constexpr int kKeyLeft = kKeyVirtual + kVkLeft;
inline constexpr int kKeyUp = kKeyVirtual + kVkUp;
inline constexpr int kKeyRight = kKeyVirtual + kVkRight;
inline constexpr int kKeyDown = kKeyVirtual + kVkDown;
inline constexpr int kKeyF1 = kKeyVirtual + kVkF1;
inline constexpr int kKeyF3 = kKeyVirtual + kVkF3;
inline constexpr int kKeyShiftF3 = kKeyShift + kKeyF3;
inline constexpr int kKeyF8 = kKeyVirtual + kVkF8;
inline constexpr int kKeyF9 = kKeyVirtual + kVkF9;
inline constexpr int kKeyAltF8 = kKeyAlt + kKeyVirtual + kVkF8;
inline constexpr int kKeyAltF9 = kKeyAlt + kKeyVirtual + kVkF9;
inline constexpr int kKeyAltF10 = kKeyAlt + kKeyVirtual + kVkF10;

// Not a key: the terminal changed its size while the program waited (kVkResized, which no key
// has). Returned only while the program shows its full screen; the console buffer already has
// the terminal's new size (getScreenSize), and the view must be laid out anew for it. Screens that
// ignore unknown keys need nothing more than a redraw.
inline constexpr int kKeyScreenResized = kKeyVirtual + kVkResized;

// Not a key: the mouse, on a terminal that reports it (platform/terminal.h). Key::mouse says what
// it did and where; the code is always this one, whatever modifiers were held (the report has
// them), so no key table can take a mouse report for a key. Screens that have no use for the
// mouse leave it alone and need not even draw again.
inline constexpr int kKeyMouse = kKeyVirtual + kVkMouse;

// How far a notch of the mouse wheel scrolls a list: as many presses of Up or Down.
inline constexpr int kWheelRows = 3;

// One key press as it travels from the reader to the action that uses it.
struct Key {
    int code = 0;           // the key code above
    char32_t character = 0; // what the key typed, whole, as Unicode; 0 when it typed nothing
    MouseEvent mouse{};     // code kKeyMouse: what the mouse did; else action kMouseNone
};

// Draws the console on the terminal, then waits for the next key press and returns it. Esc when
// no key can come any more (the terminal is gone, or a test's key script ran out), so every
// screen of the program can be left.
Key readKey();

// A key that has arrived, without waiting for one and without drawing: true with it in key, false
// when none is there. For long work that looks for a key now and then (a search that Esc stops).
[[nodiscard]] bool takeArrivedKey(Key& key);

// Draws the console on the terminal, then looks for a key for at most milliseconds: true with it
// in key, false when none came. For a screen that shows work going on behind it while it waits.
[[nodiscard]] bool readKeyWithin(int milliseconds, Key& key);

// The code of one key event: the character's OEM code when the key types one, else 256 + the
// virtual-key code (+ 512 with Shift); + 1024 with Alt, + 2048 with Ctrl. kKeyMouse for a mouse
// report.
int keyCodeFor(const KeyEvent& event);
