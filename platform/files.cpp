#include "platform/files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
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
    // Files of /proc and the like claim a length of 0 and have contents all the same; a truly
    // empty file reads to its end at once, so it loses nothing by the same path.
    if (!S_ISREG(status.st_mode) || status.st_size == 0) return readToEnd(file.fd, size);

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
    // Opening a named pipe would take a writer's open for ours and throw away what it wrote
    // when we close it; the load that follows would then wait for a writer that never comes.
    struct stat named;
    if (stat(path, &named) == 0 && S_ISFIFO(named.st_mode)) return access(path, R_OK) == 0;
    FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.fd < 0) return false;
    struct stat status;
    return fstat(file.fd, &status) == 0 && !S_ISDIR(status.st_mode);
}

namespace {

// One file read front to back in chunks, with the loader's rules: a directory, 4 GiB or more, a
// read error or a regular file that ends early is a failure.
class ChunkReader {
  public:
    explicit ChunkReader(const char* path) : file(open(path, O_RDONLY | O_CLOEXEC)) {
        struct stat status;
        failed = file.fd < 0 || fstat(file.fd, &status) != 0 || S_ISDIR(status.st_mode);
        if (failed) return;
        // A length of 0 is what /proc files claim: like a pipe, they are read to their end.
        regular = S_ISREG(status.st_mode) && status.st_size != 0;
        if (regular) {
            remaining = static_cast<uint64_t>(status.st_size);
            failed = remaining > kLargestFileSize;
        }
    }

    // Fills buffer as far as the file goes; returns the bytes read, 0 at the end or on failure.
    size_t fill(uint8_t* buffer, size_t capacity) {
        size_t used = 0;
        while (!failed && !ended && used < capacity) {
            size_t wanted = capacity - used;
            if (regular && remaining < wanted) wanted = static_cast<size_t>(remaining);
            if (wanted == 0) {
                ended = true;
                break;
            }
            ssize_t got = read(file.fd, buffer + used, wanted);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 || (got == 0 && regular)) {
                failed = true;
            } else if (got == 0) {
                ended = true;
            } else {
                used += static_cast<size_t>(got);
                total += static_cast<uint64_t>(got);
                if (regular) remaining -= static_cast<uint64_t>(got);
                if (total > kLargestFileSize) failed = true;
            }
        }
        return failed ? 0 : used;
    }

    bool done() const { return failed || ended; }
    FileDescriptor file;
    bool failed = false;
    bool ended = false;
    bool regular = false;
    uint64_t remaining = 0; // regular files: bytes still to read
    uint64_t total = 0;     // bytes read so far
};

} // namespace

FileComparison compareFiles(const char* path1, const char* path2, uint32_t& size1,
                            uint32_t& size2) {
    ChunkReader first(path1);
    if (first.failed) return FileComparison::file1Failed;
    ChunkReader second(path2);
    // Small enough to stay in the processor's cache, large enough for few system calls.
    constexpr size_t kChunk = 128 * 1024;
    std::unique_ptr<uint8_t[]> buffers(new (std::nothrow) uint8_t[2 * kChunk]);
    if (!buffers) return FileComparison::outOfMemory;
    uint8_t* chunk1 = buffers.get();
    uint8_t* chunk2 = buffers.get() + kChunk;
    bool equal = true;
    while (!first.done() || (!second.done() && !first.failed)) {
        size_t got1 = first.fill(chunk1, kChunk);
        size_t got2 = second.failed ? 0 : second.fill(chunk2, kChunk);
        if (equal && (got1 != got2 || memcmp(chunk1, chunk2, got1) != 0)) equal = false;
    }
    if (first.failed) return FileComparison::file1Failed;
    if (second.failed) return FileComparison::file2Failed;
    size1 = static_cast<uint32_t>(first.total);
    size2 = static_cast<uint32_t>(second.total);
    return equal ? FileComparison::identical : FileComparison::different;
}
