// Exponential back-off between connect attempts to one server: after the n-th failure in a
// row the next attempt waits first_delay * 2^(n-1), at most max_delay. A success resets it.
#pragma once

#include <chrono>
#include <cstddef>

#include "platform/deadline.h"

namespace korvo::remote {

class ReconnectBackoff {
public:
    ReconnectBackoff(std::chrono::milliseconds firstDelay, std::chrono::milliseconds maxDelay) noexcept
        : firstDelay_(firstDelay), maxDelay_(maxDelay)
    {}

    bool Failing() const noexcept { return failures_ > 0; }
    std::size_t Failures() const noexcept { return failures_; }
    // The wait after the latest failure; zero while nothing failed.
    std::chrono::milliseconds Delay() const noexcept;
    // When the next attempt may start.
    Deadline NextAttempt() const noexcept { return nextAttempt_; }

    void RecordFailure(Deadline now) noexcept;
    void RecordSuccess() noexcept;

private:
    std::chrono::milliseconds firstDelay_;
    std::chrono::milliseconds maxDelay_;
    std::size_t failures_ = 0;
    Deadline nextAttempt_{};
};

} // namespace korvo::remote
