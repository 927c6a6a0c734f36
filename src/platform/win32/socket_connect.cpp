// Connecting on Winsock: non-blocking connect, completion awaited with select (a failed
// connect shows in the exception set, where WSAPoll of older systems never reports it).
#include "platform/socket.h"

#include <memory>

#include "platform/socket_steps.h"
#include "socket_winsock.h"

namespace korvo {
namespace {

using win32::LastSocketError;

HRESULT PendingError(SOCKET socket)
{
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == SOCKET_ERROR) {
        return LastSocketError();
    }
    return error == 0 ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

HRESULT ConnectAddress(const addrinfo& address, Deadline deadline, Socket& connected)
{
    const SOCKET raw = WSASocketW(address.ai_family, address.ai_socktype, address.ai_protocol, nullptr, 0,
                                  WSA_FLAG_NO_HANDLE_INHERIT);
    if (raw == INVALID_SOCKET) {
        return LastSocketError();
    }
    Socket candidate(static_cast<std::uintptr_t>(raw));
    u_long nonBlocking = 1;
    if (ioctlsocket(raw, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        return LastSocketError();
    }
    if (connect(raw, address.ai_addr, static_cast<int>(address.ai_addrlen)) == SOCKET_ERROR) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            return LastSocketError();
        }
        const HRESULT waited = win32::WaitForSocket(raw, true, MillisecondsUntil(deadline));
        if (FAILED(waited)) {
            return waited;
        }
        const HRESULT finished = PendingError(raw);
        if (FAILED(finished)) {
            return finished;
        }
    }
    // Commands are small and written whole; Nagle's algorithm would only delay them.
    const BOOL on = TRUE;
    setsockopt(raw, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    connected = std::move(candidate);
    return S_OK;
}

} // namespace

HRESULT ConnectTcp(const std::string& host, std::uint16_t port, Deadline deadline, Socket& connected) noexcept
{
    connected.Close();
    const HRESULT started = win32::EnsureWinsock();
    if (FAILED(started)) {
        return started;
    }
    const socket_steps::ServiceText service(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), service.text, &hints, &found);
    if (resolved != 0) {
        return resolved == WSA_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : HRESULT_FROM_WIN32(static_cast<DWORD>(resolved));
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);

    return socket_steps::ConnectFirstAccepting(
        found, [&](const addrinfo& address) { return ConnectAddress(address, deadline, connected); });
}

} // namespace korvo
