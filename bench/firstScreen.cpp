// Time from start to the first full screen of the real program on a pseudo-terminal, as a user
// waiting for it sees it: the program is started on a pty of the given size, its output read as
// it comes, and the screen counts as full once the program sits waiting for a key (blocked in poll
// on the terminal, having written everything) and no more output follows. The figure is the time
// of the last byte of that output. The program is then ended with q.
//   firstScreen RUNS WIDTH HEIGHT program [arguments...]
// Prints the median seconds, the median peak resident memory in KiB (the child's rusage) and the
// bytes of the last run's first screen (the same for programs that show the same screen). With
// FIRST_SCREEN_BYTES set to a path, the last run's first screen is written there as the terminal
// received it, to be compared with another program's. With FIRST_SCREEN_TEXT set, the screen is
// complete as soon as the output holds that text (a screen that goes on showing progress, such
// as the directory list, never falls quiet): the figure is the time of the byte that completed it.

#include "ptyChild.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// True when the process is asleep in poll or ppoll: the view waits for a key that way.
bool waitingForKey(pid_t child) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/syscall", static_cast<int>(child));
    FILE* file = std::fopen(path, "r");
    if (!file) return false;
    long number = -1;
    int fields = std::fscanf(file, "%ld", &number);
    std::fclose(file);
    return fields == 1 && (number == SYS_poll || number == SYS_ppoll);
}

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    long bytes = 0;
    std::string screen; // the bytes of the first screen
};

bool runOnce(const winsize& size, char** command, Run& run) {
    const Clock::time_point start = Clock::now();
    int master = -1;
    pid_t child = startOnPseudoTerminal(size, command, master);
    if (child < 0) return false;
    Clock::time_point lastOutput = start;
    long bytes = 0;
    char buffer[65536];
    // Quiet time after which the program's state is looked at, and how long it must stay quiet
    // and waiting before the screen counts as complete.
    constexpr int kQuietMs = 5;
    constexpr auto kSettled = std::chrono::milliseconds(200);
    bool failed = false;
    const char* until = std::getenv("FIRST_SCREEN_TEXT");
    for (;;) {
        pollfd watched{master, POLLIN, 0};
        int ready = poll(&watched, 1, kQuietMs);
        if (ready > 0) {
            ssize_t got = read(master, buffer, sizeof buffer);
            if (got <= 0) {
                failed = true; // the program went away before showing anything
                break;
            }
            bytes += got;
            run.screen.append(buffer, static_cast<size_t>(got));
            lastOutput = Clock::now();
            if (until && run.screen.find(until) != std::string::npos) break;
            continue;
        }
        if (bytes > 0 && Clock::now() - lastOutput >= kSettled && waitingForKey(child)) break;
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "firstScreen: %s ended before showing a screen\n", command[0]);
            close(master);
            return false;
        }
    }
    run.seconds = std::chrono::duration<double>(lastOutput - start).count();
    run.bytes = bytes;
    if (write(master, "q", 1) != 1) failed = true;
    int status = 0;
    rusage usage{};
    for (;;) {
        pollfd watched{master, POLLIN, 0};
        if (poll(&watched, 1, 20) > 0 && read(master, buffer, sizeof buffer) <= 0) {
            // The slave side is gone; only the exit status is left to collect.
        }
        if (wait4(child, &status, WNOHANG, &usage) == child) break;
    }
    close(master);
    run.peakKiB = usage.ru_maxrss;
    return !failed;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: firstScreen RUNS WIDTH HEIGHT program [arguments...]\n");
        return 2;
    }
    int runs = std::atoi(argv[1]);
    winsize size{};
    size.ws_col = static_cast<unsigned short>(std::atoi(argv[2]));
    size.ws_row = static_cast<unsigned short>(std::atoi(argv[3]));
    std::vector<double> seconds;
    std::vector<long> peaks;
    Run run;
    for (int i = 0; i < runs; ++i) {
        run = Run{};
        if (!runOnce(size, argv + 4, run)) return 1;
        seconds.push_back(run.seconds);
        peaks.push_back(run.peakKiB);
    }
    if (const char* path = std::getenv("FIRST_SCREEN_BYTES")) {
        FILE* file = std::fopen(path, "wb");
        if (!file ||
            std::fwrite(run.screen.data(), 1, run.screen.size(), file) != run.screen.size())
            std::fprintf(stderr, "firstScreen: cannot write %s\n", path);
        if (file) std::fclose(file);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(peaks.begin(), peaks.end());
    std::printf("%.3f %ld %ld\n", seconds[seconds.size() / 2], peaks[peaks.size() / 2], run.bytes);
    return 0;
}
