#include "redis_test_server.h"

#include <fstream>
#include <gtest/gtest.h>
#include <random>

#include "host_program.h"

namespace korvo::test {
namespace {

constexpr int kNotInstalled = 3;

// Unique per test and run: tests of several presets and ctest's parallel runs never share one.
std::string NewDirectory()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "server";
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    std::random_device random;
    return std::string(KORVO_REDIS_TEST_STATE) + "/" + name + "." + std::to_string(random());
}

} // namespace

RedisTestServer::RedisTestServer(std::vector<std::string> options)
    : options_(std::move(options)), directory_(NewDirectory())
{}

RedisTestServer::~RedisTestServer()
{
    Stop();
}

RedisTestServer::StartResult RedisTestServer::Start()
{
    const int status = Run("start", options_);
    if (status == kNotInstalled) {
        failure_ = "the script found no redis-server on the PATH";
        return StartResult::kNotInstalled;
    }
    if (status != 0) {
        failure_ = status < 0 ? "cannot run host programs from here (no Wine host spawn)"
                              : "redis-test-server start exited with " + std::to_string(status);
        return StartResult::kFailed;
    }
    started_ = true;
    if (!ReadPort()) {
        failure_ = "no port recorded in " + directory_;
        return StartResult::kFailed;
    }
    return StartResult::kStarted;
}

bool RedisTestServer::Restart()
{
    return Run("restart", options_) == 0;
}

void RedisTestServer::Stop()
{
    if (started_) {
        Run("stop");
    }
    started_ = false;
}

remote::ServerSettings RedisTestServer::Settings() const
{
    remote::ServerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port_;
    settings.connectTimeout = std::chrono::seconds(10);
    settings.operationTimeout = std::chrono::seconds(10);
    return settings;
}

int RedisTestServer::Run(const std::string& command, const std::vector<std::string>& options)
{
    std::vector<std::string> arguments{"bash", KORVO_REDIS_TEST_SCRIPT, command, directory_};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return RunHostProgram(arguments);
}

bool RedisTestServer::ReadPort()
{
    std::ifstream file(HostFilePath(directory_ + "/port"));
    unsigned port = 0;
    if (!(file >> port) || port == 0 || port > 65535) {
        return false;
    }
    port_ = static_cast<std::uint16_t>(port);
    return true;
}

} // namespace korvo::test
