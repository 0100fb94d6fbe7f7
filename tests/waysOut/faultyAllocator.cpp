// Linked into the fault-injection builds of the programs (moxaFaulty, moxawFaulty): malloc and
// its family and operator new and its family are replaced by versions that count allocations and
// fail the one the environment names, so a test can make memory run out at any point of a
// session. glibc's own allocator does the real work.
//
//   QVD_FAIL_ALLOCATION=N      allocation N fails (counted from the program's own start-up, 1
//                              first); unset or 0: none fails
//   QVD_FAIL_ONWARD=1          every allocation from N on fails too (memory that stays gone)
//   QVD_FAIL_ON_HELPERS=1      only the allocations of helper threads (any but the program's
//                              first) are counted, and only they fail: memory that runs out on a
//                              second core
//   QVD_ALLOCATION_REPORT=path the count of allocations is written there when the program exits
//                              normally
//   QVD_FAILURE_TRACE=path     the call stack of the first allocation that fails is written there
//                              (to find the code that did not cope)
//
// The same builds crash a helper thread on request, to see that a crash there gives the
// terminal back:
//
//   QVD_HELPER_FAULT=kind      a helper thread (any but the program's first) crashes at its first
//                              allocation once QVD_HELPER_FAULT_ARMED exists: segv, a write
//                              through a null pointer; overflow, a recursion until the helper's
//                              stack runs out; bus, a read of a page beyond the end of the file
//                              mapped there
//   QVD_HELPER_FAULT_ARMED=path a file the test makes when the program is where it wants the
//                              crash (the view is up)

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <execinfo.h>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* block);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
}

