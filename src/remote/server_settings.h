// How to reach one server and how long to wait for it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "remote/reply_parser.h"

namespace korvo::remote {

struct ServerSettings {
    std::string host = "127.0.0.1";
    std::uint16_t port = 6379;
    std::string user; // with a password: AUTH user password (an ACL user)
    std::string password; // alone: AUTH password (the default user); neither: no AUTH
    std::uint32_t database = 0; // SELECTed on connect unless 0
    std::chrono::milliseconds connectTimeout{2000};
    // One bound for a whole request: sending it and reading every reply.
    std::chrono::milliseconds operationTimeout{2000};
    ReplyLimits limits;
    // Loaded with FUNCTION LOAD in the handshake of every new connection unless empty. A
    // refusal (most often: a library of that name is already there) does not fail the
    // connection; a call that then finds its function missing reports what the server says.
    std::string functionLibrary;
};

struct PoolSettings {
    std::size_t maxConnections = 8;
    // After a failed connect the pool waits this long before the next attempt, doubling the
    // wait with each further failure up to the maximum.
    std::chrono::milliseconds firstRetryDelay{100};
    std::chrono::milliseconds maxRetryDelay{5000};
};

} // namespace korvo::remote
