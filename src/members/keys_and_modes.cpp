#include "members/keys_and_modes.h"

#include "errors/report_error.h"

namespace korvo::members {

HRESULT PutKey(ObjectState& object, BSTR key, BSTR newKey) noexcept
{
    return OnStore(object, [&](StoreBackend& store) {
        if (key == nullptr || newKey == nullptr) {
            return ReportError(KORVO_MSG_INVALID_ARGUMENT, E_INVALIDARG);
        }
        return store.RenameKey(KeyArgument(key), KeyArgument(newKey));
    });
}

HRESULT GetUniqueKeys(ObjectState& object, VARIANT_BOOL* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = object.UniqueKeys();
    return S_OK;
}

HRESULT PutUniqueKeys(ObjectState& object, VARIANT_BOOL value) noexcept
{
    if (value != VARIANT_FALSE && object.UniqueKeys() == VARIANT_FALSE) {
        // Counts every entry of the store, whoever added it.
        const HRESULT checked = OnStore(object, [](StoreBackend& store) {
            LONG entries = 0;
            const HRESULT counted = store.ItemsCount(entries);
            if (FAILED(counted)) {
                return counted;
            }
            return entries > 0 ? ReportError(KORVO_MSG_NO_SWITCH_BACK, E_FAIL) : S_OK;
        });
        if (FAILED(checked)) {
            return checked;
        }
    }
    object.SetUniqueKeys(value);
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

} // namespace korvo::members
