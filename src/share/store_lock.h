// The advisory lock of a store, as Lock and UnLock use it. It has no holder: whoever reaches
// it may free it, whichever client took it.
#pragma once

#include "platform/platform.h"

namespace korvo {

class StoreLock {
public:
    virtual ~StoreLock() = default;
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    // Waits up to `timeOut` milliseconds (INFINITE: without limit, 0: only tests). S_OK when
    // taken, 0x80070079 when the time ran out, the wait's failure otherwise.
    virtual HRESULT Take(DWORD timeOut) noexcept = 0;
    // S_OK, or 0x8007012A when the lock is already free, or the release's failure.
    virtual HRESULT Free() noexcept = 0;

protected:
    StoreLock() = default;
};

} // namespace korvo
