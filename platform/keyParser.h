#pragma once
// Key presses from the bytes a terminal sends. The parser turns a byte stream (which may arrive
// split or merged in any way across reads) into key events carrying a Windows virtual-key code, a
// character and the modifier state, the form the key reader works on. It understands CSI and SS3
// sequences with the xterm modifier parameter, "CSI code;mod u", "CSI 27;mod;code ~", the Linux
// console's "ESC [ [ A..E", key strings named by terminfo, Alt as an Esc prefix (also before a
// whole sequence), UTF-8 characters, the mouse reports of xterm's protocol (the extended form
// "CSI < b ; x ; y M/m" and the old "CSI M b x y"), and a lone Esc once nothing followed it for
// kEscapeTimeoutMs. Whether something followed is the reader's to say (waitKeyEvent): only it can
// see whether more bytes are already waiting to be read. Time is passed in, so tests decide what
// "later" means.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint8_t kModifierShift = 1;
inline constexpr uint8_t kModifierAlt = 2;
inline constexpr uint8_t kModifierCtrl = 4;

// What the mouse did.
inline constexpr uint8_t kMouseNone = 0; // not a mouse report
inline constexpr uint8_t kMousePress = 1;
inline constexpr uint8_t kMouseRelease = 2;
inline constexpr uint8_t kMouseWheelUp = 3;
inline constexpr uint8_t kMouseWheelDown = 4;

// Its buttons, numbered as the terminal numbers them.
inline constexpr uint8_t kMouseLeft = 0;
inline constexpr uint8_t kMouseMiddle = 1;
inline constexpr uint8_t kMouseRight = 2;
inline constexpr uint8_t kMouseSomeButton = 3; // the old form's release does not say which

struct MouseEvent {
    uint8_t action = kMouseNone;
    uint8_t button = 0;    // kMouseLeft..kMouseSomeButton; 0 for the wheel
    uint8_t modifiers = 0; // kModifierShift | kModifierAlt | kModifierCtrl held with it
    int16_t row = -1;      // the cell, from 0 at the top left of the terminal
    int16_t column = -1;
    friend bool operator==(const MouseEvent&, const MouseEvent&) = default;
};

struct KeyEvent {
    uint16_t virtualKey; // Windows virtual-key code; 0 for a character no key of its own gives
    char32_t character;  // what the key types: Unicode, a control character, or 0 for none
    uint8_t modifiers;   // kModifierShift | kModifierAlt | kModifierCtrl; 0 for the mouse
    MouseEvent mouse{};  // a mouse report (virtualKey kVkMouse), else action kMouseNone
    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// An Esc counts as the Esc key only when nothing followed it for this long after it was read, and
// nothing more is waiting to be read: the bytes of one sequence arrive together, a person's next
// key press comes much later.
inline constexpr int kEscapeTimeoutMs = 25;

// Longest sequence kept waiting for its end; beyond it the bytes are dropped as noise.
inline constexpr size_t kLongestSequence = 64;

struct KeyString {
    std::string bytes;
    KeyEvent event;
};

struct KeyParser {
    std::string pending;               // bytes not yet turned into events
    bool droppingSequence = false;     // an over-long sequence was dropped before its final byte:
                                       // its remaining parameter bytes and final go with it, up
                                       // to the next pause
    int64_t lastInputMs = 0;           // clock reading when the last bytes were read
    std::vector<KeyString> keyStrings; // the terminal's own key strings (terminfo)
};

// Adds bytes that were read at nowMs.
void feedKeyParser(KeyParser& parser, const uint8_t* bytes, size_t count, int64_t nowMs);

// What the caller knows of the bytes after the pending ones.
enum class MoreBytes {
    possible, // more may still come: an Esc or the start of a sequence waits for them
    none,     // nothing came within the wait (keyParserWaitMs reached 0) and nothing more is
              // waiting to be read: the pending bytes are decoded as they stand
};

// Takes the next whole key event into out. False when the bytes so far finish none yet: an Esc,
// a sequence or a character that may still go on waits while more bytes are possible. With
// MoreBytes::none whatever is pending is decoded, and the tail of a dropped sequence is over.
[[nodiscard]] bool takeKeyEvent(KeyParser& parser, MoreBytes more, KeyEvent& out);

// Milliseconds the pending bytes still wait for more, counted from when the last of them were
// read: 0 once the wait is over, -1 when nothing waits.
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

inline constexpr int kInputKey = 1;       // waitKeyEvent: out holds a key event
inline constexpr int kInputResized = -2;  // the terminal changed its size
inline constexpr int kInputClosed = -1;   // no more input will come (hang-up, end of script)
inline constexpr int kInputTimedOut = -3; // a source with a time limit: it has passed

// Waits for the next key event: kInputKey with out filled, or what the source reported instead.
// Bytes that may go on are decoded as they stand only after a read found nothing more for them:
// however long the keys before them took to handle, bytes already sent are read first.
int waitKeyEvent(KeyParser& parser, const KeyInput& input, KeyEvent& out);

// The next key event if one has arrived, without waiting: kInputKey with out filled, 0 when none
// is there yet (an Esc counts once its wait is over), or what the source reported instead.
int takeArrivedKeyEvent(KeyParser& parser, const KeyInput& input, KeyEvent& out);

// The event a key typing this character gives on a US keyboard (virtual key, Shift for the
// upper row); characters without a key of their own get virtual key 0.
KeyEvent keyEventForCharacter(char32_t character);
