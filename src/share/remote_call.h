// One call of the server's function library, and what its outcome means to a member.
#pragma once

#include <span>
#include <string_view>

#include "remote/connection_pool.h"

namespace korvo {

// Calls function <library name>_<function> of the library with its keys and arguments; loads the
// library when the server does not know it (first use, or a restarted server) and calls again,
// which is safe because an unknown function ran nothing. Refusals come back as error replies.
remote::Status CallStoreFunction(remote::ConnectionPool& pool, std::string_view function,
                                 std::span<const std::string_view> keys, std::span<const std::string_view> arguments,
                                 remote::Reply& reply) noexcept;

// The HRESULT of a call's outcome, with its error record: a connection's failure keeps its
// socket code and description, a refusal of the server becomes the local store's failure
// where there is one (109, 116), kRemoteModeMismatch, or E_FAIL with the server's text. A
// store changed since the read a call was computed from is kRemoteBusy, without a record.
HRESULT CallOutcome(const remote::Status& status, const remote::Reply& reply) noexcept;

} // namespace korvo
