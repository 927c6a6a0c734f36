// Sending and receiving on Winsock: non-blocking calls, waits with select.
#include "platform/socket.h"

#include <algorithm>
#include <climits>

#include "platform/socket_steps.h"
#include "socket_winsock.h"

namespace korvo {
namespace {

using win32::LastSocketError;

SOCKET Handle(const Socket& socket)
{
    return static_cast<SOCKET>(socket.Native());
}

int ChunkSize(std::size_t size)
{
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

} // namespace

void Socket::Close() noexcept
{
    if (IsOpen()) {
        closesocket(Handle(*this));
    }
    native_ = kNone;
}

HRESULT SendAll(Socket& socket, std::string_view data, Deadline deadline) noexcept
{
    if (!socket.IsOpen()) {
        return socket_error::kNotConnected;
    }
    const SOCKET handle = Handle(socket);
    const auto trySend = [handle](std::string_view left) -> socket_steps::SendAttempt {
        const int sent = send(handle, left.data(), ChunkSize(left.size()), 0);
        if (sent > 0) {
            return {.sent = static_cast<std::size_t>(sent)};
        }
        if (sent == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
            return {.failure = LastSocketError()};
        }
        return {.waitWritable = true};
    };
    return socket_steps::SendEvery(data, trySend,
                                   [&] { return win32::WaitForSocket(handle, true, MillisecondsUntil(deadline)); });
}

HRESULT ReceiveSome(Socket& socket, std::span<char> buffer, Deadline deadline, std::size_t& received) noexcept
{
    received = 0;
    if (!socket.IsOpen()) {
        return socket_error::kNotConnected;
    }
    if (buffer.empty()) {
        return E_INVALIDARG;
    }
    const SOCKET handle = Handle(socket);
    for (;;) {
        const int got = recv(handle, buffer.data(), ChunkSize(buffer.size()), 0);
        if (got > 0) {
            received = static_cast<std::size_t>(got);
            return S_OK;
        }
        if (got == 0) {
            return socket_error::kConnectionReset;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            return LastSocketError();
        }
        const HRESULT waited = win32::WaitForSocket(handle, false, MillisecondsUntil(deadline));
        if (FAILED(waited)) {
            return waited;
        }
    }
}

bool HasPendingInput(const Socket& socket) noexcept
{
    return socket.IsOpen() && win32::WaitForSocket(Handle(socket), false, 0) == S_OK;
}

} // namespace korvo
