// The user's terminal: raw key input from /dev/tty (or from standard input and output without
// a controlling terminal), the full screen through ncursesw, and the handling of every way out
// (signals, memory running out, ncurses giving up) that gives the terminal back as it was.
#include "platform/terminal.h"

#include "platform/cellStyle.h"
#include "platform/codePages.h"
#include "platform/consoleBuffer.h"
#include "platform/temporaryFile.h"
#include "platform/virtualKeys.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <new>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include <ncursesw/curses.h>
#include <ncursesw/term.h>
// term.h names every capability as a macro; these two would take over ordinary words.
#undef columns
#undef lines

namespace {

// Everything here is process-wide, as the terminal is. Fields read by signal handlers are
// volatile sig_atomic_t or fixed arrays written before the handlers can see them.
struct TerminalState {
    int probed = 0; // 0 not yet, 1 a usable terminal, -1 none
    int ttyFd = -1;
    bool controlling = false; // ttyFd is the controlling terminal: SIGWINCH tells of new sizes
    std::string type;         // the terminfo description in use: TERM's, or a built-in fallback
    int knownWidth = 0;       // the terminal's size as the console last followed it
    int knownHeight = 0;
    int quietFd = -1;     // /dev/null, put on standard error while ncurses works
    int errorFd = -1;     // standard error itself, while the other is in its place
    termios savedModes{}; // the user's modes, given back on every way out
    termios rawModes{};
    int wakePipe[2] = {-1, -1}; // signal handlers write here to end the key wait early
    bool handlersInstalled = false;
    bool exitHookInstalled = false;
    bool titleSupported = false;

    SCREEN* screen = nullptr;
    FILE* screenOutput = nullptr;
    FILE* screenInput = nullptr;
    bool screenFailed = false;
    bool unicodeTerminal = false;
    bool alternateScreen = false; // the terminal keeps the user's screen while ours is shown
    int colours = 0;
    bool titlePushed = false;
    std::u16string shownTitle;

    std::vector<CellText> shownCharacters; // what the terminal shows, to draw changed cells only
    std::vector<uint16_t> shownAttributes;
    int shownWidth = 0;
    int shownHeight = 0;
    int shownBackground = -1;
    uint64_t shownChangeCount = ~0ull;
    bool shownWideCells = false; // halves of wide characters were drawn since the last erase
    short pairs[256] = {};       // colour pair of each foreground/background byte, 0 = none yet
    short nextPair = 1;
    bool pairsRanOut = false; // a colour was drawn with a pair that is not its own
    bool pairsRenewing = false;

    KeyParser parser;
    bool resizeUnreported = false; // the console follows a new size the key wait has not told
};

TerminalState terminal;

// The state that signal handlers read.
volatile sig_atomic_t modesTaken = 0;   // the terminal is in raw mode
volatile sig_atomic_t screenShown = 0;  // the full screen is on
volatile sig_atomic_t resizeSeen = 0;   // SIGWINCH arrived
volatile sig_atomic_t suspendAsked = 0; // SIGTSTP arrived
volatile sig_atomic_t continueSeen = 0; // SIGCONT arrived
char restoreText[256];                  // leaves the full screen: our modes off, cursor back
volatile sig_atomic_t restoreLength = 0;
volatile sig_atomic_t cursesDepth = 0; // ncurses is at work (CursesCall)

// Every signal whose default action ends the process (the real-time signals too, added at run
// time): each gives the terminal back first. SIGKILL cannot be caught.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
                                  SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE,
                                  SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM,
                                  SIGPROF, SIGIO,   SIGPWR,    SIGSYS};

// How long a way out waits for a terminal that does not take the restore text at once: output
// that is stuck (a stalled connection, a terminal that stopped reading) must not keep a program
// that is ending alive.
constexpr int kRestoreWaitMs = 100;

// Without a controlling terminal no SIGWINCH arrives: the key wait asks for the size this often.
constexpr int kSizePollMs = 250;

// The handlers of ending signals run here, so that a stack that overflowed still restores.
alignas(16) char signalStack[64 * 1024];

// Sanitizer builds keep standard error: their reports go there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kQuietCurses = false;
#else
constexpr bool kQuietCurses = true;
#endif

