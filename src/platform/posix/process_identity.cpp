// Process and thread identity, and Sleep.
#include "kernel.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(getpid());
}

// The kernel's thread id, which like a Windows thread id is unique among live threads of the
// machine and readable in tools (ps -L), unlike pthread_self().
DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(syscall(SYS_gettid));
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == INFINITE) {
        for (;;) {
            pause();
        }
    }
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
    }
}

ULONGLONG GetTickCount64()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000 + static_cast<ULONGLONG>(now.tv_nsec) / 1000000;
}
