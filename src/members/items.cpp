#include "members/items.h"

#include "errors/report_error.h"

namespace korvo::members {
namespace {

bool NoKeyGiven(BSTR key) noexcept
{
    return key == nullptr || key[0] == 0;
}

} // namespace

HRESULT GetItem(ObjectState& object, BSTR key, VARIANT* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return OnStore(object, [&](StoreBackend& store) { return store.GetItem(KeyArgument(key), *result); });
}

HRESULT PutItem(ObjectState& object, BSTR key, const VARIANT* value) noexcept
{
    if (value == nullptr) {
        return ReportError(KORVO_MSG_INVALID_ARGUMENT, E_INVALIDARG);
    }
    return OnStore(object, [&](StoreBackend& store) { return store.PutItem(KeyArgument(key), *value); });
}

HRESULT Add(ObjectState& object, BSTR key, const VARIANT* item) noexcept
{
    if (item == nullptr) {
        return ReportError(KORVO_MSG_INVALID_ARGUMENT, E_INVALIDARG);
    }
    const bool uniqueKeys = object.UniqueKeys() != VARIANT_FALSE;
    return OnStore(object, [&](StoreBackend& store) { return store.Add(KeyArgument(key), *item, uniqueKeys); });
}

HRESULT Exists(ObjectState& object, BSTR key, VARIANT_BOOL* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return OnStore(object, [&](StoreBackend& store) {
        bool exists = false;
        const HRESULT asked = store.Exists(KeyArgument(key), exists);
        if (SUCCEEDED(asked)) {
            *result = exists ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return asked;
    });
}

HRESULT Remove(ObjectState& object, BSTR key, LONG /*itemPos*/) noexcept
{
    return OnStore(object, [&](StoreBackend& store) { return store.Remove(KeyArgument(key)); });
}

HRESULT Count(ObjectState& object, BSTR key, LONG* result) noexcept
{
    if (NoKeyGiven(key)) {
        return ItemsCount(object, result);
    }
    if (result == nullptr) {
        return E_POINTER;
    }
    return OnStore(object, [&](StoreBackend& store) { return store.Count(KeyArgument(key), *result); });
}

HRESULT ItemsCount(ObjectState& object, LONG* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return OnStore(object, [&](StoreBackend& store) { return store.ItemsCount(*result); });
}

HRESULT KeysCount(ObjectState& object, LONG* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return OnStore(object, [&](StoreBackend& store) { return store.KeysCount(*result); });
}

HRESULT Items(ObjectState& object, VARIANT* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return OnStore(object, [&](StoreBackend& store) { return store.Items(*result); });
}

HRESULT Keys(ObjectState& object, VARIANT* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    return OnStore(object, [&](StoreBackend& store) { return store.Keys(*result); });
}

} // namespace korvo::members
