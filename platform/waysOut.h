#pragma once
// The terminal's ways out: the signal handlers and everything they touch (the flags below, the
// descriptor and modes to give back, the prepared restore text, the wake pipe), kept in
// platform/waysOut.cpp so that what a handler may reach can be checked in one file. The rest of
// the terminal (platform/ttyDevice.cpp, terminfo.cpp, cursesScreen.cpp, terminal.cpp) hands its
// facts in here and reads the flags. Internal to platform/: nothing outside includes it.

#include <csignal>
#include <string_view>
#include <termios.h>

// The flags the handlers read or write. Each is written by the one owner named beside it, and by
// nobody else outside the handlers.
extern volatile sig_atomic_t modesTaken;   // our raw modes are in force (ttyDevice.cpp)
extern volatile sig_atomic_t screenShown;  // the full screen is on (cursesScreen.cpp)
extern volatile sig_atomic_t resizeSeen;   // SIGWINCH arrived, or the key wait saw a new size
extern volatile sig_atomic_t suspendAsked; // SIGTSTP arrived; cleared by the key wait's suspend
extern volatile sig_atomic_t continueSeen; // SIGCONT arrived; cleared by the key wait's resume
// ncurses is at work on this thread, in nested calls (CursesCall). Per thread: a crash on a
// helper while the main thread is inside ncurses is a crash, not ncurses' memory running out.
// Initial-exec, so a handler reads it with a plain load, never through the TLS resolver.
extern thread_local volatile sig_atomic_t cursesDepth __attribute__((tls_model("initial-exec")));

// Installs the atexit hook and the handlers of every signal that ends the program (with the
// alternate signal stack they run on), once. Runs before anything of ncurses: a crash inside it
// must find them.
void watchExits();

// Installs the handlers of SIGWINCH, SIGTSTP and SIGCONT and opens the wake pipe, once. Before
// ncurses starts, so that it installs none of its own.
void watchStopsAndResizes();

// The terminal the ways out give back: its descriptor and the user's modes. Called once, when the
// terminal is known to be usable; until then the ways out leave the terminal alone.
void keepTerminalForWaysOut(int fd, const termios& userModes);

// The restore text (what leaves the full screen: our modes off, cursor back, alternate screen
// left, the user's title back), copied where a handler can write it. Text too long for the
// fixed room is not kept: the ways out then give back the modes alone.
void keepRestoreText(std::string_view text);

// The read end of the wake pipe, which the stop, continue and resize handlers write to so that
// the key wait ends early; -1 when there is none. drainWakes empties it.
int wakeDescriptor();
void drainWakes();

// Memory ran out inside ncurses: the terminal as the user had it, and the program's new handler
// ends the program as for any allocation that failed. Returns only where no handler is set
// (tests).
void endForMemory();

// Ctrl-Z: stops the process as SIGTSTP's default action would, and returns once the shell has
// let it go on. The terminal must be the user's meanwhile.
void stopAsAsked();

// Ctrl-C: ends the process as the interrupt signal does (a shell sees status 130). The terminal
// must have been given back.
[[noreturn]] void endAsInterrupted();
