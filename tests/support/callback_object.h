// An IUnknown on the test's stack that runs the test's code from inside its reference
// counting: once from its next AddRef after ArmForNextAddRef, and from its last Release. The
// last Release does not delete it, so a test can count the references the code holds.
#pragma once

#include "platform/platform.h"

#include <atomic>
#include <functional>
#include <utility>

namespace korvo::testing {

class CallbackObject final : public IUnknown {
public:
    CallbackObject() = default;
    explicit CallbackObject(std::function<void()> onFinalRelease) : onFinalRelease_(std::move(onFinalRelease)) {}
    CallbackObject(const CallbackObject&) = delete;
    CallbackObject& operator=(const CallbackObject&) = delete;

    void ArmForNextAddRef(std::function<void()> callback) { onAddRef_ = std::move(callback); }
    ULONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown)) {
            return E_NOINTERFACE;
        }
        AddRef();
        *out = static_cast<IUnknown*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        if (auto callback = std::exchange(onAddRef_, nullptr)) {
            callback();
        }
        return ++references_;
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0 && onFinalRelease_) {
            onFinalRelease_();
        }
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
    std::function<void()> onAddRef_;
    std::function<void()> onFinalRelease_;
};

} // namespace korvo::testing
