// Runs a command several times as a child process, its output thrown away, and prints the median
// wall time in seconds and the median peak resident memory in KiB, from the child's own rusage.
//   measure RUNS command [arguments...]
// Exit status 1 of the command (what diff says for files that differ) counts as success.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    int runs = argc > 2 ? std::atoi(argv[1]) : 0;
    if (runs < 1) {
        std::fprintf(stderr, "usage: measure RUNS command [arguments...]\n");
        return 2;
    }
    std::vector<double> seconds;
    std::vector<long> peaks;
    for (int run = 0; run < runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        pid_t child = fork();
        if (child < 0) return 2;
        if (child == 0) {
            int null = open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, 1);
            execvp(argv[2], argv + 2);
            std::perror(argv[2]);
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) < 0) return 2;
        auto end = std::chrono::steady_clock::now();
        if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            std::fprintf(stderr, "measure: %s failed (status %d)\n", argv[2], status);
            return 1;
        }
        seconds.push_back(std::chrono::duration<double>(end - start).count());
        peaks.push_back(usage.ru_maxrss);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(peaks.begin(), peaks.end());
    std::printf("%.3f %ld\n", seconds[seconds.size() / 2], peaks[peaks.size() / 2]);
    return 0;
}
