#include "server/class_factory.h"

#include "platform/failure_trace.h"
#include "platform/module_lock.h"
#include "server/aggregation.h"
#include "server/dictionary_object.h"

namespace korvo::server {

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result) noexcept
{
    if (result == nullptr) {
        return KORVO_TRACED(E_POINTER);
    }
    *result = nullptr;
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) {
        return KORVO_TRACED(CLASS_E_NOAGGREGATION);
    }
    // `owner` holds the new object's one reference while it is set up; a failure on the way
    // releases it, which destroys the half-made object.
    ComPtr<IUnknown> owner;
    const HRESULT hr = KORVO_TRACED(outer != nullptr ? DictionaryAggregate::Create(outer, owner)
                                                     : DictionaryObject::CreatePlain(owner));
    if (FAILED(hr)) {
        return hr;
    }
    return KORVO_TRACED(owner->QueryInterface(iid, result));
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) noexcept
{
    if (lock) {
        IncrementModuleLockCount();
    } else {
        DecrementModuleLockCount();
    }
    return S_OK;
}

} // namespace korvo::server
