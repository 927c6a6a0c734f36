// The lease lock of a remote store. A process takes it with a token of its own, so only that
// process frees it; a holder that dies frees it when its lease runs out.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "remote/connection_pool.h"
#include "share/store_lock.h"

namespace korvo {

class RemoteLock final : public StoreLock {
public:
    RemoteLock(std::shared_ptr<remote::ConnectionPool> pool, std::string key, std::chrono::milliseconds lease);
    HRESULT Take(DWORD timeOut) noexcept override;
    HRESULT Free() noexcept override;

private:
    std::shared_ptr<remote::ConnectionPool> pool_;
    const std::string key_;
    const std::string lease_;
    const std::string token_;
};

} // namespace korvo