constexpr char kTitlePush[] = "\033[22;0t";
constexpr char kTitlePop[] = "\033[23;0t";

void writeAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

void wake() {
    int savedErrno = errno;
    char byte = 0;
    if (terminal.wakePipe[1] >= 0) (void)!write(terminal.wakePipe[1], &byte, 1);
    errno = savedErrno;
}

int64_t clockMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Writes what the terminal takes, waiting at most kRestoreWaitMs for the rest. The descriptor's
// own flags come back afterwards: it may be shared with the shell (standard input).
// Async-signal-safe.
void writeWithoutBlocking(int fd, const char* text, size_t length) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return;
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int64_t deadline = clockMs() + kRestoreWaitMs;
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written > 0) {
            text += written;
            length -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        int64_t left = deadline - clockMs();
        if (written == 0 || errno != EAGAIN || left <= 0) break;
        pollfd writable{fd, POLLOUT, 0};
        poll(&writable, 1, static_cast<int>(left));
    }
    fcntl(fd, F_SETFL, flags);
}

// Memory ran out inside ncurses: the terminal as the user had it, and the program's new handler
// ends the program as for any allocation that failed. Returns only where no handler is set
// (tests).
void endForMemory() {
    abandonTerminal();
    if (std::new_handler handler = std::get_new_handler()) handler();
}

// SA_RESETHAND has put the default action back and SA_NODEFER lets it act at once, so the
// program ends by this signal with the terminal given back (a shell sees status 128 + signal).
// A colour file being written goes with it.
void onEndingSignal(int signalNumber, siginfo_t* info, void*) {
    int savedErrno = errno;
    // ncurses does not check every allocation it makes (CursesCall): a crash inside it, or the
    // C library's abort on the heap it damaged, is taken for memory running out. A crash comes
    // from the kernel or from the program itself, never from kill(1).
    bool crashSignal = signalNumber == SIGSEGV || signalNumber == SIGBUS || signalNumber == SIGABRT;
    bool fromWithin = info != nullptr && (info->si_code > 0 || info->si_pid == getpid());
    if (crashSignal && fromWithin && cursesDepth > 0) endForMemory();
    removeTemporaryFile();
    abandonTerminal();
    raise(signalNumber);
    errno = savedErrno;
}

void onResize(int) {
    resizeSeen = 1;
    wake();
}

void onSuspend(int) {
    suspendAsked = 1;
    wake();
}

void onContinue(int) {
    continueSeen = 1;
    wake();
}

void installHandler(int signalNumber, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

// Our own handlers go in before ncurses starts, so ncurses installs none of its own (its
// handlers leave the terminal raw on several of these signals). The ending signals' handlers are
// in already (installEndingHandlers).
void installHandlers() {
    if (terminal.handlersInstalled) return;
    terminal.handlersInstalled = true;
    if (pipe2(terminal.wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) terminal.wakePipe[0] = -1;
    installHandler(SIGWINCH, onResize, SA_RESTART);
    installHandler(SIGTSTP, onSuspend, SA_RESTART);
    installHandler(SIGCONT, onContinue, SA_RESTART);
}

// The handlers of the signals that end the program go in before ncurses is first called: a
// crash inside it must find them.
void installEndingHandlers() {
    stack_t alternate{};
    alternate.ss_sp = signalStack;
    alternate.ss_size = sizeof signalStack;
    sigaltstack(&alternate, nullptr);
    auto installEnding = [](int signalNumber) {
        struct sigaction current {};
        sigaction(signalNumber, nullptr, &current);
        if (current.sa_handler == SIG_IGN) return; // nohup and the like stay in force
        struct sigaction action {};
        action.sa_sigaction = onEndingSignal;
        action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, nullptr);
    };
    for (int signalNumber : kEndingSignals) installEnding(signalNumber);
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber)
        installEnding(signalNumber);
}

// Terminals known to take the title sequence and to keep a stack of titles, so the user's own
// title can come back.
bool titleSequenceSupported(const char* type) {
    static constexpr const char* kFamilies[] = {"xterm", "rxvt",    "alacritty", "foot",
                                                "kitty", "wezterm", "tmux",      "screen",
                                                "st-",   "gnome",   "konsole",   "vte"};
    if (type == nullptr) return false;
    for (const char* family : kFamilies)
        if (strncmp(type, family, strlen(family)) == 0) return true;
    return false;
}

