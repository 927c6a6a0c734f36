#include "share/attachment.h"

#include <utility>

#include "platform/hresult_from_exception.h"
#include "share/named_store_registry.h"
#include "store/key_compare.h"

namespace korvo {
namespace {

HRESULT MakeBinding(const OLECHAR* name, StoreRef& binding) noexcept
{
    if (name == nullptr) {
        const HRESULT made = CallReturningHresult([&] {
            binding.store = std::make_shared<Store>();
            return S_OK;
        });
        if (FAILED(made)) {
            return made;
        }
        binding.owned = true;
    } else {
        if (const HRESULT found = FindOrCreateNamedStore(KeyArgument(name), binding.store); FAILED(found)) {
            return found;
        }
        binding.owned = false;
        const auto& semaphore = binding.store->namedSemaphore;
        if (semaphore && *semaphore) {
            binding.lockSemaphore = semaphore;
        }
    }
    binding.store->boundObjects.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
}

} // namespace

ObjectState::~ObjectState() { ReleaseBinding(binding_); }

HRESULT EnsureAttached(ObjectState& object, StorePtr& store) noexcept
{
    std::lock_guard guard(object.bindingGuard());
    StoreRef& binding = object.binding();
    if (!binding.store) {
        if (const HRESULT made = MakeBinding(nullptr, binding); FAILED(made)) {
            return made;
        }
    }
    store = binding.store;
    return S_OK;
}

HRESULT AttachStore(ObjectState& object, const OLECHAR* name) noexcept
{
    // The new binding is made first, so a failure leaves the object as it was.
    StoreRef next;
    if (const HRESULT made = MakeBinding(name, next); FAILED(made)) {
        return made;
    }
    StoreRef previous;
    {
        std::lock_guard guard(object.bindingGuard());
        previous = std::exchange(object.binding(), std::move(next));
    }
    // Outside the guard: giving up a private store releases its items, which may call
    // back into this object.
    ReleaseBinding(previous);
    return S_OK;
}

void ReleaseBinding(StoreRef& binding) noexcept
{
    if (binding.store) {
        binding.store->boundObjects.fetch_sub(1, std::memory_order_relaxed);
    }
    // A private store goes when its last holder lets go, which is here unless a call on
    // another thread is still working on it.
    binding.store.reset();
    binding.lockSemaphore.reset();
    binding.owned = true;
}

} // namespace korvo
