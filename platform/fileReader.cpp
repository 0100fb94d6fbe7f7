#include "platform/fileReader.h"

#include "platform/files.h"
#include "platform/memoryPages.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// How much the reading gives way: enough that the view's thread, taking turns with two readers
// on one core, gets most of it.
constexpr int kReaderNiceness = 5;

int64_t changeTimeOf(const struct stat& status) {
    return int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec;
}

} // namespace

FileReader::~FileReader() {
    stop();
    if (fd_ >= 0) close(fd_);
}

bool FileReader::open(const char* path) {
    // Never waits: a FIFO that took the place of a file is refused, not opened for a writer.
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status;
    if (fd_ < 0 || fstat(fd_, &status) != 0) {
        error_ = errno;
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        error_ = EISDIR;
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error_ = kNotRegular;
        return false;
    }
    (void)fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = static_cast<uint64_t>(status.st_size);
    changeTime_ = changeTimeOf(status);
    // The block is reserved whole; its pages are committed as the reading reaches them.
    block_.reset(static_cast<uint8_t*>(malloc(size_ > 0 ? size_ : 1)));
    if (!block_) {
        error_ = ENOMEM;
        return false;
    }
    return true;
}

void FileReader::start() {
    helper_.emplace([this] { read(); });
}

void FileReader::stop() {
    stop_.store(true, std::memory_order_relaxed);
    helper_.reset();
}

void FileReader::read() {
    // The reading gives way to the thread that shows what has arrived, on a machine of few cores.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kReaderNiceness);
    // A few megabytes at a time: what has arrived is in use at once, and a stop is seen soon. The
    // first step is smaller: the first screen takes about that much.
    constexpr uint64_t kFirstStep = uint64_t{1} << 20;
    constexpr uint64_t kStep = uint64_t{4} << 20;
    uint8_t* block = block_.get();
    uint64_t done = 0;
    End end = End::whole;
    while (done < size_) {
        if (stop_.load(std::memory_order_relaxed)) {
            end = End::stopped;
            break;
        }
        const uint64_t part = std::min(size_ - done, done == 0 ? kFirstStep : kStep);
        commitPages(block + done, static_cast<size_t>(part));
        const ssize_t got =
            pread(fd_, block + done, static_cast<size_t>(part), static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error_ = errno;
            end = End::failed;
            break;
        }
        if (got == 0) {
            end = End::cut;
            break;
        }
        done += static_cast<uint64_t>(got);
        arrived_.store(done, std::memory_order_release);
    }
    if (end == End::whole) {
        // Bytes written after the reading passed them, or added at the end, are not in the block.
        struct stat status;
        changed_ = fstat(fd_, &status) != 0 || static_cast<uint64_t>(status.st_size) != size_ ||
                   changeTimeOf(status) != changeTime_;
    }
    end_.store(end, std::memory_order_release);
}

void FileReader::waitFor(uint64_t bytes, const std::atomic<bool>* stop) const {
    while (arrived() < bytes && end() == End::none &&
           !(stop != nullptr && stop->load(std::memory_order_relaxed)))
        std::this_thread::sleep_for(std::chrono::microseconds(500));
}
