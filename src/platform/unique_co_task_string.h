// Owner of one string the runtime allocated with the task allocator (ProgIDFromCLSID),
// freed with CoTaskMemFree.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace korvo {

class UniqueCoTaskString {
public:
    UniqueCoTaskString() = default;
    UniqueCoTaskString(const UniqueCoTaskString&) = delete;
    UniqueCoTaskString& operator=(const UniqueCoTaskString&) = delete;
    ~UniqueCoTaskString() { CoTaskMemFree(value_); }

    LPOLESTR get() const noexcept { return value_; }
    // For out-parameters: frees the current string first.
    LPOLESTR* put() noexcept
    {
        CoTaskMemFree(std::exchange(value_, nullptr));
        return &value_;
    }
    explicit operator bool() const noexcept { return value_ != nullptr; }

private:
    LPOLESTR value_ = nullptr;
};

} // namespace korvo
