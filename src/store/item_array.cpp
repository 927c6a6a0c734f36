#include "store/item_array.h"

#include "platform/unique_bstr.h"
#include "platform/unique_safearray.h"

namespace korvo {

void SetArrayResult(VARIANT* result, SAFEARRAY* array) noexcept
{
    VariantInit(result);
    V_VT(result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(result) = array;
}

HRESULT MakeItemArray(VARIANT* result, ItemMap::const_iterator first, LONG count) noexcept
{
    UniqueSafeArray array = UniqueSafeArray::VariantVector(static_cast<ULONG>(count));
    if (!array) {
        return E_OUTOFMEMORY;
    }
    auto entry = first;
    for (LONG index = 0; index < count; ++index, ++entry) {
        if (FAILED(SafeArrayPutElement(array.get(), &index, const_cast<VARIANT*>(&entry->second)))) {
            return E_FAIL;
        }
    }
    SetArrayResult(result, array.release());
    return S_OK;
}

HRESULT MakeKeyArray(VARIANT* result, const ItemMap& items) noexcept
{
    const LONG groups = items.DistinctKeyCount();
    UniqueSafeArray array = UniqueSafeArray::VariantVector(static_cast<ULONG>(groups));
    if (!array) {
        return E_OUTOFMEMORY;
    }
    LONG index = 0;
    for (auto group = items.begin(); group != items.end(); group = items.NextGroup(group), ++index) {
        const KeyText& text = group->first.text;
        UniqueVariant element;
        V_BSTR(element.get()) = UniqueBstr::CopyOf(text.data(), static_cast<UINT>(text.size())).release();
        if (V_BSTR(element.get()) == nullptr) {
            return E_FAIL;
        }
        V_VT(element.get()) = VT_BSTR;
        if (FAILED(SafeArrayPutElement(array.get(), &index, element.get()))) {
            return E_FAIL;
        }
    }
    SetArrayResult(result, array.release());
    return S_OK;
}

} // namespace korvo
