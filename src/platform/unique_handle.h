// Owner of one kernel handle, closed when the owner goes. Both of the platform's "no handle"
// values, null (from CreateSemaphoreW) and INVALID_HANDLE_VALUE (from CreateFileW), count as
// empty.
#pragma once

#include "platform/platform.h"

#include <utility>

namespace korvo {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return IsValid(handle_); }

    // Gives the handle up without closing it.
    HANDLE release() { return std::exchange(handle_, nullptr); }

    void reset(HANDLE handle = nullptr)
    {
        HANDLE old = std::exchange(handle_, handle);
        if (IsValid(old)) {
            CloseHandle(old);
        }
    }

private:
    static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

    HANDLE handle_ = nullptr;
};

} // namespace korvo
