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

// The types whose variant copy is a copy of the VARIANT's bits: no string, array,
// reference, interface or record to duplicate or count.
bool CopiesBitForBit(VARTYPE type) noexcept
{
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

// Walks the entries with a second iterator some entries ahead, whose key text is asked for
// early: a long key's text lies where the key was made, in no order the walk follows, and
// asking ahead hides most of the wait for memory.
class KeyPrefetch {
public:
    explicit KeyPrefetch(const ItemMap& items) noexcept : ahead_(items.begin()), end_(items.end())
    {
        for (int i = 0; i < kAhead && ahead_ != end_; ++i) {
            ++ahead_;
        }
    }
    void Step() noexcept
    {
        if (ahead_ != end_) {
            __builtin_prefetch(ahead_->key.view().data());
            ++ahead_;
        }
    }

private:
    static constexpr int kAhead = 16;
    ItemMap::const_iterator ahead_;
    ItemMap::const_iterator end_;
};

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
            // What VariantCopy would do for a plain value, without the call.
            if (CopiesBitForBit(V_VT(&entry->item))) {
                elements[index] = entry->item;
                continue;
            }
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
        const bool severalPerKey = items.DistinctKeyCount() != items.EntryCount();
        KeyPrefetch prefetch(items);
        for (const Entry& entry : items) {
            prefetch.Step();
            // Each group once, as the text of its earliest entry.
            if (severalPerKey && previous != nullptr &&
                CompareKeys(previous->key.view(), entry.key.view(), items.mode()) == 0) {
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
