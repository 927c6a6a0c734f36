// An object's binding to its store.
#pragma once

#include <memory>

#include "share/store.h"

namespace korvo {

struct StoreRef {
    // Null while the object is unattached.
    StorePtr store;
    // The semaphore Lock waits on: a named store's own, or one that Lock made for this
    // binding (a private store, or a named store whose semaphore could not be created).
    std::shared_ptr<const UniqueHandle> lockSemaphore;
    // True for an unattached binding and for a private store, which the object owns.
    bool owned = true;
};

} // namespace korvo
