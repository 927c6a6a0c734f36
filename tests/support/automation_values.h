// Owned strings and variants for the tests, the thread's error record, array results read
// back, and the compare mode restored after a test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "store/key_compare.h"

namespace korvo::testing {

// An owned BSTR made from text that may hold embedded NULs.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text)
        : value_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size())))
    {}
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
        V_BSTR(&value_) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                            static_cast<UINT>(text.size()));
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
std::u16string ToU16(const OLECHAR* text, std::size_t length);

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
// Texts of an array result (every element must be VT_BSTR).
std::vector<std::u16string> TextElements(const VARIANT& array);
// Bounds of a one-dimensional array result.
std::pair<LONG, LONG> ArrayBounds(const VARIANT& array);

// Restores the process-wide compare mode after a test.
class CompareModeScope {
public:
    CompareModeScope() : saved_(ProcessCompareMode()) {}
    ~CompareModeScope() { SetProcessCompareMode(saved_); }
    CompareModeScope(const CompareModeScope&) = delete;
    CompareModeScope& operator=(const CompareModeScope&) = delete;

private:
    CompareMode saved_;
};

} // namespace korvo::testing
