// Translation of the errno values of socket calls to the Winsock codes Windows reports for
// the same situation, as HRESULTs.
#pragma once

#include "platform/platform.h"

namespace korvo::posix {

HRESULT SocketErrorFromErrno(int error) noexcept;

// The resolver's (getaddrinfo) own codes.
HRESULT ResolverError(int code) noexcept;

} // namespace korvo::posix
