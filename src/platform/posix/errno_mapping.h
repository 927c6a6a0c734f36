// Translation of posix errno values to the Win32 error codes Windows gives for the same
// situation.
#pragma once

#include "kernel.h"

namespace korvo::posix {

DWORD Win32ErrorFromErrno(int error);

// Sets the thread's last error from errno and returns FALSE, for one-line failure paths.
BOOL FailFromErrno();

} // namespace korvo::posix
