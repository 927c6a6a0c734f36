#include "store/item_operations.h"

#include "com/report_error.h"
#include "platform/unique_safearray.h"
#include "platform/unique_variant.h"
#include "store/make_item_array.h"
#include "store/store_call.h"

namespace korvo::store {
namespace {

// Copies a caller's value into a new item; the copy's failure is reported as a member's.
HRESULT CopyIn(const VARIANT* value, UniqueVariant& item) noexcept
{
    if (value == nullptr) {
        return ReportError(KORVO_MSG_INVALID_ARGUMENT, E_INVALIDARG);
    }
    const HRESULT copied = VariantCopy(item.get(), const_cast<VARIANT*>(value));
    return FAILED(copied) ? ReportCopyFailure(copied) : S_OK;
}

bool NoKeyGiven(BSTR key) noexcept { return key == nullptr || key[0] == 0; }

} // namespace

HRESULT AddToStore(Store& store, CompareMode mode, VARIANT_BOOL uniqueKeys, KeyView key, const VARIANT& item) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
        SectionGuard guard(store.section);
        store.container.UseMode(mode);
        if (uniqueKeys != VARIANT_FALSE && store.container.Count(key) > 0) {
            return ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
        }
        UniqueVariant newItem;
        if (const HRESULT copied = CopyIn(&item, newItem); FAILED(copied)) {
            return copied;
        }
        store.container.Insert(KeyText(key), *newItem.get());
        VARIANT ownedByTheEntry;
        newItem.release(&ownedByTheEntry);
        return S_OK;
    });
}

HRESULT GetItem(ObjectState& object, BSTR key, VARIANT* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return WithStore(object, [&](StoreCallContext& call) -> HRESULT {
        const auto [first, last] = call.items.KeyRange(KeyArgument(key));
        const auto count = static_cast<LONG>(std::distance(first, last));
        if (count == 0) {
            VariantInit(result);
            return S_OK;
        }
        if (count == 1) {
            VariantInit(result);
            const HRESULT copied = VariantCopy(result, &first->second);
            return FAILED(copied) ? ReportCopyFailure(copied) : S_OK;
        }
        return MakeItemArray(result, first, count);
    });
}

HRESULT PutItem(ObjectState& object, BSTR key, const VARIANT* value) noexcept
{
    return WithStore(object, [&](StoreCallContext& call) -> HRESULT {
        const KeyView keyText = KeyArgument(key);
        const auto [first, last] = call.items.KeyRange(keyText);
        const auto count = std::distance(first, last);
        if (count >= 2) {
            return ReportError(KORVO_MSG_SEVERAL_VALUES, E_FAIL);
        }
        UniqueVariant newItem;
        if (const HRESULT copied = CopyIn(value, newItem); FAILED(copied)) {
            return copied;
        }
        if (count == 1) {
            // The entry keeps its key and place; its former item is released after the section.
            call.removed.TakeItem(first->second);
            newItem.release(&first->second);
        } else {
            call.items.Insert(KeyText(keyText), *newItem.get());
            VARIANT ownedByTheEntry;
            newItem.release(&ownedByTheEntry);
        }
        return S_OK;
    });
}

HRESULT Add(ObjectState& object, BSTR key, const VARIANT* item) noexcept
{
    if (item == nullptr) {
        return ReportError(KORVO_MSG_INVALID_ARGUMENT, E_INVALIDARG);
    }
    const VARIANT_BOOL uniqueKeys = object.uniqueKeys();
    return WithStore(object, [&](StoreCallContext& call) {
        return AddToStore(call.store, call.mode, uniqueKeys, KeyArgument(key), *item);
    });
}

HRESULT Exists(ObjectState& object, BSTR key, VARIANT_BOOL* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return WithStore(object, [&](StoreCallContext& call) {
        *result = call.items.Count(KeyArgument(key)) > 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT Remove(ObjectState& object, BSTR key, LONG /*itemPos*/) noexcept
{
    return WithStore(object, [&](StoreCallContext& call) {
        const auto [first, last] = call.items.KeyRange(KeyArgument(key));
        call.items.Erase(first, last, call.removed);
        return S_OK;
    });
}

HRESULT Count(ObjectState& object, BSTR key, LONG* result) noexcept
{
    if (NoKeyGiven(key)) {
        return ItemsCount(object, result);
    }
    if (result == nullptr) {
        return E_POINTER;
    }
    return WithStore(object, [&](StoreCallContext& call) {
        *result = call.items.Count(KeyArgument(key));
        return S_OK;
    });
}

HRESULT ItemsCount(ObjectState& object, LONG* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    StorePtr store;
    if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
        return attached;
    }
    // The entry count is one aligned value, read without the section.
    *result = store->container.EntryCount();
    return S_OK;
}

HRESULT KeysCount(ObjectState& object, LONG* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return WithStore(object, [&](StoreCallContext& call) {
        *result = call.items.DistinctKeyCount();
        return S_OK;
    });
}

HRESULT Items(ObjectState& object, VARIANT* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return WithStore(object, [&](StoreCallContext& call) {
        return MakeItemArray(result, call.items.begin(), call.items.EntryCount());
    });
}

HRESULT Keys(ObjectState& object, VARIANT* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return WithStore(object, [&](StoreCallContext& call) -> HRESULT {
        const ItemMap& items = call.items;
        const LONG groups = items.DistinctKeyCount();
        UniqueSafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(groups)));
        if (!array) {
            return E_OUTOFMEMORY;
        }
        LONG index = 0;
        for (auto group = items.begin(); group != items.end(); group = items.NextGroup(group), ++index) {
            const KeyText& text = group->first.text;
            UniqueVariant element;
            V_BSTR(element.get()) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
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
    });
}

} // namespace korvo::store
