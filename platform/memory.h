#pragma once
// How this process takes memory from the system.

namespace platform {

// Keeps freed blocks of up to tens of MiB in the process for the next use
// instead of handing each back to the system at once. The PDF writer takes
// and frees two blocks of that size for every page it compresses; handed
// back each time, every page of a long list cost fresh zeroed pages and
// system calls, about half the time of a 10,000-page batch. Only touched
// pages count as memory, so the peak stays where it was. Call first in main.
void keepFreedBlocksForReuse();

} // namespace platform
