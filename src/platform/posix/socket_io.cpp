// Sending and receiving on BSD sockets: non-blocking calls, waits with poll.
#include "platform/socket.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/socket_steps.h"
#include "socket_errno.h"

namespace korvo {
namespace {

using posix::SocketErrorFromErrno;

int Descriptor(const Socket& socket)
{
    return static_cast<int>(socket.Native());
}

// Waits until the socket is ready for the events (or has an error the next call reports).
HRESULT WaitFor(int fd, short events, Deadline deadline)
{
    for (;;) {
        pollfd poller{fd, events, 0};
        const int ready = poll(&poller, 1, MillisecondsUntil(deadline));
        if (ready > 0) {
            return S_OK;
        }
        if (ready == 0) {
            return socket_error::kTimedOut;
        }
        if (errno != EINTR) {
            return SocketErrorFromErrno(errno);
        }
    }
}

bool WouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

} // namespace

void Socket::Close() noexcept
{
    if (IsOpen()) {
        close(Descriptor(*this));
    }
    native_ = kNone;
}

HRESULT SendAll(Socket& socket, std::string_view data, Deadline deadline) noexcept
{
    if (!socket.IsOpen()) {
        return socket_error::kNotConnected;
    }
    const int fd = Descriptor(socket);
    const auto trySend = [fd](std::string_view left) -> socket_steps::SendAttempt {
        // MSG_NOSIGNAL: a closed peer is an error to report, not a signal that ends the host.
        const ssize_t sent = send(fd, left.data(), left.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            return {.sent = static_cast<std::size_t>(sent)};
        }
        if (sent < 0 && errno == EINTR) {
            return {};
        }
        if (sent < 0 && WouldBlock(errno)) {
            return {.waitWritable = true};
        }
        return {.failure = SocketErrorFromErrno(errno)};
    };
    return socket_steps::SendEvery(data, trySend, [&] { return WaitFor(fd, POLLOUT, deadline); });
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
    const int fd = Descriptor(socket);
    for (;;) {
        const ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
        if (got > 0) {
            received = static_cast<std::size_t>(got);
            return S_OK;
        }
        if (got == 0) {
            return socket_error::kConnectionReset;
        }
        if (errno == EINTR) {
            continue;
        }
        if (!WouldBlock(errno)) {
            return SocketErrorFromErrno(errno);
        }
        const HRESULT waited = WaitFor(fd, POLLIN, deadline);
        if (FAILED(waited)) {
            return waited;
        }
    }
}

bool HasPendingInput(const Socket& socket) noexcept
{
    if (!socket.IsOpen()) {
        return false;
    }
    pollfd poller{Descriptor(socket), POLLIN, 0};
    return poll(&poller, 1, 0) > 0;
}

} // namespace korvo
