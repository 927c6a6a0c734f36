#include "process_tools.h"

#include "platform/platform.h"

#if defined(_WIN32)
#include <psapi.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
extern char** environ;
#endif

namespace korvo::stress {

#if defined(_WIN32)

struct ChildProcess::Native {
    PROCESS_INFORMATION process{};
};

ChildProcess::ChildProcess(const std::vector<std::string>& arguments)
{
    std::vector<wchar_t> executable(32768);
    if (GetModuleFileNameW(nullptr, executable.data(), static_cast<DWORD>(executable.size())) == 0) {
        return;
    }
    std::wstring commandLine = L"\"" + std::wstring(executable.data()) + L"\"";
    for (const auto& argument : arguments) {
        commandLine += L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    auto native = std::make_unique<Native>();
    if (CreateProcessW(executable.data(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &native->process)) {
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

ChildProcess::~ChildProcess()
{
    if (native_) {
        TerminateProcess(native_->process.hProcess, 9);
        Wait();
    }
}

std::size_t WorkingSetBytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

std::string PlatformPath(const std::string& path)
{
    std::string converted = !path.empty() && path.front() == '/' ? "Z:" + path : path;
    for (char& character : converted) {
        if (character == '/') {
            character = '\\';
        }
    }
    return converted;
}

#else

struct ChildProcess::Native {
    pid_t id = -1;
};

ChildProcess::ChildProcess(const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{"/proc/self/exe"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    char executable[4096];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
    if (length <= 0) {
        return;
    }
    executable[length] = '\0';
    auto native = std::make_unique<Native>();
    if (posix_spawn(&native->id, executable, nullptr, nullptr, argv.data(), environ) == 0) {
        native_ = std::move(native);
    }
}

int ChildProcess::Wait()
{
    if (!native_) {
        return -1;
    }
    int status = 0;
    const pid_t waited = waitpid(native_->id, &status, 0);
    native_.reset();
    return waited != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ChildProcess::~ChildProcess()
{
    if (native_) {
        kill(native_->id, SIGKILL);
        Wait();
    }
}

std::size_t WorkingSetBytes()
{
    FILE* statm = std::fopen("/proc/self/statm", "re");
    if (!statm) {
        return 0;
    }
    unsigned long size = 0;
    unsigned long resident = 0;
    const int read = std::fscanf(statm, "%lu %lu", &size, &resident);
    std::fclose(statm);
    return read == 2 ? resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

std::string PlatformPath(const std::string& path)
{
    return path;
}

#endif

ChildProcess::ChildProcess(ChildProcess&&) noexcept = default;
ChildProcess& ChildProcess::operator=(ChildProcess&&) noexcept = default;

bool ChildProcess::Started() const
{
    return native_ != nullptr;
}

} // namespace korvo::stress
