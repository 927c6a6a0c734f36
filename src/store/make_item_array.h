#pragma once

#include "store/item_map.h"

namespace korvo {

// Fills `result` with a zero-based VT_ARRAY | VT_VARIANT array holding copies of the items
// of `count` entries from `first` on. E_FAIL, with `result` untouched, when an element
// cannot be stored; E_OUTOFMEMORY when the array cannot be created.
HRESULT MakeItemArray(VARIANT* result, ItemMap::const_iterator first, LONG count) noexcept;

// Wraps an array the caller will own into `result`.
void SetArrayResult(VARIANT* result, SAFEARRAY* array) noexcept;

} // namespace korvo
