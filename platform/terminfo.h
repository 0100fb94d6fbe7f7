#pragma once
// The terminal's description: which type TERM names, the terminfo entry that drives it (or a
// built-in fallback), the key strings and restore text taken from it, and whether the terminal
// takes the title sequence. Internal to platform/: the rest of the program goes through
// platform/terminal.h.

#include "platform/keyParser.h"

#include <string>

// The title sequences: push the user's title on the terminal's stack, and pop it back.
inline constexpr char kTitlePush[] = "\033[22;0t";
inline constexpr char kTitlePop[] = "\033[23;0t";

// Mouse reporting in xterm's way: presses, releases and the wheel (1000), reported in the
// extended form (1006), which has no limit on the column and cannot be mistaken for typed text.
// Motion (1002, 1003) is never asked for: nothing in the program follows a drag. The extended
// form is on before reporting starts and until it has stopped, so no report in the old form can
// slip in between.
inline constexpr char kMouseOn[] = "\033[?1006h\033[?1000h";
inline constexpr char kMouseOff[] = "\033[?1000l\033[?1006l";

// The type TERM names, or null when it names no terminal to show a screen on (unset, empty or
// "dumb").
const char* terminalTypeAsked();

// Loads the description of type for the terminal on fd, as the current one, and remembers which
// one it was. A type this machine has no entry for (a newer terminal's, over SSH) falls back to
// the first built-in description terminfo has. False when none could be loaded.
[[nodiscard]] bool loadDescription(int fd, const char* type);

// The description loaded last: what ncurses is to be started with.
const char* descriptionInUse();

// Gives the description loaded by loadDescription back (ncurses loads its own when it starts).
void dropDescription();

// Whether the current description has the string capability name (a terminfo name: "cup"...).
bool hasCapability(const char* name);

// Teaches the parser the key strings the current description names, for terminals whose keys
// differ from the sequences every parser knows.
void seedKeyStrings(KeyParser& parser);

// Terminals known to take the title sequence and to keep a stack of titles, so the user's own
// title can come back.
bool titleSequenceSupported(const char* type);

// Whether the terminal reports the mouse in xterm's way, so that the full screen may ask it to:
// TERM names one of the families known to (xterm, tmux, screen, rxvt...), or TERM's own entry
// (not a built-in fallback) says its mouse reports come in the extended form (kmous "\E[<").
// Not the Linux console, whose entry names the old form for a mouse daemon the program has no
// use for, nor vt100 and the like.
bool mouseReportsSupported(const char* type);

// What gives the terminal back from the full screen in one go, from the current description:
// mouse reporting off (withMouse), attributes and colours off, the cursor as usual, the alternate
// screen left (or the screen cleared where there is none), and with withTitle the user's title
// back.
std::string restoreText(bool withTitle, bool withMouse);
