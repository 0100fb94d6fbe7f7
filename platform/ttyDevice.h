#pragma once
// The terminal device: the descriptor the program reads keys from and draws on, the user's modes
// and our raw ones, the wait for key bytes, and the device's size. Internal to platform/: the
// rest of the program goes through platform/terminal.h.

#include <cstdint>

// Opens the terminal to use and reads the user's modes from it: the controlling terminal;
// without one (a new session: setsid, su -c) the terminal on standard input and output when both
// are the same one. False, with nothing left open, when there is none.
[[nodiscard]] bool openTerminalDevice();

// The device opened turned out unusable (no description of it, no cursor addressing): closed.
void closeTerminalDevice();

// The device is the one the program uses from now on: our raw modes are worked out from the
// user's, and the ways out learn what to give back.
void keepTerminalDevice();

// The device's descriptor (-1 before one is kept), and whether it is the controlling terminal
// (then SIGWINCH tells of new sizes).
int terminalFd();
bool controllingTerminal();

// Raw mode for reading keys: every byte as it comes, Ctrl-C and Ctrl-Z included. takeModes also
// installs the stop and resize handlers (before ncurses can install its own).
void takeModes();
// The user's modes again, for good.
void giveModesBack();

// For a stop: the user's modes while the shell has the terminal. retakeModes puts ours back
// afterwards; false when they were not in force before the stop.
void lendUserModes();
[[nodiscard]] bool retakeModes();

// What waitForKeyBytes returns when a signal ended the wait early: look at what it noted, then
// wait again.
inline constexpr int kWaitAgain = -100;

// Waits at most timeoutMs (-1: without limit) for key bytes and reads them: the count read, 0
// when the time ran out (or a signal cut a wait with a limit short: the caller works out the time
// left), kWaitAgain, or kInputClosed when no key can come any more. Without a controlling
// terminal no SIGWINCH arrives, so the wait ends now and then to let the caller ask for the size.
int waitForKeyBytes(uint8_t* buffer, int capacity, int timeoutMs);

// The device's size in cells, each side cut to what the console can have; false (width and
// height untouched) when the device does not tell.
[[nodiscard]] bool deviceSize(int& width, int& height);
