#include "platform/treeWalk.h"

#include "platform/files.h"
#include "platform/heapBlock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Closes the descriptor it holds on every way out; moves with its frame.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    void reset() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

// One side of a directory on the current path. Its entries are looked at and opened by name,
// relative to its descriptor, so that the kernel never resolves a long path however deep the
// walk goes. The names sit in one block, each after the other with its '\0', and are sorted by
// their offsets: two allocations per directory, whatever the number of entries.
struct Listing {
    Descriptor directory;        // -1: this side holds no walked directory here
    std::string names;           // every name followed by '\0', in the order the directory gave
    std::vector<uint32_t> order; // offsets of the names in names, in byte order of the names
    size_t next = 0;             // the first entry of order not yet handed out

    const char* current() const {
        return next < order.size() ? names.data() + order[next] : nullptr;
    }
};

// A directory on the current path, with both its sides.
struct Frame {
    Listing sides[2];
    size_t pathLength = 0; // bytes of the relative path before its entries' names ('/' included)
};

struct DirectoryId {
    dev_t device;
    ino_t inode;
    bool operator==(const DirectoryId&) const = default;
};

struct DirectoryIdHash {
    size_t operator()(const DirectoryId& id) const {
        // Inode numbers are dense and devices few: the multiplier spreads both over the table.
        return std::hash<uint64_t>()(static_cast<uint64_t>(id.inode) * 0x9E3779B97F4A7C15u ^
                                     static_cast<uint64_t>(id.device));
    }
};

using WalkedSet = std::unordered_set<DirectoryId, DirectoryIdHash>;

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Lists the directory open as fd into listing, names sorted; returns 0, or the system's error
// number when it cannot be read to its end. The listing reads through a second descriptor, so
// that fd stays free of the stream's buffer once it is read.
int readListing(int fd, Listing& listing) {
    int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return errno;
    DIR* stream = fdopendir(copy);
    if (stream == nullptr) {
        int error = errno;
        close(copy);
        return error;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(stream);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        if (isDotOrDotDot(entry->d_name)) continue;
        const size_t length = strlen(entry->d_name) + 1;
        // Offsets are 32-bit: 4 GiB of names in one directory is past any file system's reach.
        if (listing.names.size() + length > UINT32_MAX) {
            error = EOVERFLOW;
            break;
        }
        listing.order.push_back(static_cast<uint32_t>(listing.names.size()));
        listing.names.append(entry->d_name, length);
    }
    closedir(stream);
    if (error != 0) return error;
    const char* names = listing.names.data();
    // strcmp orders as unsigned bytes, a shorter name before the longer names it begins.
    std::sort(listing.order.begin(), listing.order.end(),
              [names](uint32_t a, uint32_t b) { return strcmp(names + a, names + b) < 0; });
    return 0;
}

