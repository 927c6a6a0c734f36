// UniqueVariant: owns one VARIANT and clears it on destruction.
#pragma once

#include "platform/platform.h"

#include <cstring>

namespace korvo {

class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : UniqueVariant() { other.release(&value_); }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept
    {
        if (this != &other) {
            VariantClear(&value_);
            other.release(&value_);
        }
        return *this;
    }
    ~UniqueVariant() { VariantClear(&value_); }

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARIANT* operator->() noexcept { return &value_; }
    const VARIANT* operator->() const noexcept { return &value_; }

    // Moves the value's bits into *out (which must hold nothing) and leaves this empty.
    void release(VARIANT* out) noexcept
    {
        std::memcpy(static_cast<void*>(out), &value_, sizeof value_);
        VariantInit(&value_);
    }
    // Clears the value; the clear's result (DISP_E_ARRAYISLOCKED ...) is handed back.
    HRESULT reset() noexcept { return VariantClear(&value_); }

private:
    VARIANT value_;
};

} // namespace korvo
