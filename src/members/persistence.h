// RemoveAll, Save and Load: the members that take a key pattern, and the two that move a
// store's items to and from a dictionary file.
#pragma once

#include "members/object_state.h"

namespace korvo::members {

// Removes every item of every key that matches the pattern (every key for an empty one).
// kPatternUnavailable (no error record) when the pattern object cannot be prepared; the
// store is then left as it was.
HRESULT RemoveAll(ObjectState& object, BSTR pattern) noexcept;

// Writes the items whose key matches the pattern to a dictionary file. S_OK when every write
// succeeded; otherwise the first failure's mapped error (a file that cannot be created gives
// its mapped last error and nothing is written). A pattern object that cannot be prepared
// gives kPatternUnavailable with its error record, before the file is touched.
HRESULT Save(ObjectState& object, BSTR fileName, VARIANT_BOOL saveEmpty, BSTR pattern) noexcept;

// Adds the items of a dictionary file whose key matches the pattern, each by Add's rules.
// S_OK at the end marker; otherwise the first error (0x8007000D for a wrong magic, a record
// the writer never produces or a failed pattern test, 0x80070026 for a file that ends early,
// 0x80070008 for text that cannot be held, a failed read's or open's mapped last error).
// Records before the failing one stay added. A pattern object that cannot be prepared gives
// kPatternUnavailable with its error record, and the store is not touched.
HRESULT Load(ObjectState& object, BSTR fileName, BSTR pattern) noexcept;

} // namespace korvo::members
