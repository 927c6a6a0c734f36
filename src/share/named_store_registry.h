// The process-wide map from store name to named store. Names match ordinally and
// case-sensitively whatever the compare mode; entries are only ever added, and every named
// store lives until the module stops.
#pragma once

#include "share/store_backend.h"

namespace korvo {

// Module start and stop. Stop destroys every named store with its items; a module that is
// unloaded while its process goes on stops with abandonObjects set, so that no foreign code
// runs under the system's loader lock: items that hold objects are given up, not released.
bool StartNamedStoreRegistry() noexcept;
void StopNamedStoreRegistry(bool abandonObjects = false) noexcept;

// Whether any named store holds an item whose release may run foreign code: the module must
// then stay loaded, so that the release never has to run while it is unloaded.
bool NamedStoresHoldObjects() noexcept;

// Makes the next lookup read the remote-store configuration again; stores already bound keep
// the server they were made for.
void ForgetRemoteConfiguration() noexcept;

// The store named `name`: on the configured server when a remote prefix matches (the
// longest one), else in the process, created with its lock semaphore on first use.
HRESULT FindOrCreateNamedStore(KeyView name, StorePtr& store) noexcept;

} // namespace korvo
