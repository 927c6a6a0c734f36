#include "socket_winsock.h"

#include "platform/socket.h"

namespace korvo::win32 {

HRESULT EnsureWinsock() noexcept
{
    static const int kStarted = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return kStarted == 0 ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(kStarted));
}

HRESULT LastSocketError() noexcept
{
    const int error = WSAGetLastError();
    if (error == WSA_NOT_ENOUGH_MEMORY) {
        return E_OUTOFMEMORY;
    }
    return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

HRESULT WaitForSocket(SOCKET socket, bool forWriting, int milliseconds) noexcept
{
    // One socket per set: fill it directly rather than through the FD_SET macros.
    fd_set ready{};
    ready.fd_count = 1;
    ready.fd_array[0] = socket;
    fd_set failed = ready;
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    const int count = select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &timeout);
    if (count == SOCKET_ERROR) {
        return LastSocketError();
    }
    return count == 0 ? socket_error::kTimedOut : S_OK;
}

} // namespace korvo::win32
