// The process-wide map from store name to named store. Names match ordinally and
// case-sensitively whatever the compare mode; entries are only ever added, and every named
// store lives until the module stops.
#pragma once

#include "share/store_backend.h"

namespace korvo {

// Module start and stop. Stop destroys every named store with its items.
bool StartNamedStoreRegistry() noexcept;
void StopNamedStoreRegistry() noexcept;

// The store named `name`, created with its lock semaphore on first use.
HRESULT FindOrCreateNamedStore(KeyView name, StorePtr& store) noexcept;

} // namespace korvo
