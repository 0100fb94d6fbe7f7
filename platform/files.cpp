#include "platform/files.h"

#include "platform/memoryPages.h"
#include "platform/parallel.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

// Whether the length fstat gives a regular file is a guess rather than its contents' length. The
// kernel's own file systems make a file's contents as it is read and state 0 (most of /proc) or a
// page, 4096 bytes (/sys and its kin), whatever it holds; they are read to their end, and the
// bytes read are the file. Only these file systems are trusted to guess: on any other, a file
// that ends before its stated length shrank while it was read (or the disk failed it), and that
// stays a failure to load rather than a shorter file.
bool statedLengthIsAGuess(int fd) {
    constexpr long kConfigFsMagic = 0x62656570; // not in every <linux/magic.h>
    struct statfs fileSystem;
    if (fstatfs(fd, &fileSystem) != 0) return false;
    switch (static_cast<long>(fileSystem.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case kConfigFsMagic:
        return true;
    default:
        return false;
    }
}

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

// Bytes asked of one read(): Linux moves at most about 2 GiB per call, and a count past SSIZE_MAX
// is not for the kernel at all.
constexpr uint64_t kLargestRead = uint64_t{1} << 30;

// Reads exactly count bytes; false on a read error or when the file ends early (reason says
// which).
bool readExactly(int fd, uint8_t* out, uint64_t count, int& reason) {
    while (count > 0) {
        const auto chunk = static_cast<size_t>(std::min(count, kLargestRead));
        ssize_t got = read(fd, out, chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            reason = got < 0 ? errno : kEndedEarly;
            return false;
        }
        out += got;
        count -= static_cast<uint64_t>(got);
    }
    return true;
}

// Reads a stream of unknown length to its end, growing the block as it goes.
uint8_t* readToEnd(int fd, uint64_t& size, int& reason) {
    uint64_t capacity = 64 * 1024;
    uint64_t used = 0;
    auto block = static_cast<uint8_t*>(malloc(capacity));
    reason = ENOMEM;
    if (!block) return nullptr;
    for (;;) {
        if (used == capacity) {
            reason = EFBIG;
            if (capacity > kLargestFileSize) break; // already past what can be loaded
            const uint64_t grown = std::min(capacity * 2, kLargestFileSize + 1);
            auto bigger = static_cast<uint8_t*>(realloc(block, grown));
            reason = ENOMEM;
            if (!bigger) break;
            block = bigger;
            capacity = grown;
        }
        ssize_t got =
            read(fd, block + used, static_cast<size_t>(std::min(capacity - used, kLargestRead)));
        if (got < 0 && errno == EINTR) continue;
        reason = errno;
        if (got < 0) break;
        if (got == 0) {
            size = used;
            return block;
        }
        used += static_cast<uint64_t>(got);
        reason = EFBIG;
        if (used > kLargestFileSize) break;
    }
    free(block);
    return nullptr;
}

// A file opened for loading, with what its open descriptor tells: a regular file that states a
// length is read to that length, anything else (a kernel file's guess included) to its end.
class LoadingFile {
  public:
    LoadingFile(const char* path, int extraFlags, bool regularOnly = false)
        : file_(open(path, O_RDONLY | O_CLOEXEC | extraFlags | (regularOnly ? O_NONBLOCK : 0))) {
        struct stat status;
        if (file_.fd < 0 || fstat(file_.fd, &status) != 0) {
            error_ = errno;
            return;
        }
        error_ = EISDIR;
        if (S_ISDIR(status.st_mode)) return;
        error_ = kNotRegular;
        if (regularOnly && !S_ISREG(status.st_mode)) return;
        // Files of /proc and the like claim a length of 0 and have contents all the same; a truly
        // empty file reads to its end at once, so it loses nothing by the same path. A claim past
        // what a block holds is refused even where it is a guess (/proc/kcore): reading that
        // much to find out would be refused all the same.
        if (S_ISREG(status.st_mode) && status.st_size != 0) {
            error_ = EFBIG;
            if (static_cast<uint64_t>(status.st_size) > kLargestFileSize) return;
            if (!statedLengthIsAGuess(file_.fd)) length_ = static_cast<uint64_t>(status.st_size);
        }
        error_ = 0;
        usable_ = true;
    }

    // Why the file cannot be loaded, once open, read or allocate failed (files.h).
    int error() const { return error_; }

    // False when the file cannot be opened, is a directory or holds more than a block can.
    bool usable() const { return usable_; }
    // True for a regular file that states its length: reading it has no effect on anything.
    bool statesLength() const { return usable_ && length_ > 0; }

    // The whole file in one block from malloc, or null when it cannot be read completely or the
    // block cannot be had.
    uint8_t* read(uint64_t& size) {
        if (!usable_) return nullptr;
        if (length_ == 0) return readToEnd(file_.fd, size, error_);
        uint8_t* block = allocate();
        if (!fill(block)) {
            free(block);
            return nullptr;
        }
        size = length();
        return block;
    }

    // For a file that states its length: a block of that length from malloc, or null.
    uint8_t* allocate() {
        auto* block = static_cast<uint8_t*>(malloc(length_));
        if (!block) error_ = ENOMEM;
        return block;
    }
    // Reads the whole file into such a block; false when it cannot be read completely.
    bool fill(uint8_t* block) {
        if (!block) return false;
        // A megabyte at a time: its pages committed, then read into while the cleared pages are
        // still in the processor's cache (a tenth quicker than committing the whole block first).
        constexpr uint64_t kStep = uint64_t{1} << 20;
        for (uint64_t done = 0; done < length_; done += kStep) {
            uint64_t part = length_ - done < kStep ? length_ - done : kStep;
            commitPages(block + done, static_cast<size_t>(part));
            if (!readExactly(file_.fd, block + done, part, error_)) return false;
        }
        return true;
    }
    uint64_t length() const { return length_; }

  private:
    FileDescriptor file_;
    bool usable_ = false;
    uint64_t length_ = 0; // 0: read to the end
    int error_ = 0;
};

// Stores a failure's reason where the caller asked for it.
void tell(int* reason, int value) {
    if (reason != nullptr) *reason = value;
}

} // namespace