// Opens the directory at name in the directory open as parent (at path, for a root, when parent
// is AT_FDCWD) and lists it, unless it was walked before; records it as walked. Sets side's kind
// to directory, repeated or unreadable. Returns false when it vanished since it was looked at.
bool enterDirectory(int parent, const char* name, WalkedSet& walked, TreeSide& side,
                    Listing& listing) {
    // O_NONBLOCK: should a FIFO take the directory's place since stat, opening it does not wait.
    Descriptor opened(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    struct stat status;
    if (opened.fd < 0 || fstat(opened.fd, &status) != 0) {
        if (errno == ENOENT) return false;
        side = {EntryKind::unreadable, 0, errno};
        return true;
    }
    if (walked.contains({status.st_dev, status.st_ino})) {
        side = {EntryKind::repeated, 0, 0};
        return true;
    }
    if (int error = readListing(opened.fd, listing)) {
        // Nothing of it is kept: a second link to it is as unreadable, not repeated.
        listing = Listing{};
        side = {EntryKind::unreadable, 0, error};
        return true;
    }
    walked.insert({status.st_dev, status.st_ino});
    listing.directory = std::move(opened);
    side = {EntryKind::directory, 0, 0};
    return true;
}

// What the side holds at name in the directory open as parent, through any links; a directory
// not walked before is opened and listed into listing. Returns false when there is nothing there
// any more (it vanished since the directory was listed).
bool lookAt(int parent, const char* name, WalkedSet& walked, TreeSide& side, Listing& listing) {
    struct stat status;
    if (fstatat(parent, name, &status, 0) != 0) {
        int error = errno;
        // A link whose target is missing is there; a name that is gone altogether is not.
        if (error == ENOENT && fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        side = {EntryKind::unreadable, 0, error};
        return true;
    }
    if (S_ISREG(status.st_mode)) {
        side = {EntryKind::file, static_cast<uint64_t>(status.st_size), 0};
        return true;
    }
    if (!S_ISDIR(status.st_mode)) {
        side = {EntryKind::special, 0, 0};
        return true;
    }
    // Known before opening: a link loop costs no descriptor.
    if (walked.contains({status.st_dev, status.st_ino})) {
        side = {EntryKind::repeated, 0, 0};
        return true;
    }
    return enterDirectory(parent, name, walked, side, listing);
}

} // namespace

bool pathBefore(std::string_view a, std::string_view b) {
    for (;;) {
        const size_t endA = std::min(a.find('/'), a.size());
        const size_t endB = std::min(b.find('/'), b.size());
        const int order = a.substr(0, endA).compare(b.substr(0, endB));
        if (order != 0) return order < 0;
        // Equal components: the path that ends here comes first (a directory before its entries).
        if (endA == a.size() || endB == b.size()) return endA == a.size() && endB < b.size();
        a.remove_prefix(endA + 1);
        b.remove_prefix(endB + 1);
    }
}

bool isDirectory(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

struct TreeWalker::State {
    // Directories from a root down to the current entry's; empty once the walk is done.
    std::vector<Frame> frames;
    // The current entry's path; the path of every frame's directory is a prefix of it.
    std::string path;
    WalkedSet walked[2];
    int rootErrors[2] = {0, 0};
};

TreeWalker::TreeWalker(std::string root1, std::string root2) : state_(std::make_unique<State>()) {
    Frame& top = state_->frames.emplace_back();
    const std::string* roots[2] = {&root1, &root2};
    for (int side = 0; side < 2; ++side) {
        TreeSide root;
        if (!enterDirectory(AT_FDCWD, roots[side]->c_str(), state_->walked[side], root,
                            top.sides[side]))
            root = {EntryKind::unreadable, 0, ENOENT};
        if (root.kind == EntryKind::unreadable) state_->rootErrors[side] = root.error;
    }
}

TreeWalker::~TreeWalker() = default;

int TreeWalker::rootError(int side) const {
    return state_->rootErrors[side == 1 ? 0 : 1];
}

bool TreeWalker::next(TreeEntry& entry) {
    State& state = *state_;
    while (!state.frames.empty()) {
        Frame& frame = state.frames.back();
        const char* names[2] = {frame.sides[0].current(), frame.sides[1].current()};
        if (names[0] == nullptr && names[1] == nullptr) {
            state.frames.pop_back(); // its descriptors close, its names go
            continue;
        }
        int order = names[0] == nullptr ? 1 : names[1] == nullptr ? -1 : strcmp(names[0], names[1]);
        const char* name = order <= 0 ? names[0] : names[1];
        // Copied before anything moves the frames: a short name lives inside its listing.
        state.path.resize(frame.pathLength);
        state.path.append(name);
        const char* ownName = state.path.c_str() + frame.pathLength;

        Frame below;
        TreeSide sides[2];
        bool there = false;
        for (int side = 0; side < 2; ++side) {
            if (side == 0 ? order > 0 : order < 0) continue;
            ++frame.sides[side].next;
            if (!lookAt(frame.sides[side].directory.fd, ownName, state.walked[side], sides[side],
                        below.sides[side]))
                sides[side] = {};
            there = there || sides[side].kind != EntryKind::none;
        }
        if (!there) continue; // gone from both sides since they were listed

        entry.path = state.path;
        entry.depth = static_cast<int>(state.frames.size()) - 1;
        entry.left = sides[0];
        entry.right = sides[1];
        if (sides[0].kind == EntryKind::directory || sides[1].kind == EntryKind::directory) {
            state.path.push_back('/');
            below.pathLength = state.path.size();
            state.frames.push_back(std::move(below));
        }
        return true;
    }
    return false;
}

namespace {

// Opens path for reading in step, as a regular file only: anything else is opened without
// waiting (O_NONBLOCK) and closed at once. Returns the descriptor and its size, or -1 with the
// reason (files.h) in error.
int openRegularFile(const char* path, uint64_t& size, int& error) {
    Descriptor file(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status;
    if (file.fd < 0 || fstat(file.fd, &status) != 0) {
        error = errno;
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? EISDIR : kNotRegular;
        return -1;
    }
    // Reads of a regular file never wait anyway, so O_NONBLOCK stays: readExactly takes it away
    // only on a file system that honours it (a FUSE or network file), where a read says EAGAIN.
    // Two system calls fewer a file count in a tree of small files.
    size = static_cast<uint64_t>(status.st_size);
    return std::exchange(file.fd, -1);
}

// Reads exactly count bytes; returns 0, or a read error's number, or kEndedEarly when the file
// is shorter now than when it was opened.
int readExactly(int fd, uint8_t* out, size_t count) {
    while (count > 0) {
        ssize_t got = read(fd, out, count);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) {
            const int flags = fcntl(fd, F_GETFL);
            if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return errno;
            continue;
        }
        if (got < 0) return errno;
        if (got == 0) return kEndedEarly;
        out += got;
        count -= static_cast<size_t>(got);
    }
    return 0;
}

ContentResult failed(ContentResult result, int reason, int* error) {
    if (error != nullptr) *error = reason;
    return result;
}

} // namespace

ContentResult compareContents(const char* path1, const char* path2, int* error,
                              const std::atomic<bool>* stop) {
    uint64_t size1 = 0;
    uint64_t size2 = 0;
    int reason = 0;
    Descriptor first(openRegularFile(path1, size1, reason));
    if (first.fd < 0) return failed(ContentResult::unreadable1, reason, error);
    Descriptor second(openRegularFile(path2, size2, reason));
    if (second.fd < 0) return failed(ContentResult::unreadable2, reason, error);
    if (size1 != size2) return ContentResult::different;
    if (size1 == 0) return ContentResult::identical;

    // Large enough for few system calls, small enough to stay in the processor's cache; a small
    // file gets buffers of its own size, so a tree of small files costs no large blocks.
    constexpr uint64_t kChunk = 256 * 1024;
    const auto chunk = static_cast<size_t>(std::min(size1, kChunk));
    HeapBlock<uint8_t> buffers(static_cast<uint8_t*>(malloc(2 * chunk)));
    if (!buffers) return failed(ContentResult::unreadable1, ENOMEM, error);
    uint8_t* buffer1 = buffers.get();
    uint8_t* buffer2 = buffers.get() + chunk;
    for (uint64_t left = size1; left > 0;) {
        if (stop && stop->load(std::memory_order_relaxed)) return ContentResult::stopped;
        const auto part = static_cast<size_t>(std::min<uint64_t>(left, chunk));
        if ((reason = readExactly(first.fd, buffer1, part)) != 0)
            return failed(ContentResult::unreadable1, reason, error);
        if ((reason = readExactly(second.fd, buffer2, part)) != 0)
            return failed(ContentResult::unreadable2, reason, error);
        if (memcmp(buffer1, buffer2, part) != 0) return ContentResult::different;
        left -= part;
    }
    return ContentResult::identical;
}
