#include "platform/process_liveness.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace korvo {
namespace {

struct ProcessState {
    bool known = false;
    char state = '?';
    unsigned long long start = 0; // clock ticks since boot
};

// The state letter and start time of a process from /proc, unknown where /proc cannot say.
ProcessState ReadState(DWORD id)
{
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%u/stat", static_cast<unsigned>(id));
    FILE* stat = std::fopen(path, "re");
    if (!stat) {
        return {};
    }
    char line[1024];
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    // The command name in parentheses may hold anything; the fields count from after it.
    const char* afterName = read ? std::strrchr(line, ')') : nullptr;
    ProcessState state;
    if (!afterName || std::sscanf(afterName + 1,
                                  " %c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s "
                                  "%*s %*s %*s %*s %*s %*s %*s %llu",
                                  &state.state, &state.start) != 2) {
        return {};
    }
    state.known = true;
    return state;
}

std::uint32_t HashOf(unsigned long long start) noexcept
{
    return static_cast<std::uint32_t>(start ^ (start >> 32)) | 1; // never 0
}

} // namespace

ProcessIdentity CurrentProcessIdentity() noexcept
{
    const DWORD id = GetCurrentProcessId();
    const ProcessState state = ReadState(id);
    return {id, state.known ? HashOf(state.start) : 0};
}

bool ProcessIsGone(const ProcessIdentity& process) noexcept
{
    if (kill(static_cast<pid_t>(process.id), 0) != 0 && errno == ESRCH) {
        return true;
    }
    const ProcessState state = ReadState(process.id);
    if (!state.known) {
        return false;
    }
    // A zombie has ended; only its parent's wait is missing.
    return state.state == 'Z' || state.state == 'X' ||
           (process.startHash != 0 && HashOf(state.start) != process.startHash);
}

} // namespace korvo
