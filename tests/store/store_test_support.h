// Small helpers for driving the core the way the interface layer does.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "share/object_state.h"
#include "store/key_compare.h"

namespace korvo::testing {

// An owned BSTR made from text that may hold embedded NULs.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text)
        : value_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size())))
    {
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    operator BSTR() const { return value_; }
    BSTR* out()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }

private:
    BSTR value_ = nullptr;
};

// An owned VARIANT.
class Var {
public:
    Var() { VariantInit(&value_); }
    explicit Var(LONG number) : Var()
    {
        V_VT(&value_) = VT_I4;
        V_I4(&value_) = number;
    }
    explicit Var(std::u16string_view text) : Var()
    {
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(&value_); }
    VARIANT* get() { return &value_; }
    const VARIANT& ref() const { return value_; }

private:
    VARIANT value_;
};

std::u16string ToU16(KeyView text);
std::u16string ToU16(BSTR text);

// The thread's current error record, taken with GetErrorInfo.
struct ErrorRecord {
    bool present = false;
    std::u16string description;
    std::u16string source;
    GUID guid{};
};
ErrorRecord TakeErrorRecord();
void ClearErrorRecord();

// Item values of an array result, as 32-bit integers (every element must be VT_I4).
std::vector<LONG> IntegerElements(const VARIANT& array);
// Key texts of an array result (every element must be VT_BSTR).
std::vector<std::u16string> TextElements(const VARIANT& array);
// Bounds of a one-dimensional array result.
std::pair<LONG, LONG> ArrayBounds(const VARIANT& array);

// Convenience calls that assert success.
void AddOk(ObjectState& object, std::u16string_view key, LONG value);
std::vector<std::u16string> KeysOf(ObjectState& object);
std::vector<LONG> ItemsOf(ObjectState& object);
LONG CountOf(ObjectState& object, std::u16string_view key);
LONG ItemsCountOf(ObjectState& object);

// Restores the process-wide compare mode after a test.
class CompareModeScope {
public:
    CompareModeScope();
    ~CompareModeScope();

private:
    LONG saved_ = 0;
};

} // namespace korvo::testing
