#pragma once
// The terminal for tests: a fake terminal of any size, scripted keys, and a dump of the emulated
// screen. Link the library memoryTerminal_wide / memoryTerminal_narrow (instead of terminal_*) next
// to the console library, and include this header.
//
//   resetMemoryTerminal(80, 25);          // before each test: empty 80 x 25 console, no keys
//   queueKeyCodes({kKeyDown, kKeyAltF8, 'q'}); // readKey() returns exactly these codes
//   queueTerminalBytes("\x1b[19;3~");     // or raw terminal bytes, decoded by the real parser
//   runTheCodeUnderTest();
//   ScreenDump screen = dumpScreen();
//   EXPECT_EQ(screen.text(0, 0, 5), "Hello");   // characters of a region, as UTF-8
//   EXPECT_EQ(screen.attribute(0, 0), 0x1B);     // the console attribute of one cell
//   EXPECT_TRUE(screen.hasAttribute(3, 10, 20, 0x4E)); // 20 cells from (3, 10) all in 0x4E
//
// When the script runs out, readKey() returns Esc (which leaves every screen of the program) and
// scriptUnderruns() counts it, so a test never hangs; check it is 0 where the script should last.

#include "platform/keyParser.h"
#include "platform/textCells.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// A fresh fake terminal of width x height: the console buffer the same size, blank in attribute
// 7, no title, nothing drawn; the key script empty; haveTerminal() true.
void resetMemoryTerminal(int width = 80, int height = 25);

// What haveTerminal() answers (a test of the "no terminal" paths sets false).
void setMemoryTerminalPresent(bool present);

// Changes the fake terminal's size at once (the largest window), without a resize event.
void setMemoryTerminalSize(int width, int height);

// Key codes as readKey() returns them: 'a', kKeyDown, kKeyAltF8, 3 + 2048 (Ctrl-C)...
void queueKeyCodes(std::initializer_list<int> codes);
void queueKeyCode(int code);

// One key event as the terminal parser would give it.
void queueKeyEvent(KeyEvent event);

// Raw bytes as the terminal sends them, decoded by the real parser. Each call's bytes arrive 1 ms
// after the previous ones, so a sequence split over calls still joins up; queuePause(30) lets an
// Esc at the end of the bytes so far stand alone.
void queueTerminalBytes(std::string_view bytes);
void queuePause(int milliseconds);

// Keys typed while the program is busy with long work (a search): only its looks for keys that
// have arrived (takeArrivedKey) see them, in order. The waits for a key go on with the rest of
// the script; busy keys left over are dropped by resetMemoryTerminal. Each reading of the clock
// (terminalClockMs) lets kBusyLookMs pass, as the work between two readings would.
void queueBusyKeyCodes(const std::vector<int>& codes);
inline constexpr int kBusyLookMs = 50;

// The terminal takes a new size while the program waits: the console buffer follows it and
// readKey() returns kKeyScreenResized (when the program has drawn its full screen).
void queueTerminalResize(int width, int height);

// Script entries not yet read (busy keys among them), and reads made after the script had run
// out.
int pendingScriptEntries();
int scriptUnderruns();

// How often the console was presented while it held drawn cells (each wait for a key does it).
int presentCount();

// The emulated screen: the cells of every row and their attributes. As text (UTF-8), each cell
// reads as its character with its marks, and a character two columns wide once, on its left
// half; a cell that cannot show its character in its column (a wide character cut to one cell,
// a half without its other half) reads as U+FFFD, as do unpaired surrogates; NUL reads as a
// blank. Control characters read as themselves (the terminal shows stand-ins for them).
struct ScreenDump {
    int width = 0;
    int height = 0;
    std::vector<std::vector<CellText>> cells;      // one per row, exactly width cells
    std::vector<std::vector<uint16_t>> attributes; // one per row, exactly width attributes
    int cursorRow = 0;
    int cursorColumn = 0;
    bool cursorVisible = true;
    std::u16string title;

    std::string row(int rowIndex) const; // the whole row as UTF-8
    std::string text(int rowIndex, int column,
                     int count) const;                  // count cells, run on to the next rows
    uint16_t attribute(int rowIndex, int column) const; // 0 outside the screen
    CellText cell(int rowIndex, int column) const;      // a blank outside the screen
    bool hasAttribute(int rowIndex, int column, int count, uint16_t attribute) const;
    std::string toString() const; // all rows joined with '\n', for a rare full snapshot
};

ScreenDump dumpScreen();
