#include "remote/connection.h"

#include <utility>

#include "platform/failure_trace.h"
#include "platform/hresult_from_exception.h"

namespace korvo::remote {
namespace {

constexpr std::size_t kReceiveBufferSize = 16 * 1024;

std::string_view TransportFailure(HRESULT code)
{
    if (code == socket_error::kTimedOut) {
        return "no reply within the operation time-out";
    }
    if (code == socket_error::kConnectionReset) {
        return "connection closed by the server";
    }
    return "connection failed";
}

} // namespace

Status Connection::Open(const ServerSettings& settings) noexcept
{
    const auto body = [&]() -> Status {
        Close();
        endpoint_ = settings.host + ":" + std::to_string(settings.port);
        operationTimeout_ = settings.operationTimeout;
        parser_ = ReplyParser(settings.limits);
        buffer_.resize(kReceiveBufferSize);

        const HRESULT connected = KORVO_TRACED(
            ConnectTcp(settings.host, settings.port, DeadlineAfter(settings.connectTimeout), socket_));
        if (FAILED(connected)) {
            return Failure(connected, connected == socket_error::kTimedOut ? "no connection within the connect time-out"
                                                                           : "cannot connect");
        }

        const bool authenticate = !settings.password.empty() || !settings.user.empty();
        const bool select = settings.database != 0;
        Request handshake;
        const std::string database = std::to_string(settings.database);
        HRESULT added = S_OK;
        if (authenticate && settings.user.empty()) {
            added = handshake.Add({"AUTH", settings.password});
        } else if (authenticate) {
            added = handshake.Add({"AUTH", settings.user, settings.password});
        }
        if (SUCCEEDED(added) && select) {
            added = handshake.Add({"SELECT", database});
        }
        if (SUCCEEDED(added) && !settings.functionLibrary.empty()) {
            added = handshake.Add({"FUNCTION", "LOAD", settings.functionLibrary});
        }
        if (FAILED(added)) {
            Close();
            return {added, {}};
        }
        if (handshake.CommandCount() == 0) {
            return {};
        }
        std::vector<Reply> replies;
        Status status = Execute(handshake, replies);
        if (!status.Ok()) {
            return status;
        }
        return Check(replies, authenticate, select);
    };
    return CallTranslatingExceptions(body, [this](HRESULT escaped) noexcept {
        Close();
        return Status{escaped, {}};
    });
}

Status Connection::Check(const std::vector<Reply>& replies, bool authenticated, bool selected)
{
    std::size_t next = 0;
    if (authenticated && replies[next++].IsError()) {
        Close();
        return {KORVO_TRACED(hresult::kAuthenticationFailed), replies[0].text};
    }
    if (selected && replies[next].IsError()) {
        Close();
        return {KORVO_TRACED(hresult::kDatabaseRejected), replies[next].text};
    }
    return {};
}

Status Connection::Execute(const Request& request, std::vector<Reply>& replies) noexcept
{
    const auto body = [&]() -> Status {
        replies.clear();
        if (IsBroken()) {
            return Failure(socket_error::kNotConnected, "connection not open");
        }
        replies.reserve(request.CommandCount());
        const Deadline deadline = DeadlineAfter(operationTimeout_);
        const HRESULT sent = KORVO_TRACED(SendAll(socket_, request.Bytes(), deadline));
        if (FAILED(sent)) {
            return Failure(sent, sent == socket_error::kTimedOut ? "request not sent within the operation time-out"
                                                                 : TransportFailure(sent));
        }
        while (replies.size() < request.CommandCount()) {
            Reply reply;
            Status status = ReadReply(deadline, reply);
            if (!status.Ok()) {
                replies.clear();
                return status;
            }
            replies.push_back(std::move(reply));
        }
        // Bytes beyond the replies asked for: the server is out of step with us.
        if (bufferedBegin_ != bufferedEnd_) {
            Close();
        }
        return {};
    };
    return CallTranslatingExceptions(body, [&](HRESULT escaped) noexcept {
        Close();
        replies.clear();
        return Status{escaped, {}};
    });
}

Status Connection::ReadReply(Deadline deadline, Reply& reply)
{
    for (;;) {
        if (bufferedBegin_ != bufferedEnd_) {
            std::string_view input(buffer_.data() + bufferedBegin_, bufferedEnd_ - bufferedBegin_);
            const ParseStatus parsed = parser_.Feed(input);
            bufferedBegin_ = bufferedEnd_ - input.size();
            if (parsed == ParseStatus::Complete) {
                reply = parser_.TakeReply();
                return {};
            }
            if (parsed == ParseStatus::OutOfMemory) {
                Close();
                return {E_OUTOFMEMORY, {}};
            }
            if (parsed == ParseStatus::ProtocolError) {
                return Failure(KORVO_TRACED(hresult::kInvalidData), parser_.Error());
            }
        }
        bufferedBegin_ = bufferedEnd_ = 0;
        std::size_t received = 0;
        const HRESULT got = KORVO_TRACED(ReceiveSome(socket_, buffer_, deadline, received));
        if (FAILED(got)) {
            return Failure(got, TransportFailure(got));
        }
        bufferedEnd_ = received;
    }
}

Status Connection::Failure(HRESULT code, std::string_view what)
{
    Close();
    Status status{code, {}};
    const HRESULT described = CallReturningHresult([&] {
        status.text.append("server ").append(endpoint_).append(": ").append(what);
        return S_OK;
    });
    if (FAILED(described)) {
        status.text.clear();
    }
    return status;
}

void Connection::Close() noexcept
{
    socket_.Close();
    parser_.Reset();
    bufferedBegin_ = bufferedEnd_ = 0;
}

} // namespace korvo::remote
