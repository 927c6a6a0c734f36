#include "host_program.h"

#include "platform/platform.h"

#if !defined(_WIN32)
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace korvo::test {
namespace {

std::vector<char*> ArgumentPointers(std::vector<std::string>& copies)
{
    std::vector<char*> pointers;
    for (std::string& copy : copies) {
        pointers.push_back(copy.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

#if defined(_WIN32)
// Wine's ntdll export that forks and runs a host program; with wait set it returns the
// program's exit status.
using HostSpawn = long(__cdecl*)(char* const* arguments, int wait);

HostSpawn WineHostSpawn()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<HostSpawn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "__wine_unix_spawnvp")));
}
#endif

} // namespace

int RunHostProgram(const std::vector<std::string>& arguments)
{
    std::vector<std::string> copies = arguments;
    std::vector<char*> pointers = ArgumentPointers(copies);
#if defined(_WIN32)
    const HostSpawn spawn = WineHostSpawn();
    if (spawn == nullptr) {
        return -1;
    }
    return static_cast<int>(spawn(pointers.data(), 1));
#else
    pid_t child = -1;
    if (posix_spawnp(&child, pointers[0], nullptr, nullptr, pointers.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(child, &status, 0);
    } while (reaped == -1 && errno == EINTR);
    return reaped != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::string HostFilePath(const std::string& path)
{
#if defined(_WIN32)
    return "Z:" + path;
#else
    return path;
#endif
}

} // namespace korvo::test
