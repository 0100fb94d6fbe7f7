#pragma once
// A program started on a new pseudo-terminal of a given size, as its controlling terminal, under
// TERM=xterm-256color: the benchmarks drive it through the master side.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

// Starts command (null-terminated, command[0] looked up in PATH) and puts the master side in
// master. Returns the child's process id, or -1 when no terminal or process could be had.
inline pid_t startOnPseudoTerminal(const winsize& size, char** command, int& master) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    const char* slaveName = ptsname(master);
    ioctl(master, TIOCSWINSZ, &size);
    pid_t child = fork();
    if (child != 0) return child;
    setsid();
    int slave = open(slaveName, O_RDWR);
    if (slave < 0) _exit(127);
    ioctl(slave, TIOCSCTTY, 0);
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    close(master);
    setenv("TERM", "xterm-256color", 1);
    execvp(command[0], command);
    _exit(127);
}
