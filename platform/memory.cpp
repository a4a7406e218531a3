#include "platform/memory.h"

#include <cstdlib> // says whether the C library is glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <algorithm>
#include <cstdint>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#endif

namespace platform {

void keepFreedBlocksForReuse()
{
#if defined(__GLIBC__)
    // Blocks under 32 MiB (the largest glibc allows here) come from the
    // heap; its top goes back to the system only once 64 MiB lie free.
    constexpr int kFromHeapBelowBytes = 32 * 1024 * 1024;
    constexpr int kReturnFreeTopAboveBytes = 64 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kFromHeapBelowBytes);
    mallopt(M_TRIM_THRESHOLD, kReturnFreeTopAboveBytes);
#endif
}

void faultInHeapAheadInBackground(std::size_t bytes)
{
#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)
    // Freed at once, the block stays as the heap's free top, where the next
    // allocations are carved from.
    void* block = std::malloc(bytes);
    if (!block)
        return;
    const auto pageBytes = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(block) + pageBytes - 1) & ~(pageBytes - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(pageBytes - 1);
    std::free(block);
    try {
        std::thread([begin, end] {
            // In slices, so that this thread never holds the address space's
            // lock long while the other maps files.
            constexpr std::uintptr_t kSliceBytes = 256 * 1024;
            for (std::uintptr_t at = begin; at < end; at += kSliceBytes) {
                // Kernels before 5.14 refuse the advice; the pages are then
                // faulted in on first use, as without this.
                if (madvise(reinterpret_cast<void*>(at), std::min(kSliceBytes, end - at), MADV_POPULATE_WRITE) != 0)
                    return;
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the pages are faulted in on first use.
    }
#else
    (void)bytes;
#endif
}

} // namespace platform
