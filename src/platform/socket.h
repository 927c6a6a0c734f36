// TCP stream sockets for the remote store client: connect, send and receive, each bounded by
// a deadline. Failures are HRESULTs with their Windows meaning on every platform: Winsock
// codes wrapped by HRESULT_FROM_WIN32, to which the posix build translates errno, so callers
// check one set of values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/deadline.h"
#include "platform/platform.h"

namespace korvo {

namespace socket_error {

constexpr HRESULT FromWinsock(std::uint32_t code)
{
    return static_cast<HRESULT>(0x80070000u | code);
}

inline constexpr HRESULT kConnectionRefused = FromWinsock(10061); // 0x8007274D
inline constexpr HRESULT kTimedOut = FromWinsock(10060); // 0x8007274C
inline constexpr HRESULT kConnectionReset = FromWinsock(10054); // 0x80072746
inline constexpr HRESULT kConnectionAborted = FromWinsock(10053);
inline constexpr HRESULT kNotConnected = FromWinsock(10057);
inline constexpr HRESULT kNetworkUnreachable = FromWinsock(10051);
inline constexpr HRESULT kHostUnreachable = FromWinsock(10065);
inline constexpr HRESULT kHostNotFound = FromWinsock(11001);
inline constexpr HRESULT kTryAgain = FromWinsock(11002);
inline constexpr HRESULT kNameServerFailure = FromWinsock(11003);

} // namespace socket_error

// Owner of one connected socket, closed when the owner goes.
class Socket {
public:
    Socket() noexcept = default;
    explicit Socket(std::uintptr_t native) noexcept : native_(native) {}
    ~Socket() { Close(); }

    Socket(Socket&& other) noexcept : native_(std::exchange(other.native_, kNone)) {}
    Socket& operator=(Socket&& other) noexcept
    {
        if (this != &other) {
            Close();
            native_ = std::exchange(other.native_, kNone);
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsOpen() const noexcept { return native_ != kNone; }
    std::uintptr_t Native() const noexcept { return native_; }
    void Close() noexcept;

private:
    // INVALID_SOCKET on Windows, -1 on posix.
    static constexpr std::uintptr_t kNone = ~std::uintptr_t{0};

    std::uintptr_t native_ = kNone;
};

// Connects to host (a name or a numeric IPv4/IPv6 address) and port, trying each address the
// name has until one accepts or the deadline passes. The socket is non-blocking, without Nagle
// delays, and not inherited by child processes. Name lookup is the system resolver's and is
// not bounded by the deadline: configure numeric addresses where a slow resolver must not
// stall a caller.
HRESULT ConnectTcp(const std::string& host, std::uint16_t port, Deadline deadline, Socket& connected) noexcept;

// Sends every byte, or fails: kTimedOut when the deadline passes first, with part of the data
// possibly sent.
HRESULT SendAll(Socket& socket, std::string_view data, Deadline deadline) noexcept;

// Waits for input and stores what has arrived, at most buffer.size() bytes; received is
// above 0 on success. The peer's close gives kConnectionReset: to a reader that expects more,
// an orderly close and a reset mean the same.
HRESULT ReceiveSome(Socket& socket, std::span<char> buffer, Deadline deadline, std::size_t& received) noexcept;

// True when input or the peer's close is waiting to be read; an idle connection in that state
// is stale.
bool HasPendingInput(const Socket& socket) noexcept;

} // namespace korvo
