// Save: writes the store's items, all of them or those whose key matches the pattern, to a
// dictionary file.
#pragma once

#include "share/object_state.h"

namespace korvo::persist {

// S_OK when every write succeeded; otherwise the first failure's mapped error (a file that
// cannot be created gives its mapped last error and nothing is written). A pattern object
// that cannot be prepared gives kPatternUnavailable with its error record, before the file
// is touched.
HRESULT Save(ObjectState& object, BSTR fileName, VARIANT_BOOL saveEmpty, BSTR pattern) noexcept;

} // namespace korvo::persist
