// One reply of the server, typed as the wire protocol (RESP2) types it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvo::remote {

enum class ReplyType {
    SimpleString, // a status such as "OK"
    Error, // the server refused the command; text is its message ("ERR ...", "WRONGTYPE ...")
    Integer,
    BulkString, // bytes, binary-safe
    Nil, // a null bulk string ($-1) or a null array (*-1): no value
    Array,
};

struct Reply {
    ReplyType type = ReplyType::Nil;
    std::string text; // simple string, error and bulk string
    std::int64_t integer = 0; // integer
    std::vector<Reply> elements; // array

    bool IsError() const noexcept { return type == ReplyType::Error; }
    friend bool operator==(const Reply&, const Reply&) = default;
};

} // namespace korvo::remote
