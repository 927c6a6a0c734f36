// The steps of connecting and sending that the posix and the Winsock sockets share; each
// implementation supplies its system's calls. Internal to the platform's socket sources.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/socket.h"

namespace korvo::socket_steps {

// The port as the decimal service text the resolver takes.
struct ServiceText {
    explicit ServiceText(std::uint16_t port) noexcept { std::to_chars(text, text + sizeof text - 1, port); }
    char text[8] = {};
};

// Tries each address of the resolver's list in turn until one connects. A timeout ends the
// attempts: the deadline is one for all of them. kHostNotFound for an empty list.
template <typename AddressInfo, typename ConnectOne>
HRESULT ConnectFirstAccepting(const AddressInfo* addresses, ConnectOne connectOne)
{
    HRESULT result = socket_error::kHostNotFound;
    for (const AddressInfo* address = addresses; address != nullptr; address = address->ai_next) {
        result = connectOne(*address);
        if (SUCCEEDED(result) || result == socket_error::kTimedOut) {
            break;
        }
    }
    return result;
}

// What one send call did: bytes taken, or a failure, or neither (wait until writable, or try
// again at once).
struct SendAttempt {
    std::size_t sent = 0;
    HRESULT failure = S_OK;
    bool waitWritable = false;
};

// Sends every byte of data through trySend (a SendAttempt from the bytes left), waiting with
// waitWritable (an HRESULT) where the socket takes none now.
template <typename TrySend, typename WaitWritable>
HRESULT SendEvery(std::string_view data, TrySend trySend, WaitWritable waitWritable)
{
    while (!data.empty()) {
        const SendAttempt attempt = trySend(data);
        if (attempt.sent > 0) {
            data.remove_prefix(attempt.sent);
            continue;
        }
        if (FAILED(attempt.failure)) {
            return attempt.failure;
        }
        if (attempt.waitWritable) {
            const HRESULT waited = waitWritable();
            if (FAILED(waited)) {
                return waited;
            }
        }
    }
    return S_OK;
}

} // namespace korvo::socket_steps
