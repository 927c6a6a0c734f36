// Deadlines of network operations: a point on the monotonic clock, so that setting the wall
// clock neither cuts an operation short nor stretches it.
#pragma once

#include <algorithm>
#include <chrono>
#include <climits>

namespace korvo {

using Deadline = std::chrono::steady_clock::time_point;

inline Deadline DeadlineAfter(std::chrono::milliseconds timeout) noexcept
{
    return std::chrono::steady_clock::now() + timeout;
}

// Whole milliseconds left, rounded up so that a wait never ends before its deadline; 0 once
// the deadline has passed.
inline int MillisecondsUntil(Deadline deadline) noexcept
{
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= Deadline::duration::zero()) {
        return 0;
    }
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<decltype(milliseconds)>(milliseconds, INT_MAX));
}

} // namespace korvo