// The user's locale, made once: ncursesw writes characters in its encoding (LANG, LC_ALL...).
locale_t userLocale() {
    static locale_t user = [] {
        locale_t fromEnvironment = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
        return fromEnvironment != static_cast<locale_t>(nullptr)
                   ? fromEnvironment
                   : newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return user;
}

// ncurses at work. The user's locale is put in force for this thread only while ncurses works,
// so the rest of the program keeps the C locale it was written for, whatever the user's
// settings.
//
// ncurses copes badly with memory that runs out. Where it notices, it reports on standard error
// and exits: the program writes nothing there, so standard error points at /dev/null meanwhile,
// and the exit is answered as the program answers memory running out (atExit). Elsewhere it goes
// on with a null pointer or a block it already gave back, into a crash now or later (a crash
// inside it is answered the same way, onEndingSignal). So a call that leaves errno at ENOMEM
// ends the program before anything of ncurses is used again.
struct CursesCall {
    locale_t previous;
    int savedErrno;
    CursesCall() {
        cursesDepth = cursesDepth + 1;
        if (cursesDepth == 1 && kQuietCurses && terminal.errorFd >= 0)
            dup2(terminal.quietFd, STDERR_FILENO);
        previous = uselocale(userLocale());
        savedErrno = errno;
        errno = 0;
    }
    ~CursesCall() {
        uselocale(previous);
        if (cursesDepth == 1 && errno == ENOMEM) endForMemory();
        errno = savedErrno;
        cursesDepth = cursesDepth - 1;
        if (cursesDepth == 0 && kQuietCurses && terminal.errorFd >= 0)
            dup2(terminal.errorFd, STDERR_FILENO);
    }
    CursesCall(const CursesCall&) = delete;
    CursesCall& operator=(const CursesCall&) = delete;
};

void atExit() {
    if (cursesDepth > 0) {
        // ncurses gave up inside a call (its memory ran out) and called exit.
        endForMemory();
        return;
    }
    releaseTerminal();
}

// The terminal comes back at exit or on a signal, however it was reached, and ncurses' own
// reports are kept off standard error. Runs before anything of ncurses does.
void watchExits() {
    if (terminal.exitHookInstalled) return;
    terminal.exitHookInstalled = true;
    atexit(atExit);
    installEndingHandlers();
    terminal.quietFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (terminal.quietFd >= 0) terminal.errorFd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
}

void appendCapability(std::string& text, const char* name) {
    char* value = tigetstr(name);
    if (value != nullptr && value != reinterpret_cast<char*>(-1)) text += value;
}

// Key strings the terminal's terminfo entry names, for terminals whose keys differ from the
// sequences every parser knows.
void seedKeyStrings() {
    static constexpr struct {
        const char* name;
        uint16_t virtualKey;
        uint8_t modifiers;
    } kKeys[] = {
        {"kcuu1", kVkUp, 0},     {"kcud1", kVkDown, 0},
        {"kcub1", kVkLeft, 0},   {"kcuf1", kVkRight, 0},
        {"khome", kVkHome, 0},   {"kend", kVkEnd, 0},
        {"kpp", kVkPrior, 0},    {"knp", kVkNext, 0},
        {"kich1", kVkInsert, 0}, {"kdch1", kVkDelete, 0},
        {"ka1", kVkHome, 0},     {"kc1", kVkEnd, 0},
        {"ka3", kVkPrior, 0},    {"kc3", kVkNext, 0},
        {"kb2", kVkClear, 0},    {"kf1", kVkF1, 0},
        {"kf2", kVkF2, 0},       {"kf3", kVkF3, 0},
        {"kf4", kVkF4, 0},       {"kf5", kVkF5, 0},
        {"kf6", kVkF6, 0},       {"kf7", kVkF7, 0},
        {"kf8", kVkF8, 0},       {"kf9", kVkF9, 0},
        {"kf10", kVkF10, 0},     {"kf11", kVkF11, 0},
        {"kf12", kVkF12, 0},     {"kcbt", kVkTab, kModifierShift},
    };
    for (const auto& key : kKeys) {
        char* value = tigetstr(key.name);
        if (value == nullptr || value == reinterpret_cast<char*>(-1)) continue;
        char32_t character = key.virtualKey == kVkTab ? U'\t' : 0;
        addKeyString(terminal.parser, value, {key.virtualKey, character, key.modifiers});
    }
}

// The terminal to use: the controlling one; without one (a new session: setsid, su -c) the
// terminal on standard input and output when both are the same one. Returns a descriptor open
// for reading and writing, or -1.
int openTerminal(bool& controlling) {
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    controlling = fd >= 0;
    if (fd >= 0) return fd;
    struct stat input {};
    struct stat output {};
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO) || fstat(STDIN_FILENO, &input) != 0 ||
        fstat(STDOUT_FILENO, &output) != 0 || input.st_rdev != output.st_rdev)
        return -1;
    // An open of our own where the device lets us; else standard input itself, when it was
    // opened for reading and writing (as a terminal's shell has it).
    char name[256];
    if (ttyname_r(STDIN_FILENO, name, sizeof name) == 0) {
        fd = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) return fd;
    }
    int mode = fcntl(STDIN_FILENO, F_GETFL);
    if (mode < 0 || (mode & O_ACCMODE) != O_RDWR) return -1;
    return fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
}

