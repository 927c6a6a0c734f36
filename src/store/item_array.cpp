#include "store/item_array.h"

#include <algorithm>

#include "platform/unique_bstr.h"
#include "platform/unique_safearray.h"
#include "store/variant_copy.h"

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
        if (FAILED(access.Result())) {
            return E_FAIL;
        }
        if (!fill(access.data<VARIANT>())) {
            return E_FAIL;
        }
    }
    SetArrayResult(result, array.release());
    return S_OK;
}

// A long key's text lies where the key was made, in no order a walk follows. The texts of
// the run after next are read (its first and last code unit, so a text across two cache lines
// comes in whole) while this run is copied: independent loads overlap their waits for
// memory, which prefetch hints on this hardware were measured not to do.
unsigned TouchKeyTexts(const EntryTree::Run& run) noexcept
{
    unsigned touched = 0;
    for (std::uint32_t i = 0; i < run.count; ++i) {
        const KeyView text = run.entries[i].key.View();
        if (!text.empty()) {
            touched += *static_cast<const volatile OLECHAR*>(text.data()) +
                       *static_cast<const volatile OLECHAR*>(text.data() + text.size() - 1);
        }
    }
    return touched;
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
        EntryTree::Position position = first.Position();
        for (LONG index = 0; index < count;) {
            const EntryTree::Run run = EntryTree::RunAt(position);
            const LONG taken = std::min(count - index, static_cast<LONG>(run.count));
            for (LONG i = 0; i < taken; ++i, ++index) {
                const VARIANT& item = run.entries[i].item;
                // What VariantCopy would do for a plain value, without the call.
                if (CopiesBitForBit(V_VT(&item))) {
                    elements[index] = item;
                    continue;
                }
                // VariantCopy only reads its source, though some headers declare it non-const.
                if (FAILED(VariantCopy(&elements[index], const_cast<VARIANT*>(&item)))) {
                    return false;
                }
            }
            position = run.after;
        }
        return true;
    });
}

HRESULT MakeKeyArray(VARIANT* result, const ItemMap& items) noexcept
{
    const LONG keyCount = items.DistinctKeyCount();
    return FillArray(result, keyCount, [&](VARIANT* elements) {
        LONG index = 0;
        const Entry* previous = nullptr;
        const bool severalPerKey = keyCount != items.EntryCount();
        EntryTree::Run run = EntryTree::RunAt(items.begin().Position());
        EntryTree::Run next = EntryTree::RunAt(run.after);
        unsigned touched = TouchKeyTexts(run) + TouchKeyTexts(next);
        while (run.count != 0) {
            const EntryTree::Run later = EntryTree::RunAt(next.after);
            touched += TouchKeyTexts(later);
            for (std::uint32_t i = 0; i < run.count; ++i) {
                const Entry& entry = run.entries[i];
                // Each group once, as the text of its earliest entry.
                if (severalPerKey && previous != nullptr &&
                    CompareKeys(previous->key.View(), entry.key.View(), items.Mode()) == 0) {
                    continue;
                }
                previous = &entry;
                if (index == keyCount) {
                    return false; // more groups than the container counts: never past the array
                }
                const KeyView text = entry.key.View();
                BSTR key = UniqueBstr::CopyOf(text.data(), static_cast<UINT>(text.size())).release();
                if (key == nullptr) {
                    return false;
                }
                V_VT(&elements[index]) = VT_BSTR;
                V_BSTR(&elements[index]) = key;
                ++index;
            }
            run = next;
            next = later;
        }
        // Keeps the loads of the texts from being dropped as unused.
        volatile unsigned kept = touched;
        static_cast<void>(kept);
        return true;
    });
}

} // namespace korvo
