// RemoveAll: removes every item of every key that matches the pattern (every key for an
// empty pattern).
#pragma once

#include "share/object_state.h"

namespace korvo::persist {

// S_OK, or kPatternUnavailable (no error record) when the pattern object cannot be
// prepared; the store is then left as it was.
HRESULT RemoveAll(ObjectState& object, BSTR pattern) noexcept;

} // namespace korvo::persist
