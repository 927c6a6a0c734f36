#include "share/attachment.h"

#include <new>

namespace korvo {
namespace {

// An unnamed lock of this binding alone: free (count 1), never above 1.
std::shared_ptr<const UniqueHandle> MakePrivateSemaphore() noexcept
{
    UniqueHandle handle(CreateSemaphoreW(nullptr, 1, 1, nullptr));
    if (!handle) {
        return nullptr;
    }
    try {
        return std::make_shared<const UniqueHandle>(std::move(handle));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

} // namespace

std::shared_ptr<const UniqueHandle> LockSemaphore(ObjectState& object, bool makeIfMissing) noexcept
{
    StorePtr store;
    if (FAILED(EnsureAttached(object, store))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::lock_guard guard(object.bindingGuard());
    StoreRef& binding = object.binding();
    if (!binding.lockSemaphore && makeIfMissing && binding.store) {
        // Only the binding gets it: a named store's record never changes, so a named store
        // without a semaphore of its own gives each of its objects a lock of their own.
        binding.lockSemaphore = MakePrivateSemaphore();
    }
    // The caller keeps this copy while it waits or releases, so a concurrent Connect or
    // DisConnect never closes the handle under it.
    return binding.lockSemaphore;
}

} // namespace korvo
