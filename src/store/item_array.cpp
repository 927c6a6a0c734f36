#include "store/item_array.h"

#include "platform/unique_bstr.h"
#include "platform/unique_safearray.h"

namespace korvo {
namespace {

// A zero-based array of `count` empty variants, filled in one pass by `fill` straight into
// its element block; E_FAIL (the array gone, with what was copied into it) when an element
// cannot be made.
template <class Fill>
HRESULT FillArray(VARIANT* result, LONG count, Fill&& fill) noexcept
{
    UniqueSafeArray array = UniqueSafeArray::VariantVector(static_cast<ULONG>(count));
    if (!array) {
        return E_OUTOFMEMORY;
    }
    {
        const SafeArrayDataAccess access(array.get());
        if (FAILED(access.result())) {
            return E_FAIL;
        }
        if (!fill(access.data<VARIANT>())) {
            return E_FAIL;
        }
    }
    SetArrayResult(result, array.release());
    return S_OK;
}

} // namespace

void SetArrayResult(VARIANT* result, SAFEARRAY* array) noexcept
{
    VariantInit(result);
    V_VT(result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(result) = array;
}

HRESULT MakeItemArray(VARIANT* result, ItemMap::const_iterator first, LONG count) noexcept
{
    return FillArray(result, count, [&](VARIANT* elements) {
        auto entry = first;
        for (LONG index = 0; index < count; ++index, ++entry) {
            // VariantCopy only reads its source, though some headers declare it non-const.
            if (FAILED(VariantCopy(&elements[index], const_cast<VARIANT*>(&entry->item)))) {
                return false;
            }
        }
        return true;
    });
}

HRESULT MakeKeyArray(VARIANT* result, const ItemMap& items) noexcept
{
    return FillArray(result, items.DistinctKeyCount(), [&](VARIANT* elements) {
        LONG index = 0;
        const Entry* previous = nullptr;
        for (const Entry& entry : items) {
            // Each group once, as the text of its earliest entry.
            if (previous != nullptr && CompareKeys(previous->key.view(), entry.key.view(), items.mode()) == 0) {
                continue;
            }
            previous = &entry;
            const KeyView text = entry.key.view();
            BSTR key = UniqueBstr::CopyOf(text.data(), static_cast<UINT>(text.size())).release();
            if (key == nullptr) {
                return false;
            }
            V_VT(&elements[index]) = VT_BSTR;
            V_BSTR(&elements[index]) = key;
            ++index;
        }
        return true;
    });
}

} // namespace korvo
