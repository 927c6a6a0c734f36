// The count of a semaphore, changed only by single atomic steps, with the waiting and
// releasing rules of a Win32 semaphore. It lives in process memory for an unnamed semaphore
// and in a shared segment for a named one: as no step ever holds an internal lock, a
// process killed at any instant leaves the count consistent and nobody blocked.
#pragma once

#include "kernel.h"

#include <cstdint>

namespace korvo::posix {

struct SemaphoreCounter {
    std::int32_t count;
    std::int32_t maximum;
};

// WAIT_OBJECT_0 after taking one unit, WAIT_TIMEOUT when none came within the time.
// shared: the counter may be seen by other processes.
DWORD WaitOnCounter(SemaphoreCounter& counter, DWORD milliseconds, bool shared);

// FALSE with ERROR_TOO_MANY_POSTS, and the count unchanged, if it would pass the maximum.
BOOL ReleaseCounter(SemaphoreCounter& counter, LONG releaseCount, LPLONG previousCount, bool shared);

} // namespace korvo::posix
