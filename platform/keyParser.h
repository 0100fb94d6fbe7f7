#pragma once
// Key presses from the bytes a terminal sends. The parser turns a byte stream (which may arrive
// split or merged in any way across reads) into key events carrying a Windows virtual-key code, a
// character and the modifier state, the form the key reader works on. It understands CSI and SS3
// sequences with the xterm modifier parameter, "CSI code;mod u", "CSI 27;mod;code ~", the Linux
// console's "ESC [ [ A..E", key strings named by terminfo, Alt as an Esc prefix (also before a
// whole sequence), UTF-8 characters, and a lone Esc once nothing followed it for
// kEscapeTimeoutMs. Time is passed in, so tests decide what "later" means.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint8_t kModifierShift = 1;
inline constexpr uint8_t kModifierAlt = 2;
inline constexpr uint8_t kModifierCtrl = 4;

struct KeyEvent {
    uint16_t virtualKey; // Windows virtual-key code; 0 for a character no key of its own gives
    char32_t character;  // what the key types: Unicode, a control character, or 0 for none
    uint8_t modifiers;   // kModifierShift | kModifierAlt | kModifierCtrl
    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// An Esc counts as the Esc key only when nothing followed it for this long: the bytes of one
// sequence arrive together, a person's next key press comes much later.
inline constexpr int kEscapeTimeoutMs = 25;

// Longest sequence kept waiting for its end; beyond it the bytes are dropped as noise.
inline constexpr size_t kLongestSequence = 64;

struct KeyString {
    std::string bytes;
    KeyEvent event;
};

struct KeyParser {
    std::string pending;               // bytes not yet turned into events
    int64_t lastInputMs = 0;           // clock reading when the last bytes arrived
    std::vector<KeyString> keyStrings; // the terminal's own key strings (terminfo)
};

// Adds bytes that arrived at nowMs.
void feedKeyParser(KeyParser& parser, const uint8_t* bytes, size_t count, int64_t nowMs);

// Takes the next whole key event into out. False when the bytes so far finish none yet (an Esc or
// a sequence that may still go on); once kEscapeTimeoutMs have passed since the last bytes,
// whatever is pending is always decoded.
[[nodiscard]] bool takeKeyEvent(KeyParser& parser, int64_t nowMs, KeyEvent& out);

// Milliseconds until pending bytes must be decoded as they are; -1 when nothing is pending.
int keyParserWaitMs(const KeyParser& parser, int64_t nowMs);

// Teaches the parser one of the terminal's key strings. Only strings that begin with Esc and are
// longer than one byte are kept: single bytes decode the same on every terminal.
void addKeyString(KeyParser& parser, std::string_view bytes, KeyEvent event);

// Where the bytes come from, and the clock: the terminal in the program, a script in tests.
struct KeyInput {
    // Waits at most timeoutMs (-1: without limit) for bytes. Returns the count read, 0 when the
    // time ran out, or kInputResized / kInputClosed.
    int (*read)(void* context, uint8_t* buffer, int capacity, int timeoutMs);
    int64_t (*now)(void* context); // milliseconds on a clock that never goes back
    void* context;
};

inline constexpr int kInputKey = 1;      // waitKeyEvent: out holds a key event
inline constexpr int kInputResized = -2; // the terminal changed its size
inline constexpr int kInputClosed = -1;  // no more input will come (hang-up, end of script)

// Waits for the next key event: kInputKey with out filled, or what the source reported instead.
int waitKeyEvent(KeyParser& parser, const KeyInput& input, KeyEvent& out);

// The event a key typing this character gives on a US keyboard (virtual key, Shift for the
// upper row); characters without a key of their own get virtual key 0.
KeyEvent keyEventForCharacter(char32_t character);
