// ComObject: QueryInterface, reference counting and the module lock, written once for every
// COM object of the module.
//
//   class Enumerator final : public ComObject<Enumerator, Interfaces<IEnumVARIANT>> { ... };
//   ComPtr<Enumerator> made;
//   HRESULT hr = MakeComObject(made, arguments...);
//
// The first interface is the object's identity (what IUnknown answers). Each listed interface
// answers its own IID and whatever InterfaceTraits<I>::Answers adds (a dual interface also
// answers IDispatch); Derived::QueryOtherInterface may answer more (it takes its own
// reference). An object made with an outer IUnknown is part of an aggregate: QueryInterface,
// AddRef and Release of every interface go to the outer object alone, so the aggregate has one
// identity whichever pointer is asked; only the inner object's non-delegating IUnknown (which
// calls FindInterface) answers from this object's own table.
#pragma once

#include <memory>
#include <new>
#include <utility>

#include "platform/com_ptr.h"
#include "platform/critical_section.h"
#include "platform/hresult_from_exception.h"
#include "platform/module_lock.h"
#include "platform/platform.h"

namespace korvo {

// The IID of an interface; specialised once per interface the module implements.
template <class Interface>
const IID& InterfaceIdOf() noexcept;

template <class Interface>
struct InterfaceTraits {
    static bool Answers(REFIID iid) noexcept { return IsEqualIID(iid, InterfaceIdOf<Interface>()); }
};

template <class... Listed>
struct Interfaces {};

// An interlocked count of references.
class InterlockedCount {
public:
    ULONG Increment() noexcept { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
    ULONG Decrement() noexcept { return static_cast<ULONG>(InterlockedDecrement(&count_)); }
    // Calls made while the object is destroyed must not destroy it a second time.
    void GuardFinalRelease() noexcept { InterlockedExchange(&count_, 1); }

private:
    LONG volatile count_ = 0;
};

// The count of an object that keeps the module loaded for as long as it lives.
class ModuleObjectCount : public InterlockedCount {
private:
    ModuleLock moduleLock_;
};

// The count of a class object: the class table keeps the first reference, and only the
// references beyond it keep the module loaded. Changed under a section, so the module lock
// always follows the count.
class ClassObjectCount {
public:
    ULONG Increment() noexcept
    {
        SectionGuard guard(section_);
        if (++count_ == 2) {
            IncrementModuleLockCount();
        }
        return count_;
    }
    ULONG Decrement() noexcept
    {
        SectionGuard guard(section_);
        if (--count_ == 1) {
            DecrementModuleLockCount();
        }
        return count_;
    }
    void GuardFinalRelease() noexcept
    {
        SectionGuard guard(section_);
        count_ = 1;
    }

private:
    CriticalSection section_;
    ULONG count_ = 0;
};

template <class Derived, class InterfaceList, class Count = ModuleObjectCount>
class ComObject;

template <class Derived, class Identity, class... Others, class Count>
class ComObject<Derived, Interfaces<Identity, Others...>, Count> : public Identity, public Others... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override
    {
        if (outer_ != nullptr) {
            return outer_->QueryInterface(iid, result);
        }
        return FindInterface(iid, result);
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override
    {
        return outer_ != nullptr ? outer_->AddRef() : count_.Increment();
    }

    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        if (outer_ != nullptr) {
            return outer_->Release();
        }
        const ULONG remaining = count_.Decrement();
        if (remaining == 0) {
            count_.GuardFinalRelease();
            std::unique_ptr<Derived> finalRelease(static_cast<Derived*>(this));
        }
        return remaining;
    }

    // The object's own interface table, without asking an outer object.
    HRESULT FindInterface(REFIID iid, void** result) noexcept
    {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || InterfaceTraits<Identity>::Answers(iid)) {
            *result = static_cast<Identity*>(this);
        } else if (!(Answer<Others>(iid, result) || ...)) {
            return static_cast<Derived*>(this)->QueryOtherInterface(iid, result);
        }
        AddRef();
        return S_OK;
    }

    // The object that answers AddRef, Release and identity: itself, or the outer object.
    IUnknown* ControllingUnknown() noexcept
    {
        return outer_ != nullptr ? outer_ : static_cast<IUnknown*>(static_cast<Identity*>(this));
    }

protected:
    explicit ComObject(IUnknown* outer = nullptr) noexcept : outer_(outer) {}
    ~ComObject() = default;

    // Interfaces beyond the table; the answer takes its own reference.
    HRESULT QueryOtherInterface(REFIID, void**) noexcept { return E_NOINTERFACE; }

private:
    template <class Interface>
    bool Answer(REFIID iid, void** result) noexcept
    {
        if (!InterfaceTraits<Interface>::Answers(iid)) {
            return false;
        }
        *result = static_cast<Interface*>(this);
        return true;
    }

    Count count_;
    IUnknown* const outer_;
};

// A new object holding its first reference in `result`; the constructor's failure (or no
// memory) comes back as an HRESULT and leaves `result` empty.
template <class Object, class... Arguments>
HRESULT MakeComObject(ComPtr<Object>& result, Arguments&&... arguments) noexcept
{
    return CallReturningHresult([&] {
        auto made = std::make_unique<Object>(std::forward<Arguments>(arguments)...);
        result = ComPtr<Object>(made.release());
        return S_OK;
    });
}

} // namespace korvo

namespace korvo {

template <>
inline const IID& InterfaceIdOf<IUnknown>() noexcept
{
    return IID_IUnknown;
}
template <>
inline const IID& InterfaceIdOf<IDispatch>() noexcept
{
    return IID_IDispatch;
}
template <>
inline const IID& InterfaceIdOf<IEnumVARIANT>() noexcept
{
    return IID_IEnumVARIANT;
}
template <>
inline const IID& InterfaceIdOf<ISupportErrorInfo>() noexcept
{
    return IID_ISupportErrorInfo;
}

} // namespace korvo
