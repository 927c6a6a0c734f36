// The one contract between the portable code and the operating system: the Win32 and
// automation-runtime names (BSTR, VARIANT, SAFEARRAY, error records, critical sections,
// semaphores, files, interlocked counts, thread identity, debug output) with their Windows
// meaning. Windows builds get the real API; the posix build gets our own implementation of
// the same subset, so the core compiles and is tested natively.
#pragma once

#if defined(_WIN32)
#include "win32/win32_api.h"
#else
#include "posix/posix_api.h"
#endif