// Loads the terminfo description of type for fd into cur_term, and remembers which one it was.
// A type this machine has no entry for (a newer terminal's, over SSH) falls back to the first
// built-in description terminfo has.
bool loadDescription(int fd, const char* type) {
    int error = 0;
    if (setupterm(type, fd, &error) == OK) {
        terminal.type = type;
        return true;
    }
    if (error != 0) return false; // a hardcopy terminal (1), or no terminfo database at all (-1)
    for (const char* fallback : {"xterm-256color", "xterm", "vt100"}) {
        if (setupterm(fallback, fd, &error) == OK) {
            terminal.type = fallback;
            return true;
        }
    }
    return false;
}

bool probe() {
    if (terminal.probed != 0) return terminal.probed > 0;
    terminal.probed = -1;
    watchExits();
    const char* type = getenv("TERM");
    if (type == nullptr || *type == 0 || strcmp(type, "dumb") == 0) return false;
    int fd = openTerminal(terminal.controlling);
    if (fd < 0) return false;
    CursesCall curses;
    if (!isatty(fd) || tcgetattr(fd, &terminal.savedModes) != 0 || !loadDescription(fd, type)) {
        close(fd);
        return false;
    }
    char* cursorAddress = tigetstr("cup");
    if (cursorAddress == nullptr || cursorAddress == reinterpret_cast<char*>(-1)) {
        del_curterm(cur_term);
        close(fd);
        return false; // a terminal that cannot place the cursor cannot show the screen
    }
    terminal.ttyFd = fd;
    seedKeyStrings();
    std::string restore;
    appendCapability(restore, "sgr0");
    appendCapability(restore, "op");
    appendCapability(restore, "cnorm");
    char* leaveAlternate = tigetstr("rmcup");
    if (leaveAlternate != nullptr && leaveAlternate != reinterpret_cast<char*>(-1))
        restore += leaveAlternate;
    else
        appendCapability(restore, "clear"); // nothing brings the user's screen back: leave it blank
    terminal.titleSupported = titleSequenceSupported(type);
    if (terminal.titleSupported) restore += kTitlePop;
    if (restore.size() < sizeof restoreText) {
        memcpy(restoreText, restore.data(), restore.size());
        restoreLength = static_cast<sig_atomic_t>(restore.size());
    }
    del_curterm(cur_term);
    terminal.rawModes = terminal.savedModes;
    terminal.rawModes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ISIG | IEXTEN | ECHO | ECHONL);
    terminal.rawModes.c_iflag &=
        ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | BRKINT | PARMRK | ISTRIP);
    terminal.rawModes.c_cc[VMIN] = 1;
    terminal.rawModes.c_cc[VTIME] = 0;
    terminal.probed = 1;
    terminalSize(terminal.knownWidth, terminal.knownHeight);
    return true;
}

