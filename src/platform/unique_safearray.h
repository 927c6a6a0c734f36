// UniqueSafeArray: sole owner of one SAFEARRAY, destroyed (with its elements) at the end.
#pragma once

#include "platform/platform.h"

#include <utility>

namespace korvo {

class UniqueSafeArray {
public:
    UniqueSafeArray() = default;
    explicit UniqueSafeArray(SAFEARRAY* owned) noexcept : value_(owned) {}
    UniqueSafeArray(const UniqueSafeArray&) = delete;
    UniqueSafeArray& operator=(const UniqueSafeArray&) = delete;
    UniqueSafeArray(UniqueSafeArray&& other) noexcept : value_(other.release()) {}
    UniqueSafeArray& operator=(UniqueSafeArray&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~UniqueSafeArray() { reset(); }

    // A one-dimensional array of n empty variants with lower bound 0; null when out of memory.
    static UniqueSafeArray VariantVector(ULONG n) noexcept
    {
        return UniqueSafeArray(SafeArrayCreateVector(VT_VARIANT, 0, n));
    }

    SAFEARRAY* get() const noexcept { return value_; }
    SAFEARRAY** put() noexcept
    {
        reset();
        return &value_;
    }
    SAFEARRAY* release() noexcept { return std::exchange(value_, nullptr); }
    void reset(SAFEARRAY* owned = nullptr) noexcept
    {
        SAFEARRAY* old = std::exchange(value_, owned);
        if (old && old != owned) {
            SafeArrayDestroy(old);
        }
    }
    explicit operator bool() const noexcept { return value_ != nullptr; }

private:
    SAFEARRAY* value_ = nullptr;
};

// Holds SafeArrayAccessData for one scope.
class SafeArrayDataAccess {
public:
    explicit SafeArrayDataAccess(SAFEARRAY* array) noexcept : array_(array)
    {
        result_ = SafeArrayAccessData(array_, &data_);
    }
    SafeArrayDataAccess(const SafeArrayDataAccess&) = delete;
    SafeArrayDataAccess& operator=(const SafeArrayDataAccess&) = delete;
    ~SafeArrayDataAccess()
    {
        if (SUCCEEDED(result_)) {
            SafeArrayUnaccessData(array_);
        }
    }

    HRESULT Result() const noexcept { return result_; }
    template <typename T>
    T* data() const noexcept
    {
        return static_cast<T*>(data_);
    }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
    HRESULT result_;
};

} // namespace korvo
