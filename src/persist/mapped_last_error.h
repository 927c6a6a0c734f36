// The thread's last Win32 error as an HRESULT: 0x80070000 with its low 16 bits; 0 stays 0.
#pragma once

#include "platform/platform.h"

namespace korvo::persist {

HRESULT MappedLastError() noexcept;

// For a call that failed: its mapped last error, or `fallback` when the platform left the
// last error at 0, so that a failure is never reported as success.
HRESULT FailureFromLastError(HRESULT fallback) noexcept;

} // namespace korvo::persist
