#include "remote/connection_pool.h"

#include <string>
#include <utility>

#include "platform/failure_trace.h"
#include "platform/hresult_from_exception.h"

namespace korvo::remote {

PooledConnection::PooledConnection(PooledConnection&& other) noexcept
    : pool_(std::exchange(other.pool_, nullptr)), connection_(std::move(other.connection_))
{}

PooledConnection& PooledConnection::operator=(PooledConnection&& other) noexcept
{
    if (this != &other) {
        Release();
        pool_ = std::exchange(other.pool_, nullptr);
        connection_ = std::move(other.connection_);
    }
    return *this;
}

void PooledConnection::Release() noexcept
{
    if (connection_) {
        pool_->Return(std::move(connection_));
    }
    pool_ = nullptr;
}

namespace {

// A pool of no connections would only ever time out.
PoolSettings WithOneConnectionAtLeast(PoolSettings settings)
{
    if (settings.maxConnections == 0) {
        settings.maxConnections = 1;
    }
    return settings;
}

} // namespace

ConnectionPool::ConnectionPool(ServerSettings server, PoolSettings pool) noexcept
    : server_(std::move(server)), settings_(WithOneConnectionAtLeast(pool)),
      backoff_(pool.firstRetryDelay, pool.maxRetryDelay)
{}

ConnectionPool::~ConnectionPool() = default;

Status ConnectionPool::Execute(const Request& request, std::vector<Reply>& replies) noexcept
{
    replies.clear();
    PooledConnection lease;
    Status status = Acquire(lease);
    if (!status.Ok()) {
        return status;
    }
    return lease->Execute(request, replies);
}

Status ConnectionPool::Acquire(PooledConnection& lease) noexcept
{
    lease.Release();
    const auto body = [&]() -> Status {
        const Deadline deadline = DeadlineAfter(server_.operationTimeout);
        std::unique_lock lock(mutex_);
        // Room for every connection that can exist, so that Return never allocates.
        idle_.reserve(settings_.maxConnections);
        for (;;) {
            if (std::unique_ptr<Connection> idle = TakeIdle()) {
                lease = PooledConnection(this, std::move(idle));
                return {};
            }
            if (open_ < settings_.maxConnections) {
                return Connect(lock, lease);
            }
            if (returned_.wait_until(lock, deadline) == std::cv_status::timeout && idle_.empty() &&
                open_ >= settings_.maxConnections) {
                return {KORVO_TRACED(socket_error::kTimedOut),
                        "no free connection to the server within the operation time-out"};
            }
        }
    };
    return CallTranslatingExceptions(body, [](HRESULT escaped) noexcept { return Status{escaped, {}}; });
}

std::unique_ptr<Connection> ConnectionPool::TakeIdle()
{
    while (!idle_.empty()) {
        std::unique_ptr<Connection> connection = std::move(idle_.back());
        idle_.pop_back();
        if (connection->IsUsable()) {
            return connection;
        }
        --open_; // closed by the server while idle (a restart, an idle time-out)
    }
    return nullptr;
}

// Opens a new connection outside the lock; called with the lock held and a free slot.
Status ConnectionPool::Connect(std::unique_lock<std::mutex>& lock, PooledConnection& lease)
{
    const Deadline now = std::chrono::steady_clock::now();
    const bool probe = backoff_.Failing();
    if (probe && (probing_ || now < backoff_.NextAttempt())) {
        return HeldBack(now);
    }
    auto connection = std::make_unique<Connection>();
    ++open_;
    probing_ = probe;
    lock.unlock();
    Status status = connection->Open(server_);
    lock.lock();
    if (probe) {
        probing_ = false;
    }
    if (status.Ok()) {
        backoff_.RecordSuccess();
        lease = PooledConnection(this, std::move(connection));
        return status;
    }
    --open_;
    // Attempts that were already under way when the first failure came count as that one.
    if (probe || !backoff_.Failing()) {
        backoff_.RecordFailure(std::chrono::steady_clock::now());
    }
    lastFailure_ = status;
    returned_.notify_one();
    return status;
}

Status ConnectionPool::HeldBack(Deadline now) const
{
    Status status{KORVO_TRACED(lastFailure_.code), lastFailure_.text};
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(backoff_.NextAttempt() - now).count();
    status.text += probing_ ? " (reconnecting)" : " (next attempt in " + std::to_string(wait) + " ms)";
    return status;
}

void ConnectionPool::Return(std::unique_ptr<Connection> connection) noexcept
{
    {
        std::lock_guard lock(mutex_);
        if (connection->IsBroken()) {
            --open_;
        } else {
            idle_.push_back(std::move(connection));
        }
    }
    returned_.notify_one();
}

} // namespace korvo::remote
