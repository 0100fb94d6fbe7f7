// The user's terminal behind platform/terminal.h: whether there is one, the full screen, the key
// events read from it (with Ctrl-C, Ctrl-Z and new sizes handled on the way), and giving it back.
// Each piece of state lives with its owner: the device and its modes in ttyDevice.cpp, the
// description in terminfo.cpp, the full screen in cursesScreen.cpp, and everything a signal
// handler touches in waysOut.cpp.
#include "platform/terminal.h"

#include "platform/consoleBuffer.h"
#include "platform/cursesScreen.h"
#include "platform/terminfo.h"
#include "platform/ttyDevice.h"
#include "platform/waysOut.h"

#include <algorithm>
#include <ctime>

namespace {

int probed = 0;              // 0 not yet, 1 a usable terminal, -1 none
bool mouseAllowed = true;    // setMouseReporting: the terminal may be asked to report the mouse
KeyParser parser;            // the key events' decoder, taught the description's key strings
bool resizeToReport = false; // a look for arrived keys saw a new size: the next wait says so

// Finds the terminal and its description once. Before anything of ncurses runs, the ways out are
// watched and ncurses' own reports kept off standard error.
bool probe() {
    if (probed != 0) return probed > 0;
    probed = -1;
    watchExits();
    quietCursesReports();
    const char* type = terminalTypeAsked();
    if (type == nullptr || !openTerminalDevice()) return false;
    CursesCall curses;
    if (!loadDescription(terminalFd(), type)) {
        closeTerminalDevice();
        return false;
    }
    if (!hasCapability("cup")) {
        dropDescription();
        closeTerminalDevice();
        return false; // a terminal that cannot place the cursor cannot show the screen
    }
    keepTerminalDevice();
    seedKeyStrings(parser);
    const bool title = titleSequenceSupported(type);
    setTitleSupport(title);
    const bool mouse = mouseAllowed && mouseReportsSupported(type);
    setMouseSupport(mouse);
    keepRestoreText(restoreText(title, mouse));
    dropDescription();
    probed = 1;
    learnTerminalSize();
    return true;
}

// After a stop: our modes again, the full screen drawn anew from nothing.
void resume() {
    CursesCall curses;
    continueSeen = 0;
    if (!retakeModes()) return;
    showScreenAgain();
}

// Ctrl-Z: the terminal as the user had it, stop, and the view again when the shell resumes us.
void suspend() {
    CursesCall curses;
    suspendAsked = 0;
    leaveScreenForStop();
    lendUserModes();
    stopAsAsked();
    resume();
}

// Ctrl-C ends the program the way the interrupt signal would, with the terminal given back.
[[noreturn]] void interrupt() {
    releaseTerminal();
    endAsInterrupted();
}

// Ctrl-C ends the program here, as the interrupt signal would; Ctrl-Z suspends it and is then
// done with (true). Any other key is the program's (false).
bool actedOnHere(const KeyEvent& key) {
    const bool ctrlOnly = (key.modifiers & (kModifierCtrl | kModifierAlt)) == kModifierCtrl;
    if (ctrlOnly && key.character == 0x03) interrupt();
    if (!ctrlOnly || key.character != 0x1A) return false;
    suspend();
    return true;
}

int readTerminal(void*, uint8_t* buffer, int capacity, int timeoutMs) {
    for (;;) {
        if (continueSeen) resume();
        if (suspendAsked) suspend();
        noticeSizeChange();
        followResizes();
        if (takeUnreportedResize()) return kInputResized;
        int result = waitForKeyBytes(buffer, capacity, timeoutMs);
        if (result != kWaitAgain) return result;
    }
}

int64_t readClock(void*) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

void setMouseReporting(bool allowed) {
    mouseAllowed = allowed;
}

bool haveTerminal() {
    return probe();
}

void terminalSize(int& width, int& height) {
    width = 80;
    height = 25;
    if (!probe()) return;
    (void)deviceSize(width, height);
}

bool startFullScreen() {
    return probe() && startScreen();
}

void presentConsole() {
    if (!consoleBuffer.drawn || !probe()) return;
    if (!startScreen()) return;
    followResizes();
    drawScreen();
}

int nextKeyEvent(KeyEvent& out) {
    if (!probe()) return kInputClosed;
    takeModes();
    if (resizeToReport) {
        resizeToReport = false;
        return kInputResized;
    }
    static const KeyInput input{readTerminal, readClock, nullptr};
    for (;;) {
        int result = waitKeyEvent(parser, input, out);
        if (result != kInputKey) return result;
        if (!actedOnHere(out)) return kInputKey;
    }
}

namespace {

// The end of the wait of nextKeyEventWithin on the terminal's clock.
struct WaitLimit {
    int64_t endMs;
};

// readTerminal that gives up at the limit: a look (timeoutMs 0) still looks, so that an Esc
// waiting for the rest of a sequence is settled; a wait past the limit times out.
int readTerminalWithin(void* context, uint8_t* buffer, int capacity, int timeoutMs) {
    const int64_t left = static_cast<WaitLimit*>(context)->endMs - readClock(nullptr);
    if (timeoutMs != 0 && left <= 0) return kInputTimedOut;
    const int wait = timeoutMs < 0 || timeoutMs > left
                         ? static_cast<int>(std::max<int64_t>(left, 0))
                         : timeoutMs;
    return readTerminal(nullptr, buffer, capacity, wait);
}

} // namespace

int nextKeyEventWithin(KeyEvent& out, int timeoutMs) {
    if (!probe()) return kInputClosed;
    takeModes();
    if (resizeToReport) {
        resizeToReport = false;
        return kInputResized;
    }
    WaitLimit limit{readClock(nullptr) + timeoutMs};
    const KeyInput input{readTerminalWithin, readClock, &limit};
    for (;;) {
        const int result = waitKeyEvent(parser, input, out);
        if (result == kInputTimedOut) return 0;
        if (result != kInputKey) return result;
        if (!actedOnHere(out)) return kInputKey;
    }
}

int takeArrivedKey(KeyEvent& out) {
    if (!probe()) return kInputClosed;
    takeModes();
    static const KeyInput input{readTerminal, readClock, nullptr};
    for (;;) {
        int result = takeArrivedKeyEvent(parser, input, out);
        if (result == kInputResized) {
            resizeToReport = true; // for the wait after the work: it lays the screen out anew
            continue;
        }
        if (result != kInputKey) return result;
        if (!actedOnHere(out)) return kInputKey;
    }
}

int64_t terminalClockMs() {
    return readClock(nullptr);
}

void releaseTerminal() {
    endScreen();
    giveModesBack();
}
