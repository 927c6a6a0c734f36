// Undoes a step when what follows it throws: the cleanup runs as the exception leaves the
// scope, unless the step was completed (Dismiss). It replaces the catch-clean-rethrow blocks,
// so that the one translator of exceptions (hresult_from_exception.h) holds every catch.
#pragma once

#include <utility>

namespace korvo {

template <class Cleanup>
class FailureCleanup {
public:
    explicit FailureCleanup(Cleanup cleanup) noexcept : cleanup_(std::move(cleanup)) {}
    FailureCleanup(const FailureCleanup&) = delete;
    FailureCleanup& operator=(const FailureCleanup&) = delete;
    ~FailureCleanup()
    {
        if (!dismissed_) {
            cleanup_();
        }
    }

    void Dismiss() noexcept { dismissed_ = true; }

private:
    Cleanup cleanup_;
    bool dismissed_ = false;
};

} // namespace korvo
