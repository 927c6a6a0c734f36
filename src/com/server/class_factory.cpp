#include "com/server/class_factory.h"

#include <memory>

#include "com/server/aggregation.h"
#include "com/server/dictionary_object.h"
#include "share/module_lock_count.h"

namespace korvo::server {

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID iid, void** result)
{
    if (result == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *result = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ClassFactory::AddRef()
{
    SectionGuard guard(countSection_);
    if (++referenceCount_ == 2) {
        IncrementModuleLockCount();
    }
    return referenceCount_;
}

ULONG STDMETHODCALLTYPE ClassFactory::Release()
{
    ULONG remaining = 0;
    {
        SectionGuard guard(countSection_);
        remaining = --referenceCount_;
        if (remaining == 1) {
            DecrementModuleLockCount();
        }
    }
    if (remaining == 0) {
        std::unique_ptr<ClassFactory> finalRelease(this);
    }
    return remaining;
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result)
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) {
        return CLASS_E_NOAGGREGATION;
    }
    // `owner` holds the new object's one reference while it is set up; a failure on the way
    // releases it, which destroys the half-made object.
    ComPtr<IUnknown> owner;
    const HRESULT hr = outer != nullptr ? DictionaryAggregate::Create(outer, owner) : DictionaryObject::CreatePlain(owner);
    if (FAILED(hr)) {
        return hr;
    }
    return owner->QueryInterface(iid, result);
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock)
{
    if (lock) {
        IncrementModuleLockCount();
    } else {
        DecrementModuleLockCount();
    }
    return S_OK;
}

} // namespace korvo::server
