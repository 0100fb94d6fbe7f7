#include "platform/files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every way out.
struct FileDescriptor {
    int fd;
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
};

// Reads exactly count bytes; false on a read error or when the file ends early.
bool readExactly(int fd, uint8_t* out, uint64_t count) {
    while (count > 0) {
        // Linux moves at most about 2 GiB per call.
        size_t chunk = count > (1u << 30) ? (1u << 30) : static_cast<size_t>(count);
        ssize_t got = read(fd, out, chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        count -= static_cast<uint64_t>(got);
    }
    return true;
}

// Reads a stream of unknown length to its end, growing the block as it goes.
uint8_t* readToEnd(int fd, uint32_t& size) {
    uint64_t capacity = 64 * 1024;
    uint64_t used = 0;
    auto block = static_cast<uint8_t*>(malloc(capacity));
    if (!block) return nullptr;
    for (;;) {
        if (used == capacity) {
            if (capacity > kLargestFileSize) break; // already past what can be loaded
            uint64_t grown = capacity * 2;
            auto bigger = static_cast<uint8_t*>(realloc(block, grown));
            if (!bigger) break;
            block = bigger;
            capacity = grown;
        }
        ssize_t got = read(fd, block + used, static_cast<size_t>(capacity - used));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        if (got == 0) {
            size = static_cast<uint32_t>(used);
            return block;
        }
        used += static_cast<uint64_t>(got);
        if (used > kLargestFileSize) break;
    }
    free(block);
    return nullptr;
}

} // namespace

uint8_t* readWholeFile(const char* path, uint32_t& size) {
    FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) return nullptr;
    struct stat status;
    if (fstat(file.fd, &status) != 0 || S_ISDIR(status.st_mode)) return nullptr;
    if (!S_ISREG(status.st_mode)) return readToEnd(file.fd, size);

    uint64_t length = static_cast<uint64_t>(status.st_size);
    if (length > kLargestFileSize) return nullptr;
    // malloc(0) may give null; one spare byte keeps an empty file a valid block.
    auto block = static_cast<uint8_t*>(malloc(length > 0 ? length : 1));
    if (!block) return nullptr;
    if (!readExactly(file.fd, block, length)) {
        free(block);
        return nullptr;
    }
    size = static_cast<uint32_t>(length);
    return block;
}

bool opensAsFile(const char* path) {
    FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.fd < 0) return false;
    struct stat status;
    return fstat(file.fd, &status) == 0 && !S_ISDIR(status.st_mode);
}
