// The members that read and write entries: Item get/put/putref, Add, Exists, Remove,
// Count, ItemsCount, KeysCount, Items and Keys. Each attaches the object first and makes one
// call on its store.
#pragma once

#include "members/object_state.h"

namespace korvo::members {

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

} // namespace korvo::members
