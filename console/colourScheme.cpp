#include "console/colourScheme.h"

#include "platform/temporaryFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

ColourScheme colourScheme{};
std::string exeDirectory;
std::string userColourDirectory;

namespace {

constexpr size_t kSchemeFileSize = 14; // seven little-endian words, nothing else
constexpr size_t kHostFileBytes = 38;  // of the host's settings only bytes 32, 33, 37 are used

// Where the colours in force were last read from: a save goes back there when it can, and a
// deletion deletes that file.
enum class ColourSource { defaults, userFile, programFile, hostFile };
ColourSource colourSource = ColourSource::defaults;

std::vector<ColourFileError> failures;

// The seven entries in file and escape order, as members rather than by pointer arithmetic over
// the record.
constexpr uint16_t ColourScheme::*kEntries[7] = {
    &ColourScheme::base,        &ColourScheme::frame,    &ColourScheme::identical,
    &ColourScheme::reserved,    &ColourScheme::matching, &ColourScheme::differing,
    &ColourScheme::lineNumbers,
};

uint16_t& entry(int index) {
    return colourScheme.*kEntries[index];
}

std::string userFilePath() {
    return userColourDirectory.empty() ? std::string() : userColourDirectory + "qvd.ini";
}

// Reads up to count bytes from the start of a regular file; the number read, or -1 when there
// is no such file. Anything else (a FIFO, a device, a link to the terminal) counts as no file:
// it is never read, and opening it never waits for a writer.
long readHead(const std::string& path, unsigned char* out, size_t count) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    // Checked again on what was opened: the name may have been replaced in between.
    long got = -1;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        got = 0;
        while (static_cast<size_t>(got) < count) {
            const ssize_t chunk = read(fd, out + got, count - static_cast<size_t>(got));
            if (chunk < 0 && errno == EINTR) continue;
            if (chunk <= 0) break;
            got += chunk;
        }
    }
    close(fd);
    return got;
}

bool writeAll(int fd, const unsigned char* bytes, size_t count) {
    while (count > 0) {
        ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

void setDefaults() {
    colourScheme.base = 0x1B;
    colourScheme.frame = 0x1B;
    colourScheme.identical = 0x1E;
    colourScheme.matching = 0x4F;
    colourScheme.differing = 0x4E;
    colourScheme.lineNumbers = 0x17;
}

// Notes why path failed: the error's description, or reason when given.
bool fail(const std::string& path, int error, const char* reason = nullptr) {
    if (reason == nullptr) reason = strerrordesc_np(error);
    failures.push_back({path, reason != nullptr ? reason : "unknown error"});
    return false;
}

// An absolute directory from the environment, without trailing slashes; empty when the variable
// is unset, empty or relative (such a value names no place: it is ignored).
std::string absoluteDirectory(const char* name) {
    const char* value = getenv(name);
    if (value == nullptr || value[0] != '/') return {};
    std::string directory = value;
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    return directory == "/" ? std::string() : directory;
}

// Makes every missing directory of the path up to its last '/', each with mode 0700: what the
// user keeps there is the user's own. False when one cannot be made.
bool makeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string directory = path.substr(0, slash);
        if (mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST) continue;
        const int error = errno;
        struct stat status {};
        if (stat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) continue;
        return fail(directory, error);
    }
    return true;
}

// Writes the scheme to path: a new file beside it, renamed over it, so that a failure at any
// point leaves the old file as it was. A link stays a link (the file it leads to is replaced),
// and a replaced file keeps its permissions. Only a regular file the user may write is
// replaced. False, with the reason noted, when it cannot be done.
bool writeSchemeFile(const std::string& path, const unsigned char* bytes, size_t count) {
    std::string target = path;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        target = resolved;
        free(resolved);
    }
    struct stat old {};
    const bool replacing = stat(target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) return fail(path, 0, "not a regular file");
    if (replacing && access(target.c_str(), W_OK) != 0) return fail(path, errno);
    const std::string folder = target.substr(0, target.rfind('/') + 1);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + ".qvd.ini." + std::to_string(getpid()) + "." + std::to_string(attempt);
        fd = createTemporaryFile(temporary.c_str());
        if (fd < 0 && errno != EEXIST) return fail(path, errno);
    }
    if (fd < 0) return fail(path, EEXIST);
    bool written = (!replacing || fchmod(fd, old.st_mode & 07777) == 0) &&
                   writeAll(fd, bytes, count) && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && rename(temporary.c_str(), target.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        removeTemporaryFile();
        return fail(path, error);
    }
    forgetTemporaryFile();
    return true;
}

