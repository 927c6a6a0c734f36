// Where a RecordBuffer may hand on the bytes it has gathered before the whole file is made.
#pragma once

#include <cstddef>
#include <span>

namespace korvo::persist {

class ByteSink {
public:
    // Takes the bytes in order; a failure is kept by the sink and reported when it finishes.
    virtual void Write(std::span<const std::byte> bytes) noexcept = 0;

protected:
    ByteSink() = default;
    ByteSink(const ByteSink&) = default;
    ByteSink& operator=(const ByteSink&) = default;
    ~ByteSink() = default;
};

} // namespace korvo::persist
