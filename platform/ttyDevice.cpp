// The terminal device and its modes, and the wait for key bytes on it. The user's modes are read
// once, when the device is opened, and given back on every way out (platform/waysOut.cpp keeps
// its own copy for the signal handlers).
#include "platform/ttyDevice.h"

#include "platform/consoleBuffer.h"
#include "platform/keyParser.h"
#include "platform/waysOut.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct TtyDevice {
    int fd = -1;
    bool controlling = false; // fd is the controlling terminal: SIGWINCH tells of new sizes
    termios userModes{};      // the user's modes, given back on every way out
    termios rawModes{};
};

TtyDevice device;

// Without a controlling terminal no SIGWINCH arrives: the key wait asks for the size this often.
constexpr int kSizePollMs = 250;

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

} // namespace

bool openTerminalDevice() {
    bool controlling = false;
    int fd = openTerminal(controlling);
    if (fd < 0) return false;
    if (!isatty(fd) || tcgetattr(fd, &device.userModes) != 0) {
        close(fd);
        return false;
    }
    device.fd = fd;
    device.controlling = controlling;
    return true;
}

void closeTerminalDevice() {
    close(device.fd);
    device.fd = -1;
}

void keepTerminalDevice() {
    keepTerminalForWaysOut(device.fd, device.userModes);
    device.rawModes = device.userModes;
    device.rawModes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ISIG | IEXTEN | ECHO | ECHONL);
    device.rawModes.c_iflag &=
        ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | BRKINT | PARMRK | ISTRIP);
    device.rawModes.c_cc[VMIN] = 1;
    device.rawModes.c_cc[VTIME] = 0;
}

int terminalFd() {
    return device.fd;
}

bool controllingTerminal() {
    return device.controlling;
}

void takeModes() {
    if (modesTaken) return;
    watchStopsAndResizes();
    tcsetattr(device.fd, TCSADRAIN, &device.rawModes);
    modesTaken = 1;
}

void giveModesBack() {
    if (!modesTaken) return;
    tcsetattr(device.fd, TCSADRAIN, &device.userModes);
    modesTaken = 0;
}

void lendUserModes() {
    tcsetattr(device.fd, TCSADRAIN, &device.userModes);
}

bool retakeModes() {
    if (!modesTaken) return false;
    tcsetattr(device.fd, TCSADRAIN, &device.rawModes);
    return true;
}

int waitForKeyBytes(uint8_t* buffer, int capacity, int timeoutMs) {
    int waitMs = timeoutMs;
    if (!device.controlling && (waitMs < 0 || waitMs > kSizePollMs)) waitMs = kSizePollMs;
    const int wakeFd = wakeDescriptor();
    pollfd watched[2] = {{device.fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int ready = poll(watched, wakeFd >= 0 ? 2 : 1, waitMs);
    if (ready < 0) {
        // A look without waiting (0 ms) is taken again, as its "nothing there" lets a pending Esc
        // stand alone.
        if (errno == EINTR && timeoutMs != 0) return 0;
        if (errno == EINTR) return kWaitAgain;
        return kInputClosed;
    }
    if (ready == 0) return 0;
    if (wakeFd >= 0 && (watched[1].revents & POLLIN)) {
        drainWakes();
        return kWaitAgain;
    }
    if (watched[0].revents & POLLIN) {
        ssize_t count = read(device.fd, buffer, static_cast<size_t>(capacity));
        if (count > 0) return static_cast<int>(count);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) return kWaitAgain;
        return kInputClosed;
    }
    if (watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return kInputClosed;
    return kWaitAgain;
}

bool deviceSize(int& width, int& height) {
    winsize size{};
    if (ioctl(device.fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
        return false;
    width = std::min<int>(size.ws_col, kConsoleSideLimit);
    height = std::min<int>(size.ws_row, kConsoleSideLimit);
    return true;
}
