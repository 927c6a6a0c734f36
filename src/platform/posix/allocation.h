// The one allocator of the automation runtime, so that the out-of-memory test hook sees
// every allocation it makes. Internal to posix/.
#pragma once

#include <cstddef>

namespace korvo::posix {

// malloc that honours the allocation-failure countdown; null when out of memory.
void* RuntimeAlloc(std::size_t bytes);
void RuntimeFree(void* block);

// Counts one allocation against the countdown; false when it is to fail. For allocations
// made by other means (objects built with new).
bool TakeAllocation();

} // namespace korvo::posix
