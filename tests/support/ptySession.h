#pragma once
// A built program on a pseudo-terminal of its own, driven as a user at that terminal would: keys
// sent, the window resized, signals, and the output read (or on purpose not read). Afterwards the
// terminal's modes, its screen state and standard error (a pipe of its own) tell how the program
// left.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

struct PtyOptions {
    std::string program;
    std::vector<std::string> arguments;   // after argument 0
    std::string directory = ".";          // the working directory
    std::vector<std::string> environment; // NAME=value, the whole environment
    int width = 80;
    int height = 25;
    // The terminal is the program's controlling terminal (/dev/tty); else the program runs in a
    // session without one, with standard input and output (not error) on the terminal.
    bool controlling = true;
    std::vector<std::pair<int, rlim_t>> limits; // setrlimit in the child (RLIMIT_AS...)
};

class PtySession {
  public:
    explicit PtySession(const PtyOptions& options) {
        int slave = -1;
        winsize size{};
        size.ws_col = static_cast<unsigned short>(options.width);
        size.ws_row = static_cast<unsigned short>(options.height);
        int errorEnds[2];
        if (openpty(&master, &slave, nullptr, nullptr, &size) != 0 || pipe(errorEnds) != 0) return;
        tcgetattr(slave, &before);
        pid = fork();
        if (pid == 0) {
            setsid();
            if (options.controlling) ioctl(slave, TIOCSCTTY, 0);
            dup2(slave, 0);
            dup2(slave, 1);
            dup2(errorEnds[1], 2);
            for (int fd = 3; fd < 1024; ++fd) close(fd);
            for (const auto& [resource, value] : options.limits) {
                rlimit limit{value, value};
                setrlimit(resource, &limit);
            }
            rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore); // the signals that dump core must not litter
            if (chdir(options.directory.c_str()) != 0) _exit(126);
            std::vector<char*> argv{const_cast<char*>(options.program.c_str())};
            for (const auto& argument : options.arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            std::vector<char*> envp;
            for (const auto& entry : options.environment)
                envp.push_back(const_cast<char*>(entry.c_str()));
            envp.push_back(nullptr);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(slave);
        close(errorEnds[1]);
        errorPipe = errorEnds[0];
        fcntl(master, F_SETFL, O_NONBLOCK);
        fcntl(errorPipe, F_SETFL, O_NONBLOCK);
    }

    ~PtySession() {
        if (running()) {
            kill(pid, SIGKILL);
            while (!reaped) collect(100);
        }
        if (master >= 0) close(master);
        if (errorPipe >= 0) close(errorPipe);
    }

    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;

    bool started() const { return pid > 0; }
    bool running() const { return pid > 0 && !reaped; }

    // Types bytes at the terminal.
    void send(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t written = write(master, bytes.data(), bytes.size());
            if (written > 0) {
                bytes.remove_prefix(static_cast<size_t>(written));
            } else if (written < 0 && errno == EAGAIN) {
                collect(10);
            } else if (written < 0 && errno != EINTR) {
                return;
            }
        }
    }

    // Gives the terminal a new size (the kernel tells the controlling terminal's programs).
    void resize(int width, int height) {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(width);
        size.ws_row = static_cast<unsigned short>(height);
        ioctl(master, TIOCSWINSZ, &size);
    }

    void signal(int signalNumber) {
        if (running()) kill(pid, signalNumber);
    }

    // Reads what the program writes for this long (and notices its end).
    void collect(int milliseconds) {
        auto deadline = now() + milliseconds;
        do {
            // A descriptor at its end (the program gone) is not watched: it would be ready at
            // once, again and again.
            pollfd fds[2] = {{readingOutput && outputOpen ? master : -1, POLLIN, 0},
                             {errorsOpen ? errorPipe : -1, POLLIN, 0}};
            int wait = static_cast<int>(std::max<long long>(0, std::min(deadline - now(), 20LL)));
            if (fds[0].fd < 0 && fds[1].fd < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(wait));
            else
                poll(fds, 2, wait);
            if (fds[0].fd >= 0) outputOpen = drain(master, output);
            if (fds[1].fd >= 0) errorsOpen = drain(errorPipe, errors);
            reap();
        } while (now() < deadline);
    }

