// Win32 error codes as HRESULTs, the one mapping every caller uses: 0x80070000 with the
// code's low 16 bits. A code of 0 stays 0 (success).
#pragma once

#include "platform/platform.h"

namespace korvo {

constexpr HRESULT HresultFromWin32Code(DWORD code) noexcept
{
    return code == 0 ? S_OK : static_cast<HRESULT>(0x80070000UL | (code & 0xFFFFUL));
}

// The thread's last error as an HRESULT.
inline HRESULT MappedLastError() noexcept
{
    return HresultFromWin32Code(GetLastError());
}

// For a call that failed: its mapped last error, or `fallback` when the platform left the
// last error at 0, so that a failure is never reported as success.
inline HRESULT FailureFromLastError(HRESULT fallback) noexcept
{
    const HRESULT mapped = MappedLastError();
    return FAILED(mapped) ? mapped : fallback;
}

} // namespace korvo
