// Binding objects to private and named stores.
#pragma once

#include "share/object_state.h"

namespace korvo {

// The first step of every member that touches a store: gives an unattached object a new
// private store, and hands the call the store it works on. E_OUTOFMEMORY when no store
// can be made; the object then stays unattached.
HRESULT EnsureAttached(ObjectState& object, StorePtr& store) noexcept;

// Gives up whatever the binding holds and binds it to a new private store (null name) or to
// the named store (any other string, up to its first NUL), creating that store on first use.
HRESULT AttachStore(ObjectState& object, const OLECHAR* name) noexcept;

// Gives up what the binding holds; a private store goes with its items, a named store stays.
void ReleaseBinding(StoreRef& binding) noexcept;

// The binding's semaphore for Lock and UnLock, made on demand when makeIfMissing is set.
// Null when there is none (or it could not be made: then the last error tells why).
std::shared_ptr<const UniqueHandle> LockSemaphore(ObjectState& object, bool makeIfMissing) noexcept;

} // namespace korvo
