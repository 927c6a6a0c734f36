#include "share/semaphore_lock.h"

#include <new>

#include "platform/win32_error.h"

namespace korvo {

std::shared_ptr<SemaphoreLock> SemaphoreLock::Create(const OLECHAR* name) noexcept
{
    UniqueHandle semaphore(CreateSemaphoreW(nullptr, 1, 1, name));
    if (!semaphore) {
        return nullptr;
    }
    try {
        return std::make_shared<SemaphoreLock>(std::move(semaphore));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

std::shared_ptr<SemaphoreLock> SemaphoreLock::CreateNamed(const KeyText& name) noexcept { return Create(name.c_str()); }

std::shared_ptr<SemaphoreLock> SemaphoreLock::CreatePrivate() noexcept { return Create(nullptr); }

HRESULT SemaphoreLock::Take(DWORD timeOut) noexcept
{
    const DWORD waited = WaitForSingleObject(semaphore_.get(), timeOut);
    switch (waited) {
    case WAIT_OBJECT_0:
        return S_OK;
    case WAIT_TIMEOUT:
        return HresultFromWin32Code(ERROR_SEM_TIMEOUT);
    case WAIT_FAILED:
        return MappedLastError();
    default:
        return HresultFromWin32Code(waited);
    }
}

HRESULT SemaphoreLock::Free() noexcept
{
    if (!ReleaseSemaphore(semaphore_.get(), 1, nullptr)) {
        return MappedLastError();
    }
    return S_OK;
}

} // namespace korvo
