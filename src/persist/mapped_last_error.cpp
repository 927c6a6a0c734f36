#include "persist/mapped_last_error.h"

namespace korvo::persist {

HRESULT MappedLastError() noexcept
{
    const DWORD code = GetLastError();
    if (code == 0)
        return S_OK;
    return static_cast<HRESULT>(0x80070000UL | (code & 0xFFFFUL));
}

HRESULT FailureFromLastError(HRESULT fallback) noexcept
{
    const HRESULT mapped = MappedLastError();
    return FAILED(mapped) ? mapped : fallback;
}

} // namespace korvo::persist
