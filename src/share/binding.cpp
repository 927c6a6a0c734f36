#include "share/binding.h"

#include <utility>

#include "platform/hresult_from_exception.h"
#include "share/local_store.h"
#include "share/named_store_registry.h"
#include "share/semaphore_lock.h"

namespace korvo {

HRESULT Binding::Bind(const OLECHAR* name, Bound& bound) noexcept
{
    if (name == nullptr) {
        if (const HRESULT made = CallReturningHresult([&] {
                bound.store = std::make_shared<LocalStore>();
                return S_OK;
            });
            FAILED(made)) {
            return made;
        }
    } else {
        if (const HRESULT found = FindOrCreateNamedStore(KeyArgument(name), bound.store); FAILED(found)) {
            return found;
        }
        bound.lock = bound.store->SharedLock();
    }
    bound.store->boundObjects.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
}

void Binding::Unbind(Bound& bound) noexcept
{
    if (bound.store) {
        bound.store->boundObjects.fetch_sub(1, std::memory_order_relaxed);
    }
    // A private store goes when its last holder lets go, which is here unless a call on
    // another thread is still working on it.
    bound.store.reset();
    bound.lock.reset();
}

Binding::~Binding()
{
    Unbind(bound_);
}

HRESULT Binding::EnsureAttached(StorePtr& store) noexcept
{
    std::lock_guard guard(guard_);
    if (!bound_.store) {
        if (const HRESULT made = Bind(nullptr, bound_); FAILED(made)) {
            return made;
        }
    }
    store = bound_.store;
    return S_OK;
}

HRESULT Binding::Attach(const OLECHAR* name) noexcept
{
    // The new binding is made first, so a failure leaves the object as it was.
    Bound next;
    if (const HRESULT made = Bind(name, next); FAILED(made)) {
        return made;
    }
    {
        std::lock_guard guard(guard_);
        std::swap(bound_, next);
    }
    // Outside the guard: giving up a private store releases its items, which may call back
    // into this object.
    Unbind(next);
    return S_OK;
}

std::shared_ptr<StoreLock> Binding::Lock(bool makeIfMissing) noexcept
{
    StorePtr store;
    if (FAILED(EnsureAttached(store))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::lock_guard guard(guard_);
    if (!bound_.lock && makeIfMissing && bound_.store) {
        // Only the binding gets it: a named store never changes, so a named store without a
        // lock of its own gives each of its objects a lock of their own.
        bound_.lock = SemaphoreLock::CreatePrivate();
    }
    return bound_.lock;
}

LONG Binding::BoundObjects() noexcept
{
    std::lock_guard guard(guard_);
    return bound_.store ? bound_.store->boundObjects.load(std::memory_order_relaxed) : 1;
}

} // namespace korvo
