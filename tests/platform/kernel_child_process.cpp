#include "kernel_child_process.h"

#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace korvo::test {
namespace {
constexpr const char* kArgumentVariable = "KORVO_KERNEL_TEST_CHILD";
}

std::string ChildArgument()
{
    const char* value = std::getenv(kArgumentVariable);
    return value ? value : "";
}

#if defined(_WIN32)

struct ChildProcess::Native {
    PROCESS_INFORMATION process{};
};

ChildProcess::ChildProcess(const std::string& testName, const std::string& argument)
{
    std::vector<wchar_t> executable(32768);
    if (GetModuleFileNameW(nullptr, executable.data(), static_cast<DWORD>(executable.size())) == 0) {
        return;
    }
    std::wstring commandLine = L"\"" + std::wstring(executable.data()) + L"\" --gtest_filter=" +
                               std::wstring(testName.begin(), testName.end());
    const std::wstring variable(kArgumentVariable,
                                kArgumentVariable + std::char_traits<char>::length(kArgumentVariable));
    SetEnvironmentVariableW(variable.c_str(), std::wstring(argument.begin(), argument.end()).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    auto native = std::make_unique<Native>();
    const BOOL created = CreateProcessW(executable.data(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &native->process);
    SetEnvironmentVariableW(variable.c_str(), nullptr);
    if (created) {
        CloseHandle(native->process.hThread);
        native_ = std::move(native);
    }
}

int ChildProcess::Wait()
{
    if (!native_) {
        return -1;
    }
    WaitForSingleObject(native_->process.hProcess, INFINITE);
    DWORD code = 0;
    const BOOL known = GetExitCodeProcess(native_->process.hProcess, &code);
    CloseHandle(native_->process.hProcess);
    native_.reset();
    return known ? static_cast<int>(code) : -1;
}

void ChildProcess::Kill()
{
    if (native_) {
        TerminateProcess(native_->process.hProcess, 9);
    }
    Wait();
}

#else

struct ChildProcess::Native {
    pid_t id = -1;
};

ChildProcess::ChildProcess(const std::string& testName, const std::string& argument)
{
    std::string executable(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", executable.data(), executable.size() - 1);
    if (length <= 0) {
        return;
    }
    executable.resize(static_cast<std::size_t>(length));
    std::string filter = "--gtest_filter=" + testName;
    char* arguments[] = {executable.data(), filter.data(), nullptr};
    setenv(kArgumentVariable, argument.c_str(), 1);
    auto native = std::make_unique<Native>();
    const int failed = posix_spawn(&native->id, executable.c_str(), nullptr, nullptr, arguments, environ);
    unsetenv(kArgumentVariable);
    if (failed == 0) {
        native_ = std::move(native);
    }
}

int ChildProcess::Wait()
{
    if (!native_) {
        return -1;
    }
    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(native_->id, &status, 0);
    } while (reaped == -1 && errno == EINTR);
    native_.reset();
    return reaped != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Kill()
{
    if (native_) {
        kill(native_->id, SIGKILL);
    }
    Wait();
}

#endif

ChildProcess::~ChildProcess()
{
    if (native_) {
        Kill();
    }
}

bool ChildProcess::Started() const
{
    return native_ != nullptr;
}

} // namespace korvo::test
