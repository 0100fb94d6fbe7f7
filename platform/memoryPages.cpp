#include "platform/memoryPages.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// MADV_POPULATE_WRITE (Linux 5.14), which older headers lack; older kernels refuse it.
constexpr int kPopulateWrite = 23;

} // namespace

void commitPages(void* block, size_t bytes) {
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    if (!block || page == 0 || (page & (page - 1)) != 0) return;
    // The whole pages inside the block: the advice takes page-aligned ranges, and the pages the
    // block shares with its neighbours come by faults.
    auto start = reinterpret_cast<uintptr_t>(block);
    uintptr_t first = (start + page - 1) & ~(page - 1);
    uintptr_t end = (start + bytes) & ~(page - 1);
    // A few megabytes a call: the process's memory map is locked meanwhile, and a thread that
    // asks for memory at the same time waits only that long.
    constexpr uintptr_t kStep = uintptr_t{4} << 20;
    for (uintptr_t at = first; at < end; at += kStep) {
        uintptr_t length = end - at < kStep ? end - at : kStep;
        if (madvise(reinterpret_cast<void*>(at), length, kPopulateWrite) != 0) return;
    }
}
