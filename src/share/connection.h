// Connect, DisConnect and the two hidden properties RefCounter and DebugInfo.
#pragma once

#include "share/object_state.h"

namespace korvo::share {

// Binds the object to the named store (a null name: a new private store). The server name
// is accepted and ignored.
HRESULT Connect(ObjectState& object, BSTR dictionaryName, BSTR serverName) noexcept;

// Continues on a new, empty private store; a named store stays for its other objects.
HRESULT DisConnect(ObjectState& object) noexcept;

// The number of objects bound to the object's store now (1 for a private store).
HRESULT RefCounter(ObjectState& object, LONG* result) noexcept;

// "<br>Process:%x, Thread:%x, ProcessId:%x, ThreadID:%x" of the calling thread.
HRESULT DebugInfo(ObjectState& object, BSTR* result) noexcept;

} // namespace korvo::share
