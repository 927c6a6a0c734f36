// What one Dictionary object holds besides its COM plumbing: its binding to a store and its
// UniqueKeys flag. Every member takes it; nothing below this layer does.
#pragma once

#include <atomic>

#include "platform/hresult_from_exception.h"
#include "share/binding.h"

namespace korvo {

class ObjectState {
public:
    ObjectState() = default;
    ObjectState(const ObjectState&) = delete;
    ObjectState& operator=(const ObjectState&) = delete;

    VARIANT_BOOL UniqueKeys() const noexcept { return uniqueKeys_.load(std::memory_order_relaxed); }
    void SetUniqueKeys(VARIANT_BOOL value) noexcept { uniqueKeys_.store(value, std::memory_order_relaxed); }

    Binding& StoreBinding() noexcept { return binding_; }

private:
    Binding binding_;
    std::atomic<VARIANT_BOOL> uniqueKeys_{VARIANT_TRUE};
};

// The store the member works on, attached on first use: the members' first step.
inline HRESULT EnsureAttached(ObjectState& object, StorePtr& store) noexcept
{
    return object.StoreBinding().EnsureAttached(store);
}

// Attaches the object and makes the member's one call on its store.
template <class Body>
HRESULT OnStore(ObjectState& object, Body&& body) noexcept
{
    StorePtr store;
    if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
        return attached;
    }
    return CallReturningHresult([&] { return body(*store); });
}

} // namespace korvo
