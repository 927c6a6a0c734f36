// The local lock: a semaphore of maximum count 1 (1 free, 0 held). A named store's lock is
// named after the store in the system's namespace, so the objects of every process that
// connect to the same name share it; a private store's is unnamed.
//
// Beside a named lock, a shared record names the process that took it (its id and start
// time). A waiter that finds the lock held by a process that no longer exists takes it over,
// so a client that died holding the lock does not keep it forever. The lock still has no
// holder in any other sense: any object may free it, whoever took it.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/shared_record.h"
#include "platform/unique_handle.h"
#include "share/store_lock.h"
#include "store/key_compare.h"

namespace korvo {

class SemaphoreLock final : public StoreLock {
public:
    SemaphoreLock(UniqueHandle semaphore, std::unique_ptr<SharedRecord> holder) noexcept
        : semaphore_(std::move(semaphore)), holder_(std::move(holder))
    {}

    // Null when the semaphore cannot be made (then the last error tells why): for a named
    // one, when the name is unfit for a kernel object or belongs to an object of another kind.
    // A named lock whose holder record cannot be made works without taking over.
    static std::shared_ptr<SemaphoreLock> CreateNamed(const KeyText& name) noexcept;
    static std::shared_ptr<SemaphoreLock> CreatePrivate() noexcept;

    HRESULT Take(DWORD timeOut) noexcept override;
    HRESULT Free() noexcept override;

private:
    // The holder's packed identity (ProcessIdentity), 0 while nobody is recorded.
    LONGLONG volatile* Holder() const noexcept;
    // Takes the lock from a recorded holder that no longer exists; false otherwise.
    bool TakeOverFromTheDead() noexcept;

    UniqueHandle semaphore_;
    std::unique_ptr<SharedRecord> holder_;
};

} // namespace korvo
