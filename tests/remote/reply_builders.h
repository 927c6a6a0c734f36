// Expected replies, written the way tests read them, and a readable form for failures.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

#include "remote/reply.h"

namespace korvo::remote {

inline Reply Simple(std::string_view text)
{
    return {ReplyType::SimpleString, std::string(text), 0, {}};
}
inline Reply Error(std::string_view text)
{
    return {ReplyType::Error, std::string(text), 0, {}};
}
inline Reply Integer(std::int64_t value)
{
    return {ReplyType::Integer, {}, value, {}};
}
inline Reply Bulk(std::string_view bytes)
{
    return {ReplyType::BulkString, std::string(bytes), 0, {}};
}
inline Reply Nil()
{
    return {};
}
inline Reply Array(std::initializer_list<Reply> elements)
{
    return {ReplyType::Array, {}, 0, elements};
}

// gtest prints a Reply through this when an expectation fails.
inline void PrintTo(const Reply& reply, std::ostream* out)
{
    switch (reply.type) {
    case ReplyType::SimpleString:
        *out << "+" << reply.text;
        break;
    case ReplyType::Error:
        *out << "-" << reply.text;
        break;
    case ReplyType::Integer:
        *out << ":" << reply.integer;
        break;
    case ReplyType::BulkString:
        *out << "$" << reply.text.size() << " \"" << reply.text.substr(0, 40) << "\"";
        break;
    case ReplyType::Nil:
        *out << "nil";
        break;
    case ReplyType::Array:
        *out << "[";
        for (const Reply& element : reply.elements) {
            PrintTo(element, out);
            *out << (&element == &reply.elements.back() ? "" : ", ");
        }
        *out << "]";
        break;
    }
}

} // namespace korvo::remote
