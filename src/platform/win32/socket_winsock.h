// Winsock start-up and error codes for the socket implementation.
#pragma once

#include "platform/platform.h"

namespace korvo::win32 {

// Starts Winsock once per process, on first use; the result of that one start. It is never
// cleaned up: the host process may use Winsock itself, and a cleanup in DLL unload would
// pull it from under any socket still open.
HRESULT EnsureWinsock() noexcept;

// The calling thread's last Winsock error as an HRESULT.
HRESULT LastSocketError() noexcept;

// Waits with select until the socket is readable (or writable) or the deadline passes.
// S_OK when ready, also when the readiness is an error the next call reports.
HRESULT WaitForSocket(SOCKET socket, bool forWriting, int milliseconds) noexcept;

} // namespace korvo::win32
