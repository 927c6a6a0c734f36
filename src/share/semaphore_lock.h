// The local lock: a semaphore of maximum count 1 (1 free, 0 held). A named store's lock is
// named after the store in the system's namespace, so the objects of every process that
// connect to the same name share it; a private store's is unnamed.
#pragma once

#include <memory>

#include "platform/unique_handle.h"
#include "share/store_lock.h"
#include "store/key_compare.h"

namespace korvo {

class SemaphoreLock final : public StoreLock {
public:
    explicit SemaphoreLock(UniqueHandle semaphore) noexcept : semaphore_(std::move(semaphore)) {}

    // Null when the semaphore cannot be made (then the last error tells why): for a named
    // one, when the name is unfit for a kernel object or belongs to an object of another kind.
    static std::shared_ptr<SemaphoreLock> CreateNamed(const KeyText& name) noexcept;
    static std::shared_ptr<SemaphoreLock> CreatePrivate() noexcept;

    HRESULT Take(DWORD timeOut) noexcept override;
    HRESULT Free() noexcept override;

private:
    static std::shared_ptr<SemaphoreLock> Create(const OLECHAR* name) noexcept;

    UniqueHandle semaphore_;
};

} // namespace korvo