// Raw mode for reading keys: every byte as it comes, Ctrl-C and Ctrl-Z included.
void takeModes() {
    if (modesTaken) return;
    installHandlers();
    tcsetattr(terminal.ttyFd, TCSADRAIN, &terminal.rawModes);
    modesTaken = 1;
}

void giveModesBack() {
    if (!modesTaken) return;
    tcsetattr(terminal.ttyFd, TCSADRAIN, &terminal.savedModes);
    modesTaken = 0;
}

void forgetShownCells() {
    terminal.shownCharacters.clear();
    terminal.shownAttributes.clear();
    terminal.shownChangeCount = ~0ull;
}

// The title without anything a terminal could take for a control sequence, as UTF-8.
std::string sanitisedTitle(const std::u16string& title) {
    std::string text;
    for (size_t index = 0; index < title.size() && index < 200; ++index) {
        char16_t unit = title[index];
        if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0)) continue;
        char32_t character = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && index + 1 < title.size() &&
            title[index + 1] >= 0xDC00 && title[index + 1] <= 0xDFFF) {
            character = 0x10000 + ((unit - 0xD800) << 10) + (title[index + 1] - 0xDC00);
            ++index;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            character = 0xFFFD;
        }
        if (!terminal.unicodeTerminal && character > 0x7E) character = '?';
        appendUtf8(text, character);
    }
    return text;
}

void showTitle() {
    if (!terminal.titleSupported || consoleBuffer.title == terminal.shownTitle) return;
    if (!terminal.titlePushed) {
        writeAll(terminal.ttyFd, kTitlePush, sizeof kTitlePush - 1);
        terminal.titlePushed = true;
    }
    std::string text = "\033]2;" + sanitisedTitle(consoleBuffer.title) + "\007";
    writeAll(terminal.ttyFd, text.data(), text.size());
    terminal.shownTitle = consoleBuffer.title;
}

void popTitle() {
    if (!terminal.titlePushed) return;
    writeAll(terminal.ttyFd, kTitlePop, sizeof kTitlePop - 1);
    terminal.titlePushed = false;
    terminal.shownTitle.clear();
}

