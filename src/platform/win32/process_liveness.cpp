#include "platform/process_liveness.h"

#include "platform/unique_handle.h"

namespace korvo {
namespace {

std::uint32_t HashOf(const FILETIME& time) noexcept
{
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return static_cast<std::uint32_t>(ticks ^ (ticks >> 32)) | 1; // never 0
}

bool StartHashOf(HANDLE process, std::uint32_t& hash) noexcept
{
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return false;
    }
    hash = HashOf(created);
    return true;
}

} // namespace

ProcessIdentity CurrentProcessIdentity() noexcept
{
    ProcessIdentity self{GetCurrentProcessId(), 0};
    StartHashOf(GetCurrentProcess(), self.startHash);
    return self;
}

bool ProcessIsGone(const ProcessIdentity& process) noexcept
{
    UniqueHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process.id));
    if (!handle) {
        return GetLastError() == ERROR_INVALID_PARAMETER; // no such process
    }
    if (WaitForSingleObject(handle.get(), 0) == WAIT_OBJECT_0) {
        return true; // ended; only its handles keep it listed
    }
    std::uint32_t hash = 0;
    return StartHashOf(handle.get(), hash) && process.startHash != 0 && hash != process.startHash;
}

} // namespace korvo