bool saveScheme() {
    unsigned char bytes[kSchemeFileSize];
    for (size_t index = 0; index < 7; ++index) {
        bytes[2 * index] = static_cast<unsigned char>(entry(index) & 0xFF);
        bytes[2 * index + 1] = static_cast<unsigned char>(entry(index) >> 8);
    }
    // The file beside the executable only when the colours came from it (a portable copy): an
    // installed program's directory is the system's, not the user's (run as root, a save landed
    // in /usr/bin), and a file written there would not be read while the user's file stands
    // before it.
    if (colourSource == ColourSource::programFile &&
        writeSchemeFile(exeDirectory + "qvd.ini", bytes, sizeof bytes))
        return true;
    const std::string userFile = userFilePath();
    if (userFile.empty()) return fail("~/.config/qvd/qvd.ini", 0, "no home directory (HOME)");
    if (makeDirectories(userFile) && writeSchemeFile(userFile, bytes, sizeof bytes)) {
        colourSource = ColourSource::userFile;
        return true;
    }
    return false;
}

bool deleteScheme() {
    std::string path;
    if (colourSource == ColourSource::userFile) path = userFilePath();
    if (colourSource == ColourSource::programFile) path = exeDirectory + "qvd.ini";
    if (path.empty()) return true; // the colours came from no qvd.ini: there is none to delete
    // A missing file is already what was asked for.
    if (unlink(path.c_str()) != 0 && errno != ENOENT) return fail(path, errno);
    colourSource = ColourSource::defaults;
    return true;
}

} // namespace

uint16_t colourEntry(int index) {
    if (index < 0 || index > 6) return colourScheme.base;
    return entry(index);
}

void findExeDirectory(const char* argument0) {
    std::string path;
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length > 0 && static_cast<size_t>(length) < sizeof buffer)
        path.assign(buffer, static_cast<size_t>(length));
    else if (argument0 != nullptr)
        path = argument0;
    size_t slash = path.rfind('/');
    exeDirectory = slash == std::string::npos ? "./" : path.substr(0, slash + 1);

    std::string config = absoluteDirectory("XDG_CONFIG_HOME");
    if (config.empty()) {
        const std::string home = absoluteDirectory("HOME");
        if (!home.empty()) config = home + "/.config";
    }
    userColourDirectory = config.empty() ? std::string() : config + "/qvd/";
}

int loadColourScheme(bool restoreDefaults) {
    if (!restoreDefaults) {
        // A colour file shorter than its format is not one (a write that broke off, an empty
        // file): it would leave entries undefined or black on black, so the next source is used.
        unsigned char scheme[kSchemeFileSize];
        const std::string userFile = userFilePath();
        colourSource = ColourSource::userFile;
        bool found = !userFile.empty() &&
                     readHead(userFile, scheme, sizeof scheme) == static_cast<long>(sizeof scheme);
        if (!found) {
            colourSource = ColourSource::programFile;
            found = readHead(exeDirectory + "qvd.ini", scheme, sizeof scheme) ==
                    static_cast<long>(sizeof scheme);
        }
        if (found) {
            for (size_t index = 0; index < 7; ++index)
                entry(index) =
                    static_cast<uint16_t>(scheme[2 * index] | scheme[2 * index + 1] << 8);
            return 1;
        }
        unsigned char host[kHostFileBytes];
        colourSource = ColourSource::hostFile;
        if (readHead(exeDirectory + "kqw.ini", host, sizeof host) ==
            static_cast<long>(sizeof host)) {
            uint16_t text = host[32];
            colourScheme.base = host[33];
            colourScheme.frame = host[33];
            colourScheme.identical = text;
            colourScheme.matching = static_cast<uint16_t>(((text & 0x0F) | 0x40) ^ 0x08);
            colourScheme.differing = static_cast<uint16_t>((text & 0x0F) | 0x40);
            colourScheme.lineNumbers = host[37];
            return 1;
        }
        colourSource = ColourSource::defaults;
    }
    setDefaults();
    return 0;
}

bool saveColourScheme(int request) {
    failures.clear();
    return request == 2 ? saveScheme() : deleteScheme();
}

const std::vector<ColourFileError>& colourFileErrors() {
    return failures;
}
