// Connecting on BSD sockets: non-blocking connect, completion awaited with poll.
#include "platform/socket.h"

#include <cerrno>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "platform/socket_steps.h"
#include "socket_errno.h"

namespace korvo {
namespace {

using posix::SocketErrorFromErrno;

// Waits until a connect in progress has finished; the socket's pending error tells how.
HRESULT FinishConnect(int fd, Deadline deadline)
{
    for (;;) {
        pollfd poller{fd, POLLOUT, 0};
        const int ready = poll(&poller, 1, MillisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return SocketErrorFromErrno(errno);
        }
        if (ready == 0) {
            return socket_error::kTimedOut;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            return SocketErrorFromErrno(errno);
        }
        return error == 0 ? S_OK : SocketErrorFromErrno(error);
    }
}

HRESULT ConnectAddress(const addrinfo& address, Deadline deadline, Socket& connected)
{
    const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        return SocketErrorFromErrno(errno);
    }
    Socket candidate(static_cast<std::uintptr_t>(fd));
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            return SocketErrorFromErrno(errno);
        }
        const HRESULT finished = FinishConnect(fd, deadline);
        if (FAILED(finished)) {
            return finished;
        }
    }
    // Commands are small and written whole; Nagle's algorithm would only delay them.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    connected = std::move(candidate);
    return S_OK;
}

} // namespace

HRESULT ConnectTcp(const std::string& host, std::uint16_t port, Deadline deadline, Socket& connected) noexcept
{
    connected.Close();
    const socket_steps::ServiceText service(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), service.text, &hints, &found);
    if (resolved != 0) {
        return posix::ResolverError(resolved);
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);

    return socket_steps::ConnectFirstAccepting(
        found, [&](const addrinfo& address) { return ConnectAddress(address, deadline, connected); });
}

} // namespace korvo
