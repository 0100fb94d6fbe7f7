#include "console/colourScheme.h"

#include "platform/temporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

ColourScheme colourScheme{};
std::string exeDirectory;

namespace {

constexpr size_t kSchemeFileSize = 14; // seven little-endian words, nothing else
constexpr size_t kHostFileBytes = 38;  // of the host's settings only bytes 32, 33, 37 are used

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

// Reads up to count bytes from the start of a file; the number read, or -1 when it cannot be
// opened.
long readHead(const std::string& path, unsigned char* out, size_t count) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return -1;
    size_t got = fread(out, 1, count, file);
    fclose(file);
    return static_cast<long>(got);
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
}

int loadColourScheme(bool restoreDefaults) {
    if (!restoreDefaults) {
        // A colour file shorter than its format is not one (a write that broke off, an empty
        // file): it would leave entries undefined or black on black, so the next source is used.
        unsigned char scheme[kSchemeFileSize];
        if (readHead(exeDirectory + "qvd.ini", scheme, sizeof scheme) ==
            static_cast<long>(sizeof scheme)) {
            for (size_t index = 0; index < 7; ++index)
                entry(index) =
                    static_cast<uint16_t>(scheme[2 * index] | scheme[2 * index + 1] << 8);
            return 1;
        }
        unsigned char host[kHostFileBytes];
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
    }
    setDefaults();
    return 0;
}

bool saveColourScheme(int request) {
    std::string path = exeDirectory + "qvd.ini";
    if (request != 2) {
        unlink(path.c_str()); // a missing file is already what was asked for
        return true;
    }
    unsigned char bytes[kSchemeFileSize];
    for (size_t index = 0; index < 7; ++index) {
        bytes[2 * index] = static_cast<unsigned char>(entry(index) & 0xFF);
        bytes[2 * index + 1] = static_cast<unsigned char>(entry(index) >> 8);
    }
    // A qvd.ini that is a link to a file kept elsewhere stays a link: the file it leads to is the
    // one replaced.
    std::string target = path;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        target = resolved;
        free(resolved);
    }
    std::string folder = target.substr(0, target.rfind('/') + 1);
    // The new file is written beside the old one and renamed over it, so a failure at any point
    // leaves the old qvd.ini as it was. It gets the old one's permissions.
    struct stat old {};
    bool replacing = stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + ".qvd.ini." + std::to_string(getpid()) + "." + std::to_string(attempt);
        fd = createTemporaryFile(temporary.c_str());
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool written = (!replacing || fchmod(fd, old.st_mode & 07777) == 0) &&
                   writeAll(fd, bytes, sizeof bytes) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        forgetTemporaryFile();
        return false;
    }
    forgetTemporaryFile();
    return true;
}