const char* loadFailureText(int reason) {
    if (reason == kEndedEarly) return "The file ended before the length it stated";
    if (reason == kNotRegular) return "Not a regular file";
    return strerror(reason);
}

uint8_t* readWholeFile(const char* path, uint64_t& size, int* reason) {
    LoadingFile file(path, 0);
    uint8_t* block = file.read(size);
    if (!block) tell(reason, file.error());
    return block;
}

PairLoad readTwoFiles(const char* path1, const char* path2, uint8_t*& block1, uint64_t& size1,
                      uint8_t*& block2, uint64_t& size2, int* reason, bool regularOnly) {
    LoadingFile first(path1, 0, regularOnly);
    if (!first.usable()) {
        tell(reason, first.error());
        return PairLoad::file1Failed;
    }
    uint8_t* got1 = nullptr;
    uint8_t* got2 = nullptr;
    uint64_t length1 = 0;
    uint64_t length2 = 0;
    int error2 = 0;
    bool together = false;
    // File 2 is read alongside file 1 only when both are regular files that state their lengths:
    // reading such a file has no effect, so reading it early changes nothing even when file 1 then
    // fails. Anything else (a pipe, a device, a FIFO whose opening waits for a writer) is opened
    // only after file 1 has loaded, as before. Without O_NONBLOCK a FIFO put in the place of the
    // regular file since stat would hold the open.
    struct stat named;
    if (first.statesLength() && stat(path2, &named) == 0 && S_ISREG(named.st_mode)) {
        LoadingFile second(path2, O_NONBLOCK);
        if (second.statesLength()) {
            together = true;
            // Both blocks are had before either is filled: the process's memory map stays locked
            // while pages are committed, and a block asked for meanwhile would wait for that.
            got1 = first.allocate();
            got2 = got1 ? second.allocate() : nullptr;
            bool filled1 = false;
            bool filled2 = false;
            if (got2)
                runTogether([&] { filled1 = first.fill(got1); },
                            [&] { filled2 = second.fill(got2); });
            else
                filled1 = first.fill(got1); // file 1 is still judged first
            if (!filled1) {
                free(got1);
                got1 = nullptr;
            }
            if (!filled2) {
                free(got2);
                got2 = nullptr;
            }
            length1 = first.length();
            length2 = second.length();
            error2 = second.error();
        }
    }
    if (!together) got1 = first.read(length1);
    if (!got1) {
        free(got2);
        tell(reason, first.error());
        return PairLoad::file1Failed;
    }
    if (!together) {
        LoadingFile second(path2, 0, regularOnly);
        got2 = second.read(length2);
        error2 = second.error();
    }
    if (!got2) {
        free(got1);
        tell(reason, error2);
        return PairLoad::file2Failed;
    }
    block1 = got1;
    size1 = length1;
    block2 = got2;
    size2 = length2;
    return PairLoad::loaded;
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

// One file read front to back in chunks, with the loader's rules: a directory, more than a block
// holds, a read error or a regular file that ends early is a failure (a kernel file's guessed
// length aside).
class ChunkReader {
  public:
    explicit ChunkReader(const char* path) : file(open(path, O_RDONLY | O_CLOEXEC)) {
        struct stat status;
        failed = file.fd < 0 || fstat(file.fd, &status) != 0;
        error = errno;
        if (!failed && S_ISDIR(status.st_mode)) {
            failed = true;
            error = EISDIR;
        }
        if (failed) return;
        // A length of 0 is what /proc files claim, a page what /sys files do: like a pipe, they
        // are read to their end (statedLengthIsAGuess).
        const bool statesLength = S_ISREG(status.st_mode) && status.st_size != 0;
        if (statesLength && static_cast<uint64_t>(status.st_size) > kLargestFileSize) {
            failed = true;
            error = EFBIG;
            return;
        }
        regular = statesLength && !statedLengthIsAGuess(file.fd);
        if (regular) remaining = static_cast<uint64_t>(status.st_size);
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
                error = got < 0 ? errno : kEndedEarly;
            } else if (got == 0) {
                ended = true;
            } else {
                used += static_cast<size_t>(got);
                total += static_cast<uint64_t>(got);
                if (regular) remaining -= static_cast<uint64_t>(got);
                if (total > kLargestFileSize) {
                    failed = true;
                    error = EFBIG;
                }
            }
        }
        return failed ? 0 : used;
    }

    bool done() const { return failed || ended; }
    FileDescriptor file;
    bool failed = false;
    bool ended = false;
    bool regular = false;
    int error = 0;          // why it failed (files.h)
    uint64_t remaining = 0; // regular files: bytes still to read
    uint64_t total = 0;     // bytes read so far
};

} // namespace

FileComparison compareFiles(const char* path1, const char* path2, uint64_t& size1, uint64_t& size2,
                            int* reason) {
    ChunkReader first(path1);
    if (first.failed) {
        tell(reason, first.error);
        return FileComparison::file1Failed;
    }
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
    if (first.failed) {
        tell(reason, first.error);
        return FileComparison::file1Failed;
    }
    if (second.failed) {
        tell(reason, second.error);
        return FileComparison::file2Failed;
    }
    size1 = first.total;
    size2 = second.total;
    return equal ? FileComparison::identical : FileComparison::different;
}
