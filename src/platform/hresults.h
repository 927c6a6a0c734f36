// The HRESULTs the module names, each defined once for every layer. The standard ones
// (E_FAIL, E_OUTOFMEMORY, ...) come from the platform contract and the socket ones from
// platform/socket.h; these are the Win32 and system codes with a meaning of their own here.
#pragma once

#include "platform/platform.h"

namespace korvo::hresult {

// ERROR_INVALID_DATA: a file that is not a dictionary file or holds a record the writer never
// produces, a key a pattern cannot be tested against, a pattern the engine cannot use, and
// bytes of a store server that are not a valid reply or exceed a limit.
inline constexpr HRESULT kInvalidData = static_cast<HRESULT>(0x8007000Du);
// ERROR_HANDLE_EOF: a field that the file ends inside.
inline constexpr HRESULT kEndOfFile = static_cast<HRESULT>(0x80070026u);
// ERROR_NOT_ENOUGH_MEMORY: a key or string read from a file cannot be held.
inline constexpr HRESULT kTextNotAllocated = static_cast<HRESULT>(0x80070008u);
// ERROR_READ_FAULT: a read of the file that failed without a last error.
inline constexpr HRESULT kReadFault = static_cast<HRESULT>(0x8007001Eu);
// ERROR_DISK_FULL: a write reported done that wrote nothing, without a last error.
inline constexpr HRESULT kDiskFull = static_cast<HRESULT>(0x80070070u);
// ERROR_SEM_TIMEOUT: a store lock not taken within the time-out.
inline constexpr HRESULT kLockTimedOut = static_cast<HRESULT>(0x80070079u);
// ERROR_TOO_MANY_POSTS: UnLock of a store lock that is already free.
inline constexpr HRESULT kLockAlreadyFree = static_cast<HRESULT>(0x8007012Au);
// The system's own code for a regular-expression component that cannot be prepared.
inline constexpr HRESULT kPatternUnavailable = static_cast<HRESULT>(0x80040100u);
// E_ACCESSDENIED: the store server refused AUTH (wrong user or password).
inline constexpr HRESULT kAuthenticationFailed = static_cast<HRESULT>(0x80070005u);
// E_INVALIDARG: the store server refused SELECT of the configured database.
inline constexpr HRESULT kDatabaseRejected = static_cast<HRESULT>(0x80070057u);

} // namespace korvo::hresult
