#include "socket_errno.h"

#include <cerrno>
#include <netdb.h>

#include "platform/socket.h"

namespace korvo::posix {

using namespace socket_error;

HRESULT SocketErrorFromErrno(int error) noexcept
{
    switch (error) {
    case ECONNREFUSED:
        return kConnectionRefused;
    case ETIMEDOUT:
        return kTimedOut;
    case ECONNRESET:
    case EPIPE:
        return kConnectionReset;
    case ECONNABORTED:
        return kConnectionAborted;
    case ENOTCONN:
    case EBADF:
        return kNotConnected;
    case ENETUNREACH:
    case ENETDOWN:
        return kNetworkUnreachable;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return kHostUnreachable;
    case EADDRNOTAVAIL:
        return FromWinsock(10049);
    case EAFNOSUPPORT:
        return FromWinsock(10047);
    case ENOBUFS:
        return FromWinsock(10055);
    case EMFILE:
    case ENFILE:
        return FromWinsock(10024);
    case EACCES:
    case EPERM:
        return FromWinsock(10013);
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return FromWinsock(10022); // WSAEINVAL
    }
}

HRESULT ResolverError(int code) noexcept
{
    switch (code) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        return kHostNotFound;
    case EAI_AGAIN:
        return kTryAgain;
    case EAI_MEMORY:
        return E_OUTOFMEMORY;
    case EAI_FAMILY:
        return FromWinsock(10047);
    case EAI_SYSTEM:
        return SocketErrorFromErrno(errno);
    default:
        return kNameServerFailure;
    }
}

} // namespace korvo::posix
