// Key rename, the per-object UniqueKeys flag and the process-wide compare mode.
#pragma once

#include "members/object_state.h"

namespace korvo::members {

// Moves every item of `key` to `newKey`, behind the items `newKey` already has.
HRESULT PutKey(ObjectState& object, BSTR key, BSTR newKey) noexcept;

HRESULT GetUniqueKeys(ObjectState& object, VARIANT_BOOL* result) noexcept;
// Switching unique keys back on is refused while the store holds any entry.
HRESULT PutUniqueKeys(ObjectState& object, VARIANT_BOOL value) noexcept;

// CompareMethod values: 0 binary, 1 text.
HRESULT PutCompareMode(LONG mode) noexcept;
HRESULT GetCompareMode(LONG* result) noexcept;

} // namespace korvo::members
