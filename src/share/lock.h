// Lock and UnLock: the advisory lock of a store. It is a semaphore of maximum count 1
// (1 free, 0 held) with no holder: any object that reaches it may release it. A named
// store's semaphore carries the store's name, so objects of other processes connected to
// the same name share it; a private store gets an unnamed one at its first Lock. Neither
// call sets an error record: the caller learns the outcome from the HRESULT alone.
#pragma once

#include "share/object_state.h"

namespace korvo::share {

// Waits up to timeOut milliseconds, read as unsigned: -1 waits without limit, 0 only tests.
// S_OK when the lock is taken, 0x80070079 when the time ran out, else the wait's failure.
// *result (may be null) receives 1 when the lock was taken by this call and 0 otherwise.
// The wait holds no critical section and no binding guard. A second Lock by the client
// that holds the lock waits like anybody else's: the lock cannot tell who holds it.
HRESULT Lock(ObjectState& object, LONG timeOut, LONG* result) noexcept;

// Frees the lock. E_PENDING when the object has no semaphore to release (it never locked a
// private store); 0x8007012A when the lock is already free.
HRESULT UnLock(ObjectState& object) noexcept;

} // namespace korvo::share
