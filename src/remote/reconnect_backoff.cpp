#include "remote/reconnect_backoff.h"

#include <algorithm>

namespace korvo::remote {

std::chrono::milliseconds ReconnectBackoff::Delay() const noexcept
{
    if (failures_ == 0) {
        return std::chrono::milliseconds::zero();
    }
    std::chrono::milliseconds delay = std::min(firstDelay_, maxDelay_);
    // Doubling stops at the cap (or at once for a zero delay), so the loop is short and the
    // product never overflows.
    for (std::size_t step = 1; step < failures_ && delay.count() > 0 && delay < maxDelay_; ++step) {
        delay = delay > maxDelay_ / 2 ? maxDelay_ : delay * 2;
    }
    return delay;
}

void ReconnectBackoff::RecordFailure(Deadline now) noexcept
{
    ++failures_;
    // The clock counts finer than milliseconds: a delay beyond its range means never.
    const auto room = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline::max() - now);
    const std::chrono::milliseconds wait = Delay();
    nextAttempt_ = wait >= room ? Deadline::max() : now + wait;
}

void ReconnectBackoff::RecordSuccess() noexcept
{
    failures_ = 0;
    nextAttempt_ = Deadline{};
}

} // namespace korvo::remote
