// Load: adds the items of a dictionary file, all of them or those whose key matches the
// pattern, to the store, each through Add's rules.
#pragma once

#include "share/object_state.h"

namespace korvo::persist {

// S_OK at the end marker; otherwise the first error (0x8007000D for a wrong magic, a
// record the writer never produces or a failed pattern test, 0x80070026 for a file that
// ends early, 0x80070008 for text that cannot be held, a failed read's or open's mapped
// last error). Records before the failing one stay added. A pattern object that cannot be
// prepared gives kPatternUnavailable with its error record, and the store is not touched.
HRESULT Load(ObjectState& object, BSTR fileName, BSTR pattern) noexcept;

} // namespace korvo::persist
