// Exponential back-off between connect attempts to one server: after the n-th failure in a
// row the next attempt waits first_delay * 2^(n-1), at most max_delay. A success resets it.
#pragma once

#include <chrono>
#include <cstddef>

#include "platform/deadline.h"

namespace korvo::remote {

class ReconnectBackoff {
public:
    ReconnectBackoff(std::chrono::milliseconds first_delay, std::chrono::milliseconds max_delay) noexcept
        : first_delay_(first_delay), max_delay_(max_delay)
    {}

    bool failing() const noexcept { return failures_ > 0; }
    std::size_t failures() const noexcept { return failures_; }
    // The wait after the latest failure; zero while nothing failed.
    std::chrono::milliseconds delay() const noexcept;
    // When the next attempt may start.
    Deadline next_attempt() const noexcept { return next_attempt_; }

    void RecordFailure(Deadline now) noexcept;
    void RecordSuccess() noexcept;

private:
    std::chrono::milliseconds first_delay_;
    std::chrono::milliseconds max_delay_;
    std::size_t failures_ = 0;
    Deadline next_attempt_{};
};

} // namespace korvo::remote
