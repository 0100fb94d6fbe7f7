#pragma once
// The full screen through ncursesw: the SCREEN, the colour pairs, what the terminal shows (to
// draw changed cells only), the title, and the size the console follows. Internal to platform/:
// the rest of the program goes through platform/terminal.h.

#include <clocale>

// ncurses at work. The user's locale is put in force for this thread only while ncurses works,
// so the rest of the program keeps the C locale it was written for, whatever the user's
// settings.
//
// ncurses copes badly with memory that runs out. Where it notices, it reports on standard error
// and exits: the program writes nothing there, so standard error points at /dev/null meanwhile,
// and the exit is answered as the program answers memory running out (the ways out's atexit
// hook). Elsewhere it goes on with a null pointer or a block it already gave back, into a crash
// now or later (a crash inside it is answered the same way, by the ending signals' handler). So
// a call that leaves errno at ENOMEM ends the program before anything of ncurses is used again.
struct CursesCall {
    CursesCall();
    ~CursesCall();
    CursesCall(const CursesCall&) = delete;
    CursesCall& operator=(const CursesCall&) = delete;

  private:
    locale_t previous_;
    int savedErrno_;
};

// Keeps ncurses' own reports off standard error from now on (while it works). Runs before
// anything of ncurses does.
void quietCursesReports();

// Whether the terminal takes the title sequence (platform/terminfo.h): the console's title is
// shown only then.
void setTitleSupport(bool supported);

// Whether the full screen has the terminal report the mouse (platform/terminfo.h, kMouseOn):
// on while it is shown, off whenever the user has the terminal (a stop, the end).
void setMouseSupport(bool supported);

// The size the console follows: the terminal's now.
void learnTerminalSize();

// Starts ncurses on the terminal. When it cannot start (too few file descriptors, no memory),
// the terminal is given back as it was and stays unused: false, now and on every later call.
[[nodiscard]] bool startScreen();

// Draws the console buffer's changed cells, cursor and title.
void drawScreen();

// Leaves the full screen for good: the user's screen and title back, ncurses gone.
void endScreen();

// For a stop: the user's screen and title while the shell has the terminal; showScreenAgain
// draws the full screen anew from nothing afterwards.
void leaveScreenForStop();
void showScreenAgain();

// A new size without SIGWINCH (none arrives where the terminal is not the controlling one) is
// noted as if it had come.
void noticeSizeChange();

// Takes in a size change the signal handler saw: ncurses' idea of the size, then the console
// buffer. Done before drawing too, so nothing is drawn for a size the terminal no longer has.
void followResizes();

// True once for each size the console followed: the key wait reports it.
[[nodiscard]] bool takeUnreportedResize();
