// One connection to the server, authenticated and on its database once open. It serves one
// thread at a time (the pool hands it out exclusively). Any failure during a request breaks it
// for good: after a time-out or a torn reply the server may still send the rest of an old
// reply, so a broken connection is never used again.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "remote/reply.h"
#include "remote/reply_parser.h"
#include "remote/request.h"
#include "remote/server_settings.h"
#include "remote/status.h"

namespace korvo::remote {

class Connection {
public:
    Connection() noexcept = default;

    // Connects within the connect time-out, then sends AUTH and SELECT as the settings ask,
    // in one round trip within the operation time-out. Their refusal gives
    // kAuthenticationFailed or kDatabaseRejected with the server's text.
    Status Open(const ServerSettings& settings) noexcept;

    // Sends the request's commands in one write and reads exactly as many replies, all within
    // one operation time-out. Error replies of the server are replies; a transport failure,
    // time-out or protocol error fails the call and breaks the connection.
    Status Execute(const Request& request, std::vector<Reply>& replies) noexcept;

    bool IsBroken() const noexcept { return !socket_.IsOpen(); }
    // False when broken, or when the server closed the connection (or sent something nobody
    // asked for) while it was idle.
    bool IsUsable() const noexcept { return socket_.IsOpen() && !HasPendingInput(socket_); }
    void Close() noexcept;

private:
    Status ReadReply(Deadline deadline, Reply& reply);
    Status Check(const std::vector<Reply>& replies, bool authenticated, bool selected);
    Status Failure(HRESULT code, std::string_view what);

    Socket socket_;
    ReplyParser parser_;
    std::vector<char> buffer_;
    std::size_t bufferedBegin_ = 0;
    std::size_t bufferedEnd_ = 0;
    std::chrono::milliseconds operationTimeout_{0};
    std::string endpoint_; // host:port, for messages
};

} // namespace korvo::remote
