// What one Dictionary object holds besides its COM plumbing: its binding and its
// UniqueKeys flag. The binding is guarded, so concurrent first calls, Connect and
// DisConnect on one object never leak or lose a store.
#pragma once

#include <atomic>
#include <mutex>

#include "share/store_ref.h"

namespace korvo {

class ObjectState {
public:
    ObjectState() = default;
    ObjectState(const ObjectState&) = delete;
    ObjectState& operator=(const ObjectState&) = delete;
    ~ObjectState();

    VARIANT_BOOL uniqueKeys() const noexcept { return uniqueKeys_.load(std::memory_order_relaxed); }
    void setUniqueKeys(VARIANT_BOOL value) noexcept { uniqueKeys_.store(value, std::memory_order_relaxed); }

    // The binding may only be read or changed under this guard (see share/attachment.h).
    std::mutex& bindingGuard() noexcept { return bindingGuard_; }
    StoreRef& binding() noexcept { return binding_; }

private:
    std::mutex bindingGuard_;
    StoreRef binding_;
    std::atomic<VARIANT_BOOL> uniqueKeys_{VARIANT_TRUE};
};

} // namespace korvo