// A stream of its own on the terminal for ncurses; null when there is no descriptor or memory
// left for one.
FILE* terminalStream(const char* mode) {
    int fd = fcntl(terminal.ttyFd, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return nullptr;
    FILE* stream = fdopen(fd, mode);
    if (stream == nullptr) close(fd);
    return stream;
}

// Starts ncurses on the terminal. When it cannot start (too few file descriptors, no memory),
// the terminal is given back as it was and stays unused.
bool startScreen() {
    if (terminal.screen != nullptr) return true;
    if (terminal.screenFailed) return false;
    takeModes();
    CursesCall curses;
    terminal.unicodeTerminal = strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    use_tioctl(TRUE); // the terminal's own size, even where LINES and COLUMNS are set
    terminal.screenOutput = terminalStream("w");
    terminal.screenInput = terminalStream("r");
    screenShown = 1; // newterm may enter the alternate screen: a signal from here on leaves it
    if (terminal.screenOutput != nullptr && terminal.screenInput != nullptr)
        terminal.screen =
            newterm(terminal.type.c_str(), terminal.screenOutput, terminal.screenInput);
    if (terminal.screen == nullptr) {
        if (terminal.screenOutput != nullptr) fclose(terminal.screenOutput);
        if (terminal.screenInput != nullptr) fclose(terminal.screenInput);
        terminal.screenOutput = terminal.screenInput = nullptr;
        terminal.screenFailed = true;
        screenShown = 0;
        giveModesBack();
        return false;
    }
    char* enterAlternate = tigetstr("smcup");
    terminal.alternateScreen =
        enterAlternate != nullptr && enterAlternate != reinterpret_cast<char*>(-1);
    raw();
    noecho();
    nonl();
    typeahead(-1); // keys are ours to read; ncurses must not cut drawing short for them
    intrflush(stdscr, FALSE);
    scrollok(stdscr, FALSE);
    terminal.colours = 0;
    if (has_colors() && start_color() == OK) terminal.colours = COLORS >= 16 ? 16 : 8;
    std::fill(std::begin(terminal.pairs), std::end(terminal.pairs), 0);
    terminal.nextPair = 1;
    if (terminal.colours == 16 && COLOR_PAIRS > 256) {
        // Every foreground with every background, palette 0-15 so the user's theme applies.
        for (int index = 0; index < 256; ++index) {
            auto pair = static_cast<short>(index + 1);
            init_pair(pair, static_cast<short>(index & 15), static_cast<short>(index >> 4));
            terminal.pairs[index] = pair;
        }
    }
    terminal.knownWidth = COLS;
    terminal.knownHeight = LINES;
    forgetShownCells();
    return true;
}

short colourPair(int foreground, int background) {
    if (foreground < 0) return 0;
    int index = background << 4 | foreground;
    if (terminal.pairs[index] != 0) return terminal.pairs[index];
    if (terminal.nextPair >= COLOR_PAIRS) { // only on terminals with very few pairs
        terminal.pairsRanOut = true;
        return 1;
    }
    short pair = terminal.nextPair++;
    init_pair(pair, static_cast<short>(foreground), static_cast<short>(background));
    terminal.pairs[index] = pair;
    return pair;
}

// The background most cells have: the one that stays plain on a terminal without colour.
int commonBackground() {
    int counts[16] = {};
    for (uint16_t attribute : consoleBuffer.attributes) ++counts[(attribute >> 4) & 15];
    return static_cast<int>(std::max_element(std::begin(counts), std::end(counts)) -
                            std::begin(counts));
}

// How an attribute is drawn: ncurses attributes and colour pair.
struct DrawnLook {
    attr_t attributes;
    short pair;
};

DrawnLook drawnLook(uint16_t attribute, int background) {
    CellLook look = cellLook(attribute, terminal.colours, background);
    attr_t attributes = A_NORMAL;
    if (look.bold) attributes |= A_BOLD;
    if (look.reverse) attributes |= A_REVERSE;
    if (look.underline) attributes |= A_UNDERLINE;
    return {attributes, colourPair(look.foreground, look.background)};
}

void drawCell(int row, int column, const CellGlyph& glyph, DrawnLook look) {
    wchar_t text[kCellMarks + 2] = {};
    for (size_t index = 0; index < std::size(text) && glyph.characters[index] != 0; ++index)
        text[index] = static_cast<wchar_t>(glyph.characters[index]);
    if (text[0] == 0) text[0] = L' '; // U+0000 is drawn as a blank
    cchar_t cell;
    setcchar(&cell, text, look.attributes, look.pair, nullptr);
    mvadd_wch(row, column, &cell); // the bottom right cell reports an error, but is drawn
}

// Whether a row of cells holds a part of a character two columns wide.
bool holdsWideParts(const CellText* cells, int count) {
    for (int column = 0; column < count; ++column)
        if (cells[column].part != CellPart::whole) return true;
    return false;
}

void drawScreen() {
    CursesCall curses;
    const ConsoleBuffer& buffer = consoleBuffer;
    int background = terminal.colours == 0 ? commonBackground() : 0;
    bool whole = terminal.shownWidth != buffer.width || terminal.shownHeight != buffer.height ||
                 terminal.shownBackground != background ||
                 terminal.shownCharacters.size() != buffer.characters.size();
    if (!whole && terminal.shownChangeCount == buffer.changeCount) return;
    if (whole) {
        erase();
        terminal.shownCharacters.assign(buffer.characters.size(), u' ');
        terminal.shownAttributes.assign(buffer.attributes.size(), 0xFFFF);
        terminal.shownWideCells = false;
    }
    // Rows are searched for halves of wide characters only where there may be some.
    bool wideCells = buffer.wideCells || terminal.shownWideCells;
    terminal.shownWideCells = wideCells;
    int rows = std::min(buffer.height, LINES);
    int columns = std::min(buffer.width, COLS);
    int lookAttribute = -1; // the attribute whose look is in look
    DrawnLook look{};
    for (int row = 0; row < rows; ++row) {
        size_t first = static_cast<size_t>(row) * buffer.width;
        const CellText* cells = buffer.characters.data() + first;
        const uint16_t* attributes = buffer.attributes.data() + first;
        CellText* shownCells = terminal.shownCharacters.data() + first;
        uint16_t* shownAttributes = terminal.shownAttributes.data() + first;
        int changed = 0;
        while (changed < columns && !whole && cells[changed] == shownCells[changed] &&
               attributes[changed] == shownAttributes[changed])
            ++changed;
        if (changed == columns) continue;
        // A character two columns wide is drawn from its left cell over the right one, and a
        // change to either half changes both: a row that holds such halves, now or as shown, is
        // drawn again from its start.
        bool everyCell =
            whole ||
            (wideCells && (holdsWideParts(cells, columns) || holdsWideParts(shownCells, columns)));
        for (int column = everyCell ? 0 : changed; column < columns; ++column) {
            uint16_t attribute = attributes[column];
            if (!everyCell && cells[column] == shownCells[column] &&
                attribute == shownAttributes[column])
                continue;
            shownCells[column] = cells[column];
            shownAttributes[column] = attribute;
            CellGlyph glyph = cellGlyph(cells, column, columns, terminal.unicodeTerminal);
            if (glyph.columns == 0) continue; // the left half drew it
            // Neighbouring cells mostly share their attribute: its look is worked out once.
            if (attribute != lookAttribute) {
                look = drawnLook(attribute, background);
                lookAttribute = attribute;
            }
            drawCell(row, column, glyph, look);
        }
    }
    terminal.shownWidth = buffer.width;
    terminal.shownHeight = buffer.height;
    terminal.shownBackground = background;
    terminal.shownChangeCount = buffer.changeCount;
    bool cursorInside = buffer.cursorRow < rows && buffer.cursorColumn < columns;
    if (buffer.cursorVisible && cursorInside) {
        curs_set(1);
        move(buffer.cursorRow, buffer.cursorColumn);
    } else {
        curs_set(0);
    }
    refresh();
    showTitle();
    // Pairs are handed out as colours first appear and the run may see more colours than the
    // terminal has pairs (64 on the Linux console). Then the pairs start afresh for the colours on
    // the screen now, and the whole screen is drawn again with them.
    if (terminal.pairsRanOut && !terminal.pairsRenewing) {
        terminal.pairsRanOut = false;
        std::fill(std::begin(terminal.pairs), std::end(terminal.pairs), 0);
        terminal.nextPair = 1;
        terminal.shownWidth = 0;
        terminal.pairsRenewing = true;
        drawScreen();
        terminal.pairsRenewing = false;
    }
}

void endScreen() {
    CursesCall curses;
    if (terminal.screen == nullptr) return;
    if (!terminal.alternateScreen) { // nothing brings the user's screen back: leave it blank
        erase();
        refresh();
    }
    endwin();
    popTitle();
    delscreen(terminal.screen);
    terminal.screen = nullptr;
    fclose(terminal.screenOutput);
    fclose(terminal.screenInput);
    terminal.screenOutput = terminal.screenInput = nullptr;
    screenShown = 0;
    forgetShownCells();
}

// Follows the terminal's new size: ncurses' idea of it, then the console buffer.
void followResize() {
    CursesCall curses;
    int width = 0;
    int height = 0;
    terminalSize(width, height);
    if (terminal.screen != nullptr) {
        // A resize that fails has run out of memory, and leaves ncurses' windows (and, in its
        // cleanup, the heap) broken: nothing more can be drawn or trusted.
        if (resizeterm(height, width) != OK) endForMemory();
        forgetShownCells();
    }
    terminal.knownWidth = width;
    terminal.knownHeight = height;
    resizeConsoleBuffer(width, height);
}

// A new size without SIGWINCH: none arrives where the terminal is not the controlling one.
void noticeSizeChange() {
    int width = 0;
    int height = 0;
    terminalSize(width, height);
    if (width != terminal.knownWidth || height != terminal.knownHeight) resizeSeen = 1;
}

// Takes in a size change the signal handler saw. Done before drawing too, so nothing is drawn
// for a size the terminal no longer has; the key wait then reports it.
void followResizes() {
    if (!resizeSeen) return;
    resizeSeen = 0;
    followResize();
    terminal.resizeUnreported = true;
}

// After a stop: our modes again, the full screen drawn anew from nothing.
void resume() {
    CursesCall curses;
    continueSeen = 0;
    if (!modesTaken) return;
    tcsetattr(terminal.ttyFd, TCSADRAIN, &terminal.rawModes);
    if (terminal.screen != nullptr) {
        screenShown = 1;
        clearok(curscr, TRUE);
        forgetShownCells();
        terminal.shownWidth = 0;
        drawScreen();
    }
}

// Ctrl-Z: the terminal as the user had it, stop, and the view again when the shell resumes us.
void suspend() {
    CursesCall curses;
    suspendAsked = 0;
    if (terminal.screen != nullptr) {
        endwin();
        screenShown = 0;
        popTitle();
    }
    tcsetattr(terminal.ttyFd, TCSADRAIN, &terminal.savedModes);
    installHandler(SIGTSTP, SIG_DFL, 0);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP);
    installHandler(SIGTSTP, onSuspend, SA_RESTART);
    resume();
}

