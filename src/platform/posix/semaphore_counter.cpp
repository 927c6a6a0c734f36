// Waits sleep on a futex over the count; releases wake every sleeper, which then compete
// for the units by compare-and-swap.
#include "semaphore_counter.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <ctime>

namespace korvo::posix {
namespace {

using Clock = std::chrono::steady_clock;

bool TryTake(SemaphoreCounter& counter)
{
    std::int32_t seen = __atomic_load_n(&counter.count, __ATOMIC_SEQ_CST);
    while (seen > 0) {
        if (__atomic_compare_exchange_n(&counter.count, &seen, seen - 1, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
            return true;
        }
    }
    return false;
}

// Sleeps while the count is 0, at most for the given time (null: without limit). Wakes
// early on any release, on a signal, or when the count is no longer 0.
void SleepWhileEmpty(SemaphoreCounter& counter, const timespec* timeout, bool shared)
{
    syscall(SYS_futex, &counter.count, shared ? FUTEX_WAIT : FUTEX_WAIT_PRIVATE, 0, timeout, nullptr, 0);
}

void WakeSleepers(SemaphoreCounter& counter, bool shared)
{
    syscall(SYS_futex, &counter.count, shared ? FUTEX_WAKE : FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

timespec ToTimespec(Clock::duration remaining)
{
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(remaining);
    auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining - seconds);
    return {static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

} // namespace

DWORD WaitOnCounter(SemaphoreCounter& counter, DWORD milliseconds, bool shared)
{
    const bool unlimited = milliseconds == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (TryTake(counter)) {
            return WAIT_OBJECT_0;
        }
        if (unlimited) {
            SleepWhileEmpty(counter, nullptr, shared);
            continue;
        }
        const auto remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero()) {
            return WAIT_TIMEOUT;
        }
        const timespec timeout = ToTimespec(remaining);
        SleepWhileEmpty(counter, &timeout, shared);
    }
}

BOOL ReleaseCounter(SemaphoreCounter& counter, LONG releaseCount, LPLONG previousCount, bool shared)
{
    if (releaseCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::int32_t seen = __atomic_load_n(&counter.count, __ATOMIC_SEQ_CST);
    do {
        if (releaseCount > counter.maximum - seen) {
            SetLastError(ERROR_TOO_MANY_POSTS);
            return FALSE;
        }
    } while (!__atomic_compare_exchange_n(&counter.count, &seen, seen + releaseCount, false, __ATOMIC_SEQ_CST,
                                          __ATOMIC_SEQ_CST));
    if (previousCount) {
        *previousCount = seen;
    }
    WakeSleepers(counter, shared);
    return TRUE;
}

} // namespace korvo::posix
