#include "store/make_item_array.h"

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
    UniqueSafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count)));
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

} // namespace korvo
