// The array results of the container: items or distinct keys in container order, as a
// zero-based VT_ARRAY | VT_VARIANT array that the caller owns.
#pragma once

#include "store/item_map.h"

namespace korvo {

// Fills `result` with copies of the items of `count` entries from `first` on. E_FAIL, with
// `result` untouched, when an element cannot be stored; E_OUTOFMEMORY when the array cannot
// be created.
HRESULT MakeItemArray(VARIANT* result, ItemMap::const_iterator first, LONG count) noexcept;

// Fills `result` with the text of each group's earliest entry, as VT_BSTR elements. Same
// failures as MakeItemArray.
HRESULT MakeKeyArray(VARIANT* result, const ItemMap& items) noexcept;

// Wraps an array the caller will own into `result`.
void SetArrayResult(VARIANT* result, SAFEARRAY* array) noexcept;

} // namespace korvo
