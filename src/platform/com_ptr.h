// ComPtr<T>: one counted reference to a COM interface.
#pragma once

#include "platform/platform.h"

#include <utility>

namespace korvo {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to `p`.
    explicit ComPtr(T* p) noexcept : value_(p)
    {
        if (value_) {
            value_->AddRef();
        }
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.value_) {}
    ComPtr(ComPtr&& other) noexcept : value_(other.Detach()) {}
    ComPtr& operator=(const ComPtr& other) noexcept
    {
        ComPtr(other).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a reference the caller already holds.
    static ComPtr Attach(T* owned) noexcept
    {
        ComPtr result;
        result.value_ = owned;
        return result;
    }
    // Releases what it holds and adopts a reference the caller already holds.
    void Adopt(T* owned) noexcept
    {
        reset();
        value_ = owned;
    }
    T* Detach() noexcept { return std::exchange(value_, nullptr); }
    void reset() noexcept
    {
        if (T* old = std::exchange(value_, nullptr)) {
            old->Release();
        }
    }
    void swap(ComPtr& other) noexcept { std::swap(value_, other.value_); }

    T* get() const noexcept { return value_; }
    // For out-parameters: releases the current reference first.
    T** put() noexcept
    {
        reset();
        return &value_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(put()); }
    T* operator->() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != nullptr; }

    // QueryInterface for `iid` into `out`, which the caller names with the matching type.
    template <typename U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const noexcept
    {
        if (!value_) {
            return E_POINTER;
        }
        return value_->QueryInterface(iid, out.PutVoid());
    }

    // Hands a new reference to an out-parameter.
    HRESULT CopyTo(T** out) const noexcept
    {
        if (!out) {
            return E_POINTER;
        }
        *out = value_;
        if (value_) {
            value_->AddRef();
        }
        return S_OK;
    }

private:
    T* value_ = nullptr;
};

} // namespace korvo
