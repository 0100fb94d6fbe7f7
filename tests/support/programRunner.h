#pragma once
// Starts a built program the way a user or a script would and collects what it leaves: standard
// output and error, the exit code, and (on a terminal of its own) every byte it wrote there.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

struct ProgramOutcome {
    int exitCode; // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

struct ProgramRun {
    ProgramRun(std::string programPath, std::string workingDirectory,
               std::vector<std::string> programArguments)
        : program(std::move(programPath)), directory(std::move(workingDirectory)),
          arguments(std::move(programArguments)) {}

    std::string program;                // path of the executable
    std::string directory;              // the working directory
    std::vector<std::string> arguments; // after argument 0 (the program's path)
    int keepOpen = -1;                  // a descriptor the child inherits (for /dev/fd/N), or -1
    bool asNobody = false;              // drop root's rights, so that permission bits count
    std::string input;                  // what standard input gives (a pipe), else /dev/null
    int execFd = -1; // run the program from this open descriptor (fexecve) instead of its path
    const char* options = nullptr; // QVD_OPTIONS for the program; null: none
    // Variables of git's set for the program (name, value); none is set otherwise.
    std::vector<std::pair<std::string, std::string>> gitVariables;
};

extern char** environ;

namespace programRunner {

inline std::string readAll(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    close(fd);
    return text;
}

// The part of the child's start that both ways of running share; never returns.
[[noreturn]] inline void execChild(const ProgramRun& run) {
    if (run.keepOpen >= 0) fcntl(run.keepOpen, F_SETFD, 0);
    if (run.asNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        _exit(125);
    if (chdir(run.directory.c_str()) != 0) _exit(126);
    // The user's colour file is looked for under HOME: the working directory stands in for the
    // home, so that no run reads the real user's settings.
    setenv("HOME", run.directory.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (run.directory + "/.config").c_str(), 1);
    if (run.options) {
        setenv("QVD_OPTIONS", run.options, 1);
    } else {
        unsetenv("QVD_OPTIONS");
    }
    // A test run from within git (a hook, git rebase -x) must not become git's external diff.
    for (const char* name : {"GIT_DIFF_PATH_COUNTER", "GIT_DIFF_PATH_TOTAL",
                             "GIT_EXTERNAL_DIFF_TRUST_EXIT_CODE", "GIT_PAGER_IN_USE"})
        unsetenv(name);
    for (const auto& [name, value] : run.gitVariables) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(run.program.c_str())};
    for (const auto& argument : run.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    if (run.execFd >= 0) {
        fexecve(run.execFd, argv.data(), environ);
    } else {
        execv(run.program.c_str(), argv.data());
    }
    _exit(127);
}

inline int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace programRunner

// Runs without any terminal: standard input is /dev/null (or a pipe with run.input), output and
// error are pipes, and the child has a session of its own, so /dev/tty cannot be opened.
inline ProgramOutcome runProgram(const ProgramRun& run) {
    int out[2], err[2], in[2];
    if (pipe(out) != 0 || pipe(err) != 0 || pipe(in) != 0) return {-1, "", "pipe"};
    pid_t child = fork();
    if (child == 0) {
        setsid();
        if (run.input.empty()) {
            int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
        } else {
            dup2(in[0], 0);
        }
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1], in[0], in[1]}) close(fd);
        programRunner::execChild(run);
    }
    close(out[1]);
    close(err[1]);
    close(in[0]);
    if (!run.input.empty()) {
        ssize_t ignored = write(in[1], run.input.data(), run.input.size());
        (void)ignored;
    }
    close(in[1]);
    // Read both pipes together: a program that fills one while the other is read would stall.
    std::string text[2];
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    for (int open = 2; open > 0;) {
        if (poll(fds, 2, -1) < 0) break;
        for (int index = 0; index < 2; ++index) {
            if (fds[index].fd < 0 || fds[index].revents == 0) continue;
            char buffer[65536];
            ssize_t got = read(fds[index].fd, buffer, sizeof buffer);
            if (got > 0) {
                text[index].append(buffer, static_cast<size_t>(got));
            } else {
                close(fds[index].fd);
                fds[index].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {programRunner::exitCodeOf(status), text[0], text[1]};
}

// Runs with standard input, output and error on a pseudo-terminal that is not the child's
// controlling terminal: isatty() holds for the descriptors, yet /dev/tty cannot be opened (the
// program would show its view on standard input and output: give it -b or other work that needs
// no keys). out receives every byte written to the terminal.
inline ProgramOutcome runOnPseudoTerminal(const ProgramRun& run) {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {-1, "", "openpty"};
    pid_t child = fork();
    if (child == 0) {
        setsid(); // no controlling terminal, and the slave was opened without making it one
        close(master);
        for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
        if (slave > 2) close(slave);
        programRunner::execChild(run);
    }
    close(slave);
    std::string text;
    char buffer[65536];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    close(master); // EIO once the child and its descriptors are gone
    int status = 0;
    waitpid(child, &status, 0);
    return {programRunner::exitCodeOf(status), text, ""};
}
