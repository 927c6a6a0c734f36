// libFuzzer target for the reply parser. The first byte picks the size of the pieces the rest
// is fed in; the parser must give the same replies and the same end whether it gets the input
// whole or in pieces, and every reply it completes must read back unchanged once written out
// again. Small limits make every bound reachable.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "remote/reply_parser.h"

namespace {

using korvo::remote::ParseStatus;
using korvo::remote::Reply;
using korvo::remote::ReplyLimits;
using korvo::remote::ReplyParser;
using korvo::remote::ReplyType;

ReplyLimits FuzzLimits()
{
    ReplyLimits limits;
    limits.maxLineLength = 256;
    limits.maxBulkLength = 1024;
    limits.maxArrayLength = 64;
    limits.maxElements = 256;
    limits.maxDepth = 8;
    limits.maxReplyBytes = 4096;
    return limits;
}

struct Result {
    std::vector<Reply> replies;
    ParseStatus last = ParseStatus::NeedMore;
};

Result Parse(std::string_view input, std::size_t piece)
{
    ReplyParser parser(FuzzLimits());
    Result result;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        std::string_view rest = input.substr(at, piece);
        while (!rest.empty()) {
            result.last = parser.Feed(rest);
            if (result.last == ParseStatus::Complete) {
                result.replies.push_back(parser.TakeReply());
            } else if (result.last != ParseStatus::NeedMore) {
                return result;
            }
        }
    }
    return result;
}

void Write(const Reply& reply, std::string& out)
{
    switch (reply.type) {
    case ReplyType::SimpleString:
        out += "+" + reply.text + "\r\n";
        break;
    case ReplyType::Error:
        out += "-" + reply.text + "\r\n";
        break;
    case ReplyType::Integer:
        out += ":" + std::to_string(reply.integer) + "\r\n";
        break;
    case ReplyType::BulkString:
        out += "$" + std::to_string(reply.text.size()) + "\r\n" + reply.text + "\r\n";
        break;
    case ReplyType::Nil:
        out += "$-1\r\n";
        break;
    case ReplyType::Array:
        out += "*" + std::to_string(reply.elements.size()) + "\r\n";
        for (const Reply& element : reply.elements) {
            Write(element, out);
        }
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = data[0] % 16 + 1;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

    const Result whole = Parse(input, input.size() + 1);
    const Result pieces = Parse(input, piece);
    if (whole.last != pieces.last || whole.replies != pieces.replies) {
        std::abort();
    }

    for (const Reply& reply : whole.replies) {
        std::string written;
        Write(reply, written);
        const Result again = Parse(written, written.size() + 1);
        if (again.last != ParseStatus::Complete || again.replies.size() != 1 || again.replies[0] != reply) {
            std::abort();
        }
    }
    return 0;
}
