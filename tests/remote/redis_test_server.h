// A redis-server of one test, on a free loopback port with persistence off, started and
// stopped (by its pid) through the redis-test-server script on the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "remote/server_settings.h"

namespace korvo::test {

class RedisTestServer {
public:
    // Extra redis-server options, such as {"--requirepass", "secret"}.
    explicit RedisTestServer(std::vector<std::string> options = {});
    ~RedisTestServer();
    RedisTestServer(const RedisTestServer&) = delete;
    RedisTestServer& operator=(const RedisTestServer&) = delete;

    enum class StartResult { kStarted, kNotInstalled, kFailed };
    StartResult Start();
    // Why Start did not start it.
    const std::string& failure() const { return failure_; }

    std::uint16_t port() const { return port_; }
    // Settings reaching this server, with time-outs generous enough for a loaded machine.
    remote::ServerSettings Settings() const;

    // Signals by pid: stop and continue the process, kill it, start it again on its port.
    bool Pause() { return Run("pause") == 0; }
    bool Resume() { return Run("resume") == 0; }
    bool Kill() { return Run("kill") == 0; }
    bool Restart();
    void Stop();

private:
    int Run(const std::string& command, const std::vector<std::string>& options = {});
    bool ReadPort();

    std::vector<std::string> options_;
    std::string directory_;
    std::string failure_;
    std::uint16_t port_ = 0;
    bool started_ = false;
};

} // namespace korvo::test

// Starts the server in a test body: skips the test when redis-server is not installed, fails
// it when the server does not start.
#define KORVO_START_REDIS(server)                                                                                      \
    do {                                                                                                               \
        const auto korvo_started = (server).Start();                                                                   \
        if (korvo_started == ::korvo::test::RedisTestServer::StartResult::kNotInstalled)                               \
            GTEST_SKIP() << "redis-server is not installed (./run bootstrap installs it): " << (server).failure();     \
        ASSERT_EQ(korvo_started, ::korvo::test::RedisTestServer::StartResult::kStarted) << (server).failure();         \
    } while (false)
