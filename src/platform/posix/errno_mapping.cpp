#include "errno_mapping.h"

#include <cerrno>

namespace korvo::posix {

DWORD Win32ErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

BOOL FailFromErrno()
{
    SetLastError(Win32ErrorFromErrno(errno));
    return FALSE;
}

} // namespace korvo::posix

// The thread's last Win32 error code, which the mapping above feeds.
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