    // Waits up to timeoutMs for text to appear in the output (from the offset from on: what came
    // after output.size() at some moment). True when it did.
    bool waitForOutput(std::string_view text, int timeoutMs, size_t from = 0) {
        auto deadline = now() + timeoutMs;
        while (output.find(text, from) == std::string::npos) {
            if (now() >= deadline || (reaped && !outputOpen)) return false;
            collect(10);
        }
        return true;
    }

    // Waits up to timeoutMs for the program to end, reading its output meanwhile (unless
    // stopReading was called). True when it ended.
    bool waitForExit(int timeoutMs) {
        auto deadline = now() + timeoutMs;
        while (!reaped && now() < deadline) collect(10);
        // The last bytes: up to the end of the output, which a loaded machine may hand over late.
        for (auto last = now() + 2000; reaped && readingOutput && outputOpen && now() < last;)
            collect(10);
        return reaped;
    }

    // From now on nobody reads the terminal: the program's writes fill it and then block.
    void stopReading() { readingOutput = false; }
    void resumeReading() { readingOutput = true; }

    bool exited() const { return reaped && WIFEXITED(status); }
    int exitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
    int signalled() const { return reaped && WIFSIGNALED(status) ? WTERMSIG(status) : 0; }

    // The terminal's modes are those it had before the program started.
    bool modesRestored() const {
        termios after{};
        if (tcgetattr(master, &after) != 0) return false;
        return after.c_iflag == before.c_iflag && after.c_oflag == before.c_oflag &&
               after.c_lflag == before.c_lflag && after.c_cflag == before.c_cflag &&
               memcmp(after.c_cc, before.c_cc, sizeof after.c_cc) == 0;
    }

    // The alternate screen was entered at some point.
    bool enteredAlternateScreen() const {
        return output.find(kEnterAlternate) != std::string::npos;
    }

    // The alternate screen is not in force at the end: after its last entry comes a leave.
    bool leftAlternateScreen() const {
        size_t entered = output.rfind(kEnterAlternate);
        if (entered == std::string::npos) return true;
        size_t left = output.rfind(kLeaveAlternate);
        return left != std::string::npos && left > entered;
    }

    // Mouse reporting is not in force at the end: after its last switch on comes a switch off.
    bool mouseReportingOff() const {
        size_t on = output.rfind(kMouseOn);
        if (on == std::string::npos) return true;
        size_t off = output.rfind(kMouseOff);
        return off != std::string::npos && off > on;
    }

    std::string output; // every byte written to the terminal (while it was read)
    std::string errors; // every byte written to standard error

    static constexpr std::string_view kEnterAlternate = "\x1b[?1049h";
    static constexpr std::string_view kLeaveAlternate = "\x1b[?1049l";
    static constexpr std::string_view kMouseOn = "\x1b[?1000h";
    static constexpr std::string_view kMouseOff = "\x1b[?1000l";

  private:
    static long long now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // Reads what is there; false once the descriptor is at its end (no writer is left).
    static bool drain(int fd, std::string& into) {
        char buffer[65536];
        for (;;) {
            ssize_t got = read(fd, buffer, sizeof buffer);
            if (got > 0) {
                into.append(buffer, static_cast<size_t>(got));
                continue;
            }
            return got < 0 && (errno == EAGAIN || errno == EINTR);
        }
    }

    void reap() {
        if (pid <= 0 || reaped) return;
        if (waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    }

    int master = -1;
    int errorPipe = -1;
    pid_t pid = -1;
    int status = 0;
    bool reaped = false;
    bool readingOutput = true;
    bool outputOpen = true; // the terminal still has a writer
    bool errorsOpen = true;
    termios before{};
};
