#include "com/server/aggregation.h"

#include <memory>
#include <new>

namespace korvo::server {

HRESULT DictionaryAggregate::Create(IUnknown* outer, ComPtr<IUnknown>& owner) noexcept
{
    std::unique_ptr<DictionaryAggregate> aggregate(new (std::nothrow) DictionaryAggregate(outer));
    if (!aggregate) {
        return E_OUTOFMEMORY;
    }
    DictionaryAggregate* created = aggregate.get();
    // From here the aggregate's own count owns it: releasing `owner` destroys it.
    owner = ComPtr<IUnknown>(aggregate.release());
    return created->object_.AggregateMarshaller();
}

HRESULT STDMETHODCALLTYPE DictionaryAggregate::QueryInterface(REFIID iid, void** result)
{
    if (result == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown)) {
        *result = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return object_.FindInterface(iid, result);
}

ULONG STDMETHODCALLTYPE DictionaryAggregate::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&referenceCount_));
}

ULONG STDMETHODCALLTYPE DictionaryAggregate::Release()
{
    const LONG remaining = InterlockedDecrement(&referenceCount_);
    if (remaining == 0) {
        // Calls made while the aggregate is destroyed must not destroy it a second time.
        referenceCount_ = 1;
        std::unique_ptr<DictionaryAggregate> finalRelease(this);
    }
    return static_cast<ULONG>(remaining);
}

} // namespace korvo::server
