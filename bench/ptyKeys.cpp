// Runs a program on a pseudo-terminal of a given size, sends it Down keys one at a time, and
// reports what it wrote to the terminal for each key and the CPU time it used, so the cost of a
// one-row scroll can be measured on the real presenter (ncurses), not only in memory.
//   ptyKeys WIDTH HEIGHT KEYS program [arguments...]
// Prints: bytes of the first screen, the mean bytes written per key, and the child's CPU
// milliseconds (user + system) from start to exit; the program is ended with q.

#include "ptyChild.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Reads from fd until nothing arrives for quietMs; returns the bytes read.
long drain(int fd, int quietMs) {
    long total = 0;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, quietMs);
        if (ready <= 0) return total;
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return total;
        total += got;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: ptyKeys WIDTH HEIGHT KEYS program [arguments...]\n");
        return 2;
    }
    winsize size{};
    size.ws_col = static_cast<unsigned short>(std::atoi(argv[1]));
    size.ws_row = static_cast<unsigned short>(std::atoi(argv[2]));
    int keys = std::atoi(argv[3]);

    int master = -1;
    pid_t child = startOnPseudoTerminal(size, argv + 4, master);
    if (child < 0) return 2;
    long first = drain(master, 500);
    long perKey = 0;
    for (int i = 0; i < keys; ++i) {
        if (write(master, "\x1b[B", 3) != 3) break;
        perKey += drain(master, 40);
    }
    if (write(master, "q", 1) != 1) return 2;
    // The child ends and restores the terminal; keep reading so it never blocks on output.
    int status = 0;
    rusage usage{};
    for (;;) {
        drain(master, 50);
        pid_t done = wait4(child, &status, WNOHANG, &usage);
        if (done == child) break;
    }
    double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    std::printf("first screen %ld bytes, %.1f bytes per key (%d keys), cpu %.3f ms, exit %d\n",
                first, keys > 0 ? double(perKey) / keys : 0.0, keys, cpu,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
