// The failure trace of a whole process: with KORVO_TRACE=1 a Connect to a loopback port where
// nothing listens leaves the line of its origin on standard error, with the file, a line that
// holds the traced call, and the HRESULT; unset or anything but 1, it leaves nothing. The
// switch is read once per process, so each case runs in a child process of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "member_calls.h"
#include "members/sharing.h"
#include "remote_test_support.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace korvo::testing {
namespace {

constexpr const char* kChildPortVariable = "KORVO_TRACE_TEST_PORT";
constexpr HRESULT kConnectionRefused = static_cast<HRESULT>(0x8007274Du);

TEST(FailureTraceChild, ConnectsWhereNothingListens)
{
    const char* port = std::getenv(kChildPortVariable);
    if (port == nullptr) {
        GTEST_SKIP() << "runs as the child of FailureTrace";
    }
    UseConfiguration(FarmConfiguration(static_cast<std::uint16_t>(std::stoi(port))));
    ObjectState object;
    EXPECT_EQ(members::Connect(object, Bstr(u"farm:traced"), Bstr(u"")), kConnectionRefused);
}

#if !defined(_WIN32)

// A loopback port nothing listens on: one the system just gave out and took back.
std::uint16_t ClosedPort()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    close(listener);
    return bound ? ntohs(address.sin_port) : 0;
}

struct ChildRun {
    int exitCode = -1;
    std::string standardError;
};

// Runs the child test with `trace` as KORVO_TRACE (left out when null).
ChildRun RunChild(const char* trace, std::uint16_t port)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).rfind("KORVO_TRACE=", 0) != 0) {
            environment.emplace_back(*entry);
        }
    }
    if (trace != nullptr) {
        environment.push_back(std::string("KORVO_TRACE=") + trace);
    }
    environment.push_back(std::string(kChildPortVariable) + "=" + std::to_string(port));
    std::vector<char*> environmentPointers;
    for (std::string& entry : environment) {
        environmentPointers.push_back(entry.data());
    }
    environmentPointers.push_back(nullptr);

    const std::string errorFile = ::testing::TempDir() + "korvo-trace-" + std::to_string(getpid()) + ".txt";
    std::string executable = "/proc/self/exe";
    std::string filter = "--gtest_filter=FailureTraceChild.*";
    char* arguments[] = {executable.data(), filter.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ChildRun run;
    pid_t child = -1;
    if (posix_spawn(&child, executable.c_str(), &actions, nullptr, arguments, environmentPointers.data()) == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
        }
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ostringstream text;
    text << std::ifstream(errorFile, std::ios::binary).rdbuf();
    std::remove(errorFile.c_str());
    run.standardError = text.str();
    return run;
}

// Line `number` of a source file, counted from 1.
std::string SourceLine(const std::string& file, int number)
{
    std::ifstream source(std::string(KORVO_SOURCE_ROOT) + "/" + file);
    std::string line;
    for (int at = 0; at < number && std::getline(source, line); ++at) {
    }
    return line;
}

struct TraceCase {
    const char* name;
    const char* variable; // KORVO_TRACE in the child; null: not set
    bool traced;
};

void PrintTo(const TraceCase& c, std::ostream* out)
{
    *out << c.name;
}

class FailureTrace : public ::testing::TestWithParam<TraceCase> {};

TEST_P(FailureTrace, ShowsTheOriginOfAFailedConnectOnlyWhenSwitchedOn)
{
    const TraceCase& c = GetParam();
    const std::uint16_t port = ClosedPort();
    ASSERT_NE(port, 0);
    const ChildRun run = RunChild(c.variable, port);
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    if (!c.traced) {
        EXPECT_EQ(run.standardError.find("Korvod:"), std::string::npos) << run.standardError;
        return;
    }
    const std::regex origin(
        R"(Korvod: (src/remote/connection\.cpp):([0-9]+) .*ConnectTcp\(.* -> 0x8007274D \(thread [0-9]+\)\n)");
    std::smatch found;
    ASSERT_TRUE(std::regex_search(run.standardError, found, origin)) << run.standardError;
    // The line named is the traced call's (or the line before, where the traced call starts).
    const int line = std::stoi(found[2]);
    EXPECT_NE((SourceLine(found[1], line - 1) + SourceLine(found[1], line)).find("KORVO_TRACED("), std::string::npos)
        << "line " << line;
}

const TraceCase kTraceCases[] = {
    {"On", "1", true},
    {"NotSet", nullptr, false},
    {"Zero", "0", false},
};

INSTANTIATE_TEST_SUITE_P(Switch, FailureTrace, ::testing::ValuesIn(kTraceCases),
                         [](const auto& info) { return std::string(info.param.name); });

#endif

} // namespace
} // namespace korvo::testing
