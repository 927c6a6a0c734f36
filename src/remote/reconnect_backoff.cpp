#include "remote/reconnect_backoff.h"

#include <algorithm>

namespace korvo::remote {

std::chrono::milliseconds ReconnectBackoff::delay() const noexcept
{
    if (failures_ == 0)
        return std::chrono::milliseconds::zero();
    std::chrono::milliseconds delay = std::min(first_delay_, max_delay_);
    // Doubling stops at the cap (or at once for a zero delay), so the loop is short and the
    // product never overflows.
    for (std::size_t step = 1; step < failures_ && delay.count() > 0 && delay < max_delay_; ++step)
        delay = delay > max_delay_ / 2 ? max_delay_ : delay * 2;
    return delay;
}

void ReconnectBackoff::RecordFailure(Deadline now) noexcept
{
    ++failures_;
    // The clock counts finer than milliseconds: a delay beyond its range means never.
    const auto room = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline::max() - now);
    const std::chrono::milliseconds wait = delay();
    next_attempt_ = wait >= room ? Deadline::max() : now + wait;
}

void ReconnectBackoff::RecordSuccess() noexcept
{
    failures_ = 0;
    next_attempt_ = Deadline{};
}

} // namespace korvo::remote
