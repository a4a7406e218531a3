#include "platform/memory.h"

#include <cstdlib> // says whether the C library is glibc
#if defined(__GLIBC__)
#include <malloc.h>
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

} // namespace platform
