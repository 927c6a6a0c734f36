// The members that read and write entries: Item get/put/putref, Add, Exists, Remove,
// Count, ItemsCount, KeysCount, Items and Keys. Each attaches the object first and works
// on its store under the store's critical section.
#pragma once

#include "share/object_state.h"
#include "store/key_compare.h"

namespace korvo::store {

HRESULT GetItem(ObjectState& object, BSTR key, VARIANT* result) noexcept;
// Item put and putref: both store a copy of the value.
HRESULT PutItem(ObjectState& object, BSTR key, const VARIANT* value) noexcept;
HRESULT Add(ObjectState& object, BSTR key, const VARIANT* item) noexcept;
HRESULT Exists(ObjectState& object, BSTR key, VARIANT_BOOL* result) noexcept;
// ItemPos is part of the interface but Remove always removes every item of the key.
HRESULT Remove(ObjectState& object, BSTR key, LONG itemPos) noexcept;
HRESULT Count(ObjectState& object, BSTR key, LONG* result) noexcept;
HRESULT ItemsCount(ObjectState& object, LONG* result) noexcept;
HRESULT KeysCount(ObjectState& object, LONG* result) noexcept;
HRESULT Items(ObjectState& object, VARIANT* result) noexcept;
HRESULT Keys(ObjectState& object, VARIANT* result) noexcept;

// Add's rules applied to a store the caller already works on (Load adds every record this
// way, inside the section it holds). Reports its failures as Add does.
HRESULT AddToStore(Store& store, CompareMode mode, VARIANT_BOOL uniqueKeys, KeyView key, const VARIANT& item) noexcept;

} // namespace korvo::store
