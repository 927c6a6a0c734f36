// Small helpers for driving the sharing members the way the interface layer does.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "share/object_state.h"

namespace korvo::sharetest {

constexpr HRESULT kSemaphoreTimeout = static_cast<HRESULT>(0x80070079);
constexpr HRESULT kTooManyPosts = static_cast<HRESULT>(0x8007012A);

// An owned BSTR.
class Bstr {
public:
    explicit Bstr(std::u16string_view text);
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr();
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

// A store name no other test, and no other run of these tests, uses at the same time:
// semaphore names are machine-wide.
std::u16string UniqueStoreName(std::u16string_view label);

void ConnectOk(ObjectState& object, std::u16string_view name);
void DisConnectOk(ObjectState& object);
void AddOk(ObjectState& object, std::u16string_view key, LONG value);
void AddOk(ObjectState& object, std::u16string_view key, const VARIANT& item);
void RemoveOk(ObjectState& object, std::u16string_view key);
LONG ItemsCountOf(ObjectState& object);
bool ExistsIn(ObjectState& object, std::u16string_view key);

// An IUnknown on the stack that only counts its references, so a test can assert exactly
// how many the code under test holds.
class CountingUnknown final : public IUnknown {
public:
    CountingUnknown() = default;
    CountingUnknown(const CountingUnknown&) = delete;
    CountingUnknown& operator=(const CountingUnknown&) = delete;
    ~CountingUnknown() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    LONG References() { return InterlockedCompareExchange(&references_, 0, 0); }

private:
    LONG volatile references_ = 1; // the test's own
};

} // namespace korvo::sharetest
