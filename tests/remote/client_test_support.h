// Calls for the client tests: one request of several commands, its status and replies.
#pragma once

#include <chrono>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "remote/connection.h"
#include "remote/connection_pool.h"
#include "reply_builders.h"

namespace korvo::remote {

struct Outcome {
    Status status;
    std::vector<Reply> replies;
    std::chrono::milliseconds elapsed{0};

    // The only reply of a one-command request; nil when there is none.
    Reply reply() const { return replies.size() == 1 ? replies[0] : Reply{}; }
};

// Connection or ConnectionPool.
template <class Target>
Outcome Call(Target& target, std::initializer_list<std::initializer_list<std::string_view>> commands)
{
    Request request;
    for (const auto& command : commands) {
        if (FAILED(request.Add(command))) {
            return {{E_OUTOFMEMORY, "encoding failed"}, {}};
        }
    }
    Outcome outcome;
    const auto start = std::chrono::steady_clock::now();
    outcome.status = target.Execute(request, outcome.replies);
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return outcome;
}

// A value of INFO's text ("field:value" lines); -1 when the field is missing.
inline long long InfoField(const Reply& info, std::string_view field)
{
    const std::string key = std::string(field) + ":";
    const std::size_t at = info.text.find(key);
    return at == std::string::npos ? -1 : std::atoll(info.text.c_str() + at + key.size());
}

} // namespace korvo::remote
