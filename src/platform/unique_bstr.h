// UniqueBstr: sole owner of one BSTR.
#pragma once

#include "platform/platform.h"

#include <utility>

namespace korvo {

class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR owned) noexcept : value_(owned) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : value_(other.release()) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~UniqueBstr() { SysFreeString(value_); }

    // A copy of `length` code units (embedded NULs included); holds null when out of memory.
    static UniqueBstr CopyOf(const OLECHAR* text, UINT length) noexcept
    {
        return UniqueBstr(SysAllocStringLen(text, length));
    }
    // A copy up to the first NUL; null in, null out; null out for non-null in = out of memory.
    static UniqueBstr CopyUpToNul(const OLECHAR* text) noexcept { return UniqueBstr(SysAllocString(text)); }

    BSTR get() const noexcept { return value_; }
    // For out-parameters: frees the current string first.
    BSTR* put() noexcept
    {
        reset();
        return &value_;
    }
    BSTR release() noexcept { return std::exchange(value_, nullptr); }
    void reset(BSTR owned = nullptr) noexcept
    {
        BSTR old = std::exchange(value_, owned);
        if (old != owned) {
            SysFreeString(old);
        }
    }
    UINT Length() const noexcept { return SysStringLen(value_); }
    explicit operator bool() const noexcept { return value_ != nullptr; }

private:
    BSTR value_ = nullptr;
};

} // namespace korvo
