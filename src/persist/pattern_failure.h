// The result of Save and Load when their pattern object cannot be prepared.
#pragma once

#include "platform/platform.h"

namespace korvo::persist {

// Leaves "Cannot initialize VBScript RegExp object" in the thread's error record and
// returns kPatternUnavailable.
HRESULT ReportPatternUnavailable() noexcept;

} // namespace korvo::persist
