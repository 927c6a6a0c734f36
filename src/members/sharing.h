// Connect, DisConnect, Lock, UnLock and the two hidden properties RefCounter and DebugInfo.
#pragma once

#include "members/object_state.h"

namespace korvo::members {

// Binds the object to the named store (a null name: a new private store). The server name
// is accepted and ignored.
HRESULT Connect(ObjectState& object, BSTR dictionaryName, BSTR serverName) noexcept;

// Continues on a new, empty private store; a named store stays for its other objects.
HRESULT DisConnect(ObjectState& object) noexcept;

// Waits up to timeOut milliseconds, read as unsigned: -1 waits without limit, 0 only tests.
// S_OK when the lock is taken, 0x80070079 when the time ran out, else the wait's failure.
// *result (may be null) receives 1 when the lock was taken by this call and 0 otherwise.
// The wait holds no critical section and no binding guard. A second Lock by the client
// that holds the lock waits like anybody else's: the lock cannot tell who holds it.
// Neither Lock nor UnLock sets an error record.
HRESULT Lock(ObjectState& object, LONG timeOut, LONG* result) noexcept;

// Frees the lock. E_PENDING when the object has no lock to free (it never locked a private
// store); 0x8007012A when the lock is already free.
HRESULT UnLock(ObjectState& object) noexcept;

// The number of objects bound to the object's store now (1 for a private store).
HRESULT RefCounter(ObjectState& object, LONG* result) noexcept;

// "<br>Process:%x, Thread:%x, ProcessId:%x, ThreadID:%x" of the calling thread.
HRESULT DebugInfo(ObjectState& object, BSTR* result) noexcept;

} // namespace korvo::members
