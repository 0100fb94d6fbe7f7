#pragma once
// The terminal behind the emulated console. Two libraries implement these functions: `terminal`
// (the controlling terminal through ncursesw; linked into the programs) and `memoryTerminal` (a
// scripted stand-in for tests, see platform/memoryTerminal.h). The choice is made at link time:
// a program or test links exactly one of them next to the console library.

#include "platform/keyParser.h"

// True when there is a terminal to show the screen on and to read keys from (in the program: the
// controlling terminal, else standard input and output when both are one terminal; TERM is set
// and not "dumb", and terminfo knows it or a built-in fallback drives it). Without one the
// program must not wait for keys: nothing could ever arrive.
bool haveTerminal();

// The terminal's size in cells: the largest window the console can have. 80 x 25 without a
// terminal.
void terminalSize(int& width, int& height);

// Whether the full screen may have the terminal report the mouse (the wheel and clicks arrive as
// key events with a MouseEvent): on by default, off to leave the mouse wholly to the terminal's
// own selection. Only terminals that report the mouse in xterm's way are ever asked to; with
// false nothing about the mouse is ever sent. Takes effect when the terminal is first looked at
// (haveTerminal, startFullScreen...): called before that.
void setMouseReporting(bool allowed);

// Opens the full screen ahead of the first drawing. False when the terminal cannot show it: there
// is none, or ncurses could not start on it (too few file descriptors, no memory), and the
// terminal is as the user had it. Nothing should wait for keys then.
bool startFullScreen();

// Shows the console buffer on the terminal if the program has drawn into it (the full screen
// begins with the first such call); changed cells only. Does nothing before anything was drawn,
// so the wait for a key after a message leaves the terminal's screen alone.
void presentConsole();

// Waits for the next key event. Returns kInputKey, kInputResized (the terminal changed its size;
// the console buffer already follows it) or kInputClosed (no key can come any more). Ctrl-C ends
// the program (status 130) and Ctrl-Z suspends it here; neither is returned.
int nextKeyEvent(KeyEvent& out);

// nextKeyEvent for at most timeoutMs: 0 when no key came in that time. For a screen that shows
// work going on behind it while it waits.
int nextKeyEventWithin(KeyEvent& out, int timeoutMs);

// The key event that has arrived, if any, without waiting for one: kInputKey, 0 when none is
// there, or kInputClosed. Ctrl-C ends the program here too (status 130) and Ctrl-Z suspends it, so
// that work that looks for keys now and then (a long search) can always be left.
int takeArrivedKey(KeyEvent& out);

// Milliseconds on the terminal's clock, which never goes back: how long a piece of work has
// taken, as the user at the terminal sees it (tests drive their own).
int64_t terminalClockMs();

// Gives the terminal back as it was: leaves the full screen, restores modes, cursor, colours,
// mouse reporting and the user's title. Also runs by itself at exit. The program may take the
// terminal again later.
void releaseTerminal();

// The way out that cannot wait: a prepared restore text (what the terminal takes within a
// moment; output that is stuck never holds it up) and the user's modes at once. Allocates
// nothing and is async-signal-safe: signal handlers and memory running out use it. The terminal
// is not to be used afterwards.
void abandonTerminal();
