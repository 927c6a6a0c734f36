// One store: the container, the critical section that guards it, and, for a named store,
// the lock semaphore created with it. Objects hold stores through shared pointers, so a
// call that is still working on a store keeps it alive while another thread rebinds the
// object; the store's items are released when the last holder lets go.
#pragma once

#include <atomic>
#include <memory>

#include "platform/critical_section.h"
#include "platform/unique_handle.h"
#include "store/item_map.h"

namespace korvo {

struct Store {
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store();

    ItemMap container;
    CriticalSection section;
    // Named stores only: the semaphore named after the store; empty when creating it failed.
    std::shared_ptr<const UniqueHandle> namedSemaphore;
    // How many objects are bound to this store now (RefCounter).
    std::atomic<LONG> boundObjects{0};
};

using StorePtr = std::shared_ptr<Store>;

// Empties the store, releasing every item after its section is left.
void DestroyStore(Store& store) noexcept;

} // namespace korvo
