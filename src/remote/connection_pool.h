// The connections of one process to one server, shared by its threads. At most
// max_connections exist; an idle one is reused (the most recently returned first), a broken
// or stale one is dropped. When connecting fails, further attempts wait for an exponential
// back-off and only one thread tries at a time, so that a restarting server is not hammered
// by every thread of every process: meanwhile calls fail at once with the last connect
// failure.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "remote/connection.h"
#include "remote/reconnect_backoff.h"

namespace korvo::remote {

class ConnectionPool;

// Exclusive use of one pooled connection; it goes back to the pool when the lease ends
// (a broken one is closed instead). A lease must end before its pool.
class PooledConnection {
public:
    PooledConnection() noexcept = default;
    ~PooledConnection() { Release(); }
    PooledConnection(PooledConnection&& other) noexcept;
    PooledConnection& operator=(PooledConnection&& other) noexcept;
    PooledConnection(const PooledConnection&) = delete;
    PooledConnection& operator=(const PooledConnection&) = delete;

    explicit operator bool() const noexcept { return connection_ != nullptr; }
    Connection& operator*() const noexcept { return *connection_; }
    Connection* operator->() const noexcept { return connection_.get(); }

    void Release() noexcept;

private:
    friend class ConnectionPool;
    PooledConnection(ConnectionPool* pool, std::unique_ptr<Connection> connection) noexcept
        : pool_(pool), connection_(std::move(connection))
    {}

    ConnectionPool* pool_ = nullptr;
    std::unique_ptr<Connection> connection_;
};

class ConnectionPool {
public:
    explicit ConnectionPool(ServerSettings server, PoolSettings pool = {}) noexcept;
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // Runs the request on a pooled connection (see Connection::Execute).
    Status Execute(const Request& request, std::vector<Reply>& replies) noexcept;

    // A connection for several requests in a row: an idle one, else a new one while below
    // the bound, else the first one returned within the operation time-out (kTimedOut after).
    Status Acquire(PooledConnection& lease) noexcept;

private:
    friend class PooledConnection;

    std::unique_ptr<Connection> TakeIdle();
    Status Connect(std::unique_lock<std::mutex>& lock, PooledConnection& lease);
    Status HeldBack(Deadline now) const;
    void Return(std::unique_ptr<Connection> connection) noexcept;

    const ServerSettings server_;
    const PoolSettings settings_;
    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<Connection>> idle_;
    std::size_t open_ = 0; // idle, leased and being opened
    ReconnectBackoff backoff_;
    bool probing_ = false; // a connect after failures is under way
    Status lastFailure_;
};

} // namespace korvo::remote