// Ctrl-C ends the program the way the interrupt signal would, with the terminal given back.
[[noreturn]] void interrupt() {
    releaseTerminal();
    installHandler(SIGINT, SIG_DFL, 0);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGINT);
    _exit(130);
}

int readTerminal(void*, uint8_t* buffer, int capacity, int timeoutMs) {
    for (;;) {
        if (continueSeen) resume();
        if (suspendAsked) suspend();
        noticeSizeChange();
        followResizes();
        if (terminal.resizeUnreported) {
            terminal.resizeUnreported = false;
            return kInputResized;
        }
        // Without SIGWINCH the wait wakes now and then to ask for the size; the caller works out
        // the time left, as after a signal.
        int waitMs = timeoutMs;
        if (!terminal.controlling && (waitMs < 0 || waitMs > kSizePollMs)) waitMs = kSizePollMs;
        pollfd watched[2] = {{terminal.ttyFd, POLLIN, 0}, {terminal.wakePipe[0], POLLIN, 0}};
        int ready = poll(watched, terminal.wakePipe[0] >= 0 ? 2 : 1, waitMs);
        if (ready < 0) {
            // The caller works out the time left; a look without waiting (0 ms) is taken again,
            // as its "nothing there" lets a pending Esc stand alone.
            if (errno == EINTR && timeoutMs != 0) return 0;
            if (errno == EINTR) continue;
            return kInputClosed;
        }
        if (ready == 0) return 0;
        if (terminal.wakePipe[0] >= 0 && (watched[1].revents & POLLIN)) {
            char drain[64];
            while (read(terminal.wakePipe[0], drain, sizeof drain) > 0) {
            }
            continue;
        }
        if (watched[0].revents & POLLIN) {
            ssize_t count = read(terminal.ttyFd, buffer, static_cast<size_t>(capacity));
            if (count > 0) return static_cast<int>(count);
            if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            return kInputClosed;
        }
        if (watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return kInputClosed;
    }
}

int64_t readClock(void*) {
    return clockMs();
}

} // namespace

