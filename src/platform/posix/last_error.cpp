// The thread's last Win32 error code.
#include "kernel.h"

namespace {
thread_local DWORD threadLastError = ERROR_SUCCESS;
}

DWORD GetLastError()
{
    return threadLastError;
}

void SetLastError(DWORD errorCode)
{
    threadLastError = errorCode;
}
