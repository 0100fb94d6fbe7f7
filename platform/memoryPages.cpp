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
    if (end > first) (void)madvise(reinterpret_cast<void*>(first), end - first, kPopulateWrite);
}
