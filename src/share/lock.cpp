#include "share/lock.h"

#include "share/attachment.h"

namespace korvo::share {
namespace {

// A Win32 code as a failure HRESULT; 0, which a failed call should never leave, stays S_OK.
HRESULT MappedWin32Code(DWORD code) noexcept
{
    if (code == 0) {
        return S_OK;
    }
    return static_cast<HRESULT>(0x80070000UL | (code & 0xFFFFUL));
}

HRESULT WaitResultToHresult(DWORD waited) noexcept
{
    switch (waited) {
    case WAIT_OBJECT_0:
        return S_OK;
    case WAIT_TIMEOUT:
        return MappedWin32Code(ERROR_SEM_TIMEOUT);
    case WAIT_FAILED:
        return MappedWin32Code(GetLastError());
    default:
        return MappedWin32Code(waited);
    }
}

} // namespace

HRESULT Lock(ObjectState& object, LONG timeOut, LONG* result) noexcept
{
    if (result != nullptr) {
        *result = 0;
    }
    StorePtr store;
    if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
        return attached;
    }
    const auto semaphore = LockSemaphore(object, true);
    if (!semaphore) {
        // What a wait on the missing handle reports; the next Lock tries to make it again.
        return MappedWin32Code(ERROR_INVALID_HANDLE);
    }
    const DWORD waited = WaitForSingleObject(semaphore->get(), static_cast<DWORD>(timeOut));
    if (waited == WAIT_OBJECT_0 && result != nullptr) {
        *result = 1;
    }
    return WaitResultToHresult(waited);
}

HRESULT UnLock(ObjectState& object) noexcept
{
    StorePtr store;
    if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
        return attached;
    }
    const auto semaphore = LockSemaphore(object, false);
    if (!semaphore) {
        return E_PENDING;
    }
    if (!ReleaseSemaphore(semaphore->get(), 1, nullptr)) {
        return MappedWin32Code(GetLastError());
    }
    return S_OK;
}

} // namespace korvo::share