bool haveTerminal() {
    return probe();
}

void terminalSize(int& width, int& height) {
    width = 80;
    height = 25;
    if (!probe()) return;
    winsize size{};
    if (ioctl(terminal.ttyFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        width = std::min<int>(size.ws_col, kConsoleSideLimit);
        height = std::min<int>(size.ws_row, kConsoleSideLimit);
    }
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
    static const KeyInput input{readTerminal, readClock, nullptr};
    for (;;) {
        int result = waitKeyEvent(terminal.parser, input, out);
        if (result != kInputKey) return result;
        bool ctrlOnly = (out.modifiers & (kModifierCtrl | kModifierAlt)) == kModifierCtrl;
        if (ctrlOnly && out.character == 0x03) interrupt();
        if (ctrlOnly && out.character == 0x1A) {
            suspend();
            continue;
        }
        return kInputKey;
    }
}

void releaseTerminal() {
    endScreen();
    giveModesBack();
}

void abandonTerminal() {
    if (terminal.ttyFd < 0) return;
    if (screenShown && restoreLength > 0)
        writeWithoutBlocking(terminal.ttyFd, restoreText, static_cast<size_t>(restoreLength));
    screenShown = 0;
    if (modesTaken) tcsetattr(terminal.ttyFd, TCSANOW, &terminal.savedModes);
    modesTaken = 0;
}
