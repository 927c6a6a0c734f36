#include "store/key_operations.h"

#include "com/report_error.h"
#include "store/store_call.h"

namespace korvo::store {

HRESULT PutKey(ObjectState& object, BSTR key, BSTR newKey) noexcept
{
    return WithStore(object, [&](StoreCallContext& call) {
        if (key == nullptr || newKey == nullptr) {
            return ReportError(KORVO_MSG_INVALID_ARGUMENT, E_INVALIDARG);
        }
        call.items.Rename(KeyArgument(key), KeyArgument(newKey));
        return S_OK;
    });
}

HRESULT GetUniqueKeys(ObjectState& object, VARIANT_BOOL* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = object.uniqueKeys();
    return S_OK;
}

HRESULT PutUniqueKeys(ObjectState& object, VARIANT_BOOL value) noexcept
{
    if (value != VARIANT_FALSE && object.uniqueKeys() == VARIANT_FALSE) {
        StorePtr store;
        if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
            return attached;
        }
        // Counts every entry of the store, whoever added it, without the section.
        if (store->container.EntryCount() > 0) {
            return ReportError(KORVO_MSG_NO_SWITCH_BACK, E_FAIL);
        }
    }
    object.setUniqueKeys(value);
    return S_OK;
}

HRESULT PutCompareMode(LONG mode) noexcept
{
    if (mode != static_cast<LONG>(CompareMode::Binary) && mode != static_cast<LONG>(CompareMode::Text)) {
        return ReportError(KORVO_MSG_BAD_COMPARE_METHOD, E_INVALIDARG);
    }
    SetProcessCompareMode(static_cast<CompareMode>(mode));
    return S_OK;
}

HRESULT GetCompareMode(LONG* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = static_cast<LONG>(ProcessCompareMode());
    return S_OK;
}

} // namespace korvo::store
