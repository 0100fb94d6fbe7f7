// Every way out of the program that gives the terminal back without the rest of it: the handlers
// of the signals that end it, the alternate stack they run on, the atexit hook, memory running
// out inside ncurses, and the stop, continue and resize handlers that wake the key wait. All a
// handler may touch is in this file. What a handler reaches is async-signal-safe: it reads
// volatile sig_atomic_t flags and fixed storage written before it could look, and calls only
// write, fcntl, poll, clock_gettime, tcsetattr, getpid, raise and removeTemporaryFile
// (platform/temporaryFile.h, async-signal-safe too). The one exception is marked where it is
// taken: a crash inside ncurses runs the program's new handler.
#include "platform/waysOut.h"

#include "platform/temporaryFile.h"
#include "platform/terminal.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <unistd.h>

volatile sig_atomic_t modesTaken = 0;
volatile sig_atomic_t screenShown = 0;
volatile sig_atomic_t resizeSeen = 0;
volatile sig_atomic_t suspendAsked = 0;
volatile sig_atomic_t continueSeen = 0;
thread_local volatile sig_atomic_t cursesDepth __attribute__((tls_model("initial-exec"))) = 0;

namespace {

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

// What the handlers give back. Written once each (keepTerminalForWaysOut, keepRestoreText), the
// length and the descriptor last, so a handler sees either nothing or the whole.
struct Restore {
    volatile sig_atomic_t fd = -1; // the terminal; -1 until it is known to be usable
    termios userModes{};           // given back on every way out
    char text[256]{};              // leaves the full screen: our modes off, cursor back
    volatile sig_atomic_t textLength = 0;
};

Restore restore;

// Written by the stop, continue and resize handlers to end the key wait early.
int wakePipe[2] = {-1, -1};

bool exitHookInstalled = false;
bool stopHandlersInstalled = false;

// The handlers of ending signals run here, so that a stack that overflowed still restores.
alignas(16) char signalStack[64 * 1024];

// Async-signal-safe.
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

// Async-signal-safe: one write to a pipe that never blocks, errno kept.
void wake() {
    int savedErrno = errno;
    char byte = 0;
    if (wakePipe[1] >= 0) (void)!write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

// SA_RESETHAND has put the default action back and SA_NODEFER lets it act at once, so the
// program ends by this signal with the terminal given back (a shell sees status 128 + signal).
// A colour file being written goes with it (removeTemporaryFile is async-signal-safe). A crash
// is handled on the thread that crashed, a helper's too (platform/parallel.h).
void onEndingSignal(int signalNumber, siginfo_t* info, void*) {
    int savedErrno = errno;
    // ncurses does not check every allocation it makes (CursesCall): a crash inside it on this
    // thread, or the C library's abort on the heap it damaged, is taken for memory running out.
    // A crash comes from the kernel or from the program itself, never from kill(1).
    bool crashSignal = signalNumber == SIGSEGV || signalNumber == SIGBUS || signalNumber == SIGABRT;
    bool fromWithin = info != nullptr && (info->si_code > 0 || info->si_pid == getpid());
    if (crashSignal && fromWithin && cursesDepth > 0) endForMemory();
    removeTemporaryFile();
    abandonTerminal();
    raise(signalNumber);
    errno = savedErrno;
}

// The stop, continue and resize handlers only note what arrived and wake the key wait, which
// acts on it outside the handler. Async-signal-safe.
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

// The exit of a program that did not give the terminal back itself.
void atExit() {
    if (cursesDepth > 0) {
        // ncurses gave up inside a call (its memory ran out) and called exit.
        endForMemory();
        return;
    }
    releaseTerminal();
}

// Takes signalNumber's default action now, with our handler taken away first.
void actAsByDefault(int signalNumber) {
    installHandler(signalNumber, SIG_DFL, 0);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
}

} // namespace

void watchExits() {
    if (exitHookInstalled) return;
    exitHookInstalled = true;
    atexit(atExit);
    installEndingHandlers();
}

void watchStopsAndResizes() {
    if (stopHandlersInstalled) return;
    stopHandlersInstalled = true;
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = -1;
    installHandler(SIGWINCH, onResize, SA_RESTART);
    installHandler(SIGTSTP, onSuspend, SA_RESTART);
    installHandler(SIGCONT, onContinue, SA_RESTART);
}

void keepTerminalForWaysOut(int fd, const termios& userModes) {
    restore.userModes = userModes;
    std::atomic_signal_fence(std::memory_order_release); // the modes are in before the descriptor
    restore.fd = fd;
}

void keepRestoreText(std::string_view text) {
    if (text.size() >= sizeof restore.text) return;
    memcpy(restore.text, text.data(), text.size());
    std::atomic_signal_fence(std::memory_order_release); // the text is in before its length
    restore.textLength = static_cast<sig_atomic_t>(text.size());
}

int wakeDescriptor() {
    return wakePipe[0];
}

void drainWakes() {
    if (wakePipe[0] < 0) return;
    char drain[64];
    while (read(wakePipe[0], drain, sizeof drain) > 0) {
    }
}

// The terminal's part is async-signal-safe; the new handler is the program's own and need not
// be. The ending signals' handler calls this only for a crash inside ncurses, where the program
// is lost either way and its usual "Out of memory" end is worth the risk.
void endForMemory() {
    abandonTerminal();
    if (std::new_handler handler = std::get_new_handler()) handler();
}

void stopAsAsked() {
    actAsByDefault(SIGTSTP);
    installHandler(SIGTSTP, onSuspend, SA_RESTART);
}

void endAsInterrupted() {
    actAsByDefault(SIGINT);
    // Only where the signal could not end the program (it is ignored or blocked for good): the
    // status a shell gives a program the signal ended.
    _exit(128 + SIGINT);
}

// Async-signal-safe: the handlers call it.
void abandonTerminal() {
    if (restore.fd < 0) return;
    if (screenShown && restore.textLength > 0)
        writeWithoutBlocking(restore.fd, restore.text, static_cast<size_t>(restore.textLength));
    screenShown = 0;
    if (modesTaken) tcsetattr(restore.fd, TCSANOW, &restore.userModes);
    modesTaken = 0;
}
