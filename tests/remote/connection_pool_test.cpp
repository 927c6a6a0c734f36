// The connection pool against a real redis-server: bounded and shared by threads, stale and
// broken connections dropped, and reconnecting after a restart with back-off.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "client_test_support.h"
#include "redis_test_server.h"

namespace korvo::remote {
namespace {

using namespace std::chrono_literals;
using test::RedisTestServer;

// Connections the server has accepted so far, asked on a connection of its own (which counts).
long long ConnectionsReceived(const ServerSettings& settings)
{
    Connection connection;
    if (!connection.Open(settings).Ok()) {
        return -1;
    }
    return InfoField(Call(connection, {{"INFO", "stats"}}).reply(), "total_connections_received");
}

TEST(ConnectionPool, ThreadsShareABoundedNumberOfConnections)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    PoolSettings bounded;
    bounded.maxConnections = 3;
    ConnectionPool pool(server.Settings(), bounded);

    constexpr int kThreads = 6;
    constexpr int kCalls = 100;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int call = 0; call < kCalls; ++call) {
                if (!Call(pool, {{"INCR", "shared"}}).status.Ok()) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Call(pool, {{"GET", "shared"}}).reply(), Bulk(std::to_string(kThreads * kCalls)));
    // The script's readiness PING, at most three of the pool's, and the one asking.
    const long long received = ConnectionsReceived(server.Settings());
    EXPECT_GE(received, 3);
    EXPECT_LE(received, 1 + 3 + 1);
}

TEST(ConnectionPool, WaitsForAFreeConnectionOnlyUpToTheOperationTimeOut)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ServerSettings settings = server.Settings();
    settings.operationTimeout = 200ms;
    PoolSettings single;
    single.maxConnections = 1;
    ConnectionPool pool(settings, single);

    PooledConnection held;
    ASSERT_TRUE(pool.Acquire(held).Ok());
    const Outcome busy = Call(pool, {{"PING"}});
    EXPECT_EQ(busy.status.code, socket_error::kTimedOut);
    EXPECT_NE(busy.status.text.find("no free connection"), std::string::npos) << busy.status.text;
    EXPECT_GE(busy.elapsed, 190ms);

    held.Release();
    EXPECT_EQ(Call(pool, {{"PING"}}).reply(), Simple("PONG"));
}

TEST(ConnectionPool, DropsAConnectionTheServerClosedWhileIdle)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ConnectionPool pool(server.Settings());
    ASSERT_EQ(Call(pool, {{"CLIENT", "SETNAME", "pooled"}}).reply(), Simple("OK"));

    Connection other;
    ASSERT_TRUE(other.Open(server.Settings()).Ok());
    ASSERT_EQ(Call(other, {{"CLIENT", "KILL", "TYPE", "normal", "SKIPME", "yes"}}).reply(), Integer(1));
    // Some network stacks deliver the close a moment after the server made it.
    std::this_thread::sleep_for(100ms);

    // The idle connection is gone; the call gets a fresh one instead of a reset.
    const Outcome outcome = Call(pool, {{"CLIENT", "GETNAME"}});
    ASSERT_TRUE(outcome.status.Ok()) << outcome.status.text;
    EXPECT_EQ(outcome.reply(), Nil());
}

TEST(ConnectionPool, NeverReusesAConnectionThatTimedOutMidReply)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ServerSettings settings = server.Settings();
    settings.operationTimeout = 300ms;
    ConnectionPool pool(settings);
    ASSERT_EQ(Call(pool, {{"PING"}}).reply(), Simple("PONG"));

    ASSERT_TRUE(server.Pause());
    const Outcome stalled = Call(pool, {{"ECHO", "old"}});
    ASSERT_TRUE(server.Resume());
    EXPECT_EQ(stalled.status.code, socket_error::kTimedOut);
    EXPECT_LT(stalled.elapsed, 5s);

    EXPECT_EQ(Call(pool, {{"ECHO", "new"}}).reply(), Bulk("new"));
}

TEST(ConnectionPool, ReconnectsAfterARestartOnceTheBackOffHasPassed)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ServerSettings settings = server.Settings();
    settings.connectTimeout = 2s;
    PoolSettings pooling;
    pooling.firstRetryDelay = 500ms;
    ConnectionPool pool(settings, pooling);
    ASSERT_EQ(Call(pool, {{"SET", "before", "1"}}).reply(), Simple("OK"));

    ASSERT_TRUE(server.Kill());
    Outcome down = Call(pool, {{"PING"}});
    // The idle connection fails once with a reset when the server's close has not reached it
    // yet (some network stacks deliver it a moment later); the call after it must connect.
    if (down.status.code == socket_error::kConnectionReset) {
        down = Call(pool, {{"PING"}});
    }
    EXPECT_EQ(down.status.code, socket_error::kConnectionRefused)
        << std::hex << down.status.code << " " << down.status.text;
    // Within the back-off the pool does not try again: the call fails at once, saying so.
    const Outcome heldBack = Call(pool, {{"PING"}});
    EXPECT_EQ(heldBack.status.code, socket_error::kConnectionRefused);
    EXPECT_NE(heldBack.status.text.find("next attempt in"), std::string::npos) << heldBack.status.text;

    ASSERT_TRUE(server.Restart());
    std::this_thread::sleep_for(600ms);
    const Outcome back = Call(pool, {{"GET", "before"}});
    ASSERT_TRUE(back.status.Ok()) << back.status.text;
    EXPECT_EQ(back.reply(), Nil()) << "a restarted server without persistence starts empty";
    // The readiness PING, the pool's one reconnect, and the one asking.
    EXPECT_EQ(ConnectionsReceived(settings), 3);
}

TEST(ConnectionPool, ThreadsDuringAnOutageMakeOneAttemptPerBackOff)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ServerSettings settings = server.Settings();
    PoolSettings pooling;
    pooling.firstRetryDelay = 10s;
    ConnectionPool pool(settings, pooling);
    ASSERT_TRUE(server.Kill());

    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int call = 0; call < 25; ++call) {
                if (Call(pool, {{"PING"}}).status.code == socket_error::kConnectionRefused) {
                    ++refused;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(refused.load(), 100);

    // Back up: the pool still waits for its back-off instead of rushing in.
    ASSERT_TRUE(server.Restart());
    EXPECT_EQ(Call(pool, {{"PING"}}).status.code, socket_error::kConnectionRefused);
    EXPECT_EQ(ConnectionsReceived(settings), 2) << "only the readiness PING and the one asking";
}

} // namespace
} // namespace korvo::remote
