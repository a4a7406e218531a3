#pragma once
// How this process takes memory from the system.

#include <cstddef>

namespace platform {

// Keeps freed blocks of up to tens of MiB in the process for the next use
// instead of handing each back to the system at once. The PDF writer takes
// and frees two blocks of that size for every page it compresses; handed
// back each time, every page of a long list cost fresh zeroed pages and
// system calls, about half the time of a 10,000-page batch. Only touched
// pages count as memory, so the peak stays where it was. Call first in main.
void keepFreedBlocksForReuse();

// Reserves `bytes` at the heap's top and has a short-lived thread fault
// those pages in while this one goes on. Where the first touch of a page
// is dear (a virtual machine backing its memory lazily: microseconds a
// page), the pages the work ahead will take are then ready when it gets
// there. Contents are not written, so nothing races. Call after
// keepFreedBlocksForReuse(), which keeps the reserved top in the process.
void faultInHeapAheadInBackground(std::size_t bytes);

} // namespace platform
