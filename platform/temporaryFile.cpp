#include "platform/temporaryFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Read by signal handlers: the path is complete before held is set, and held is cleared before
// the path changes.
char heldPath[4096];
volatile sig_atomic_t held = 0;

} // namespace

int createTemporaryFile(const char* path) {
    size_t length = strlen(path);
    if (length >= sizeof heldPath) {
        errno = ENAMETOOLONG;
        return -1;
    }
    held = 0;
    memcpy(heldPath, path, length + 1);
    // No signal may end the program between the file's creation and its being held, or the file
    // would be left behind.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    int openError = errno;
    if (fd >= 0) held = 1;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    errno = openError;
    return fd;
}

void forgetTemporaryFile() {
    held = 0;
}

void removeTemporaryFile() {
    if (!held) return;
    held = 0;
    int savedErrno = errno;
    unlink(heldPath);
    errno = savedErrno;
}
