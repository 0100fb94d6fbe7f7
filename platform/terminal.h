#pragma once
// The terminal behind the emulated console. Two libraries implement these functions: `terminal`
// (the controlling terminal through ncursesw; linked into the programs) and `memoryTerminal` (a
// scripted stand-in for tests, see platform/memoryTerminal.h). The choice is made at link time:
// a program or test links exactly one of them next to the console library.

#include "platform/keyParser.h"

// True when there is a terminal to show the screen on and to read keys from (in the program:
// /dev/tty opens and terminfo knows how to drive it). Without one the program must not wait for
// keys: nothing could ever arrive.
bool haveTerminal();

// The terminal's size in cells: the largest window the console can have. 80 x 25 without a
// terminal.
void terminalSize(int& width, int& height);

// Shows the console buffer on the terminal if the program has drawn into it (the full screen
// begins with the first such call); changed cells only. Does nothing before anything was drawn,
// so the wait for a key after a message leaves the terminal's screen alone.
void presentConsole();

// Waits for the next key event. Returns kInputKey, kInputResized (the terminal changed its size;
// the console buffer already follows it) or kInputClosed (no key can come any more). Ctrl-C ends
// the program (status 130) and Ctrl-Z suspends it here; neither is returned.
int nextKeyEvent(KeyEvent& out);

// Gives the terminal back as it was: leaves the full screen, restores modes, cursor, colours and
// the user's title. Also runs by itself at exit. The program may take the terminal again later.
void releaseTerminal();