namespace {

std::atomic<uint64_t> allocations{0}; // counted from the configuration below
uint64_t failingAllocation = 0;
bool failOnward = false;
bool helpersOnly = false;
const char* reportPath = nullptr;
const char* tracePath = nullptr;
bool tracing = false;                   // writing the trace, whose own allocations must not count
const char* helperFault = nullptr;      // QVD_HELPER_FAULT, null: none
const char* helperFaultArmed = nullptr; // QVD_HELPER_FAULT_ARMED

// Before every initialiser of the program, so that its static initialisers are counted too.
__attribute__((constructor(101))) void configure() {
    const char* failing = getenv("QVD_FAIL_ALLOCATION");
    failingAllocation = failing ? strtoull(failing, nullptr, 10) : 0;
    const char* onward = getenv("QVD_FAIL_ONWARD");
    failOnward = onward != nullptr && onward[0] == '1';
    const char* helpers = getenv("QVD_FAIL_ON_HELPERS");
    helpersOnly = helpers != nullptr && helpers[0] == '1';
    reportPath = getenv("QVD_ALLOCATION_REPORT");
    tracePath = getenv("QVD_FAILURE_TRACE");
    helperFault = getenv("QVD_HELPER_FAULT");
    helperFaultArmed = getenv("QVD_HELPER_FAULT_ARMED");
    if (helperFaultArmed == nullptr) helperFault = nullptr;
    if (tracePath != nullptr) { // the unwinder loads itself at its first use
        void* frames[4];
        backtrace(frames, 4);
    }
    allocations = 0;
}

void writeTrace() {
    if (tracePath == nullptr || tracing) return;
    tracing = true;
    int fd = open(tracePath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        void* frames[64];
        backtrace_symbols_fd(frames, backtrace(frames, 64), fd);
        close(fd);
    }
    tracing = false;
}

__attribute__((destructor)) void report() {
    if (reportPath == nullptr) return;
    int fd = open(reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    char text[32];
    int length = 0;
    char digits[24];
    int count = 0;
    uint64_t value = allocations;
    do digits[count++] = static_cast<char>('0' + value % 10);
    while ((value /= 10) != 0);
    while (count > 0) text[length++] = digits[--count];
    text[length++] = '\n';
    (void)!write(fd, text, static_cast<size_t>(length));
    close(fd);
}

// Far beyond any stack: read at run time, so that the recursion is not endless to the compiler.
volatile uint64_t overflowDepth = ~uint64_t{0};

__attribute__((noinline)) uint64_t recurse(volatile const char* caller, uint64_t depth) {
    volatile char frame[1024];
    frame[0] = caller[0];
    frame[sizeof frame - 1] = 0;
    if (depth == 0) return frame[0];
    return recurse(frame, depth - 1) + frame[sizeof frame - 1]; // used after: no tail call
}

// The crash QVD_HELPER_FAULT asks for, on a helper thread once the test has armed it.
void crashOnArmedHelper() {
    if (gettid() == getpid() || access(helperFaultArmed, F_OK) != 0) return;
    const char* kind = helperFault;
    helperFault = nullptr;
    if (kind[0] == 's') { // segv
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    } else if (kind[0] == 'o') { // overflow
        const volatile char start = 1;
        recurse(&start, overflowDepth);
    } else if (kind[0] == 'b') { // bus
        int empty = memfd_create("qvd-fault", MFD_CLOEXEC);
        auto* page = static_cast<volatile char*>(
            mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, empty, 0)); // beyond its end: no page
        if (page != MAP_FAILED) (void)page[0];
    }
}

// Counts one allocation; true when it is to fail.
bool fails() {
    if (tracing) return false;
    if (helperFault != nullptr) crashOnArmedHelper();
    if (helpersOnly && gettid() == getpid()) return false;
    const uint64_t count = ++allocations;
    if (failingAllocation == 0) return false;
    if (count == failingAllocation) writeTrace();
    return failOnward ? count >= failingAllocation : count == failingAllocation;
}

void* allocate(size_t size) {
    if (fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_malloc(size);
}

void* allocateAligned(size_t alignment, size_t size) {
    if (fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_memalign(alignment, size);
}

// What the standard operator new does: the new handler until it gives memory or gives up.
void* newBlock(size_t size, size_t alignment = 0) {
    for (;;) {
        void* block = alignment > alignof(std::max_align_t) ? allocateAligned(alignment, size)
                                                            : allocate(size == 0 ? 1 : size);
        if (block != nullptr) return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void* newBlockOrNull(size_t size, size_t alignment = 0) noexcept {
    try {
        return newBlock(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

} // namespace

extern "C" {

void* malloc(size_t size) noexcept {
    return allocate(size);
}

void free(void* block) noexcept {
    __libc_free(block);
}

void* calloc(size_t count, size_t size) noexcept {
    if (fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) noexcept {
    if (block == nullptr) return allocate(size);
    if (size == 0) return __libc_realloc(block, 0); // frees
    if (fails()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_realloc(block, size);
}

void* memalign(size_t alignment, size_t size) noexcept {
    return allocateAligned(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    return allocateAligned(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    void* block = allocateAligned(alignment, size);
    if (block == nullptr) return ENOMEM;
    *out = block;
    return 0;
}

void* valloc(size_t size) noexcept {
    if (fails()) return nullptr;
    return __libc_valloc(size);
}

void* pvalloc(size_t size) noexcept {
    if (fails()) return nullptr;
    return __libc_pvalloc(size);
}

} // extern "C"

void* operator new(size_t size) {
    return newBlock(size);
}
void* operator new[](size_t size) {
    return newBlock(size);
}
void* operator new(size_t size, std::align_val_t alignment) {
    return newBlock(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment) {
    return newBlock(size, static_cast<size_t>(alignment));
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return newBlockOrNull(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return newBlockOrNull(size);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return newBlockOrNull(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return newBlockOrNull(size, static_cast<size_t>(alignment));
}

void operator delete(void* block) noexcept {
    __libc_free(block);
}
void operator delete[](void* block) noexcept {
    __libc_free(block);
}
void operator delete(void* block, size_t) noexcept {
    __libc_free(block);
}
void operator delete[](void* block, size_t) noexcept {
    __libc_free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    __libc_free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    __libc_free(block);
}
void operator delete(void* block, size_t, std::align_val_t) noexcept {
    __libc_free(block);
}
void operator delete[](void* block, size_t, std::align_val_t) noexcept {
    __libc_free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    __libc_free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    __libc_free(block);
}
