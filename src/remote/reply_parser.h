// Incremental parser of the server's replies. It takes bytes as they arrive, in pieces of
// any size, and never trusts a length from the wire beyond its limits: a declared length is
// checked before anything is allocated for it, and memory grows with the bytes that actually
// arrived, not with what a header announces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "remote/reply.h"

namespace korvo::remote {

struct ReplyLimits {
    std::size_t maxLineLength = 64 * 1024; // a simple string, error, integer or length line
    std::size_t maxBulkLength = 64 * 1024 * 1024; // one bulk string
    std::size_t maxArrayLength = 1024 * 1024; // the elements of one array
    std::size_t maxElements = 4 * 1024 * 1024; // the elements of one reply, all levels together
    std::size_t maxDepth = 16; // arrays inside arrays
    std::size_t maxReplyBytes = 256 * 1024 * 1024; // the wire bytes of one reply
};

enum class ParseStatus {
    NeedMore, // every byte given was consumed and the reply is not complete yet
    Complete, // one reply is complete: TakeReply has it
    ProtocolError, // not a valid reply, or beyond a limit: error() says which
    OutOfMemory,
};

class ReplyParser {
public:
    explicit ReplyParser(const ReplyLimits& limits = {}) noexcept : limits_(limits) {}

    // Consumes bytes from the front of input up to the end of one reply; on kComplete, input
    // keeps what follows it (the next reply of a pipeline). After an error every further call
    // returns the same status until Reset.
    ParseStatus Feed(std::string_view& input) noexcept;

    // The completed reply; the parser then starts on the next one.
    Reply TakeReply() noexcept;

    // Why parsing failed; null while it has not.
    const char* Error() const noexcept { return error_; }

    void Reset() noexcept;

private:
    enum class Stage { Line, BulkBody, BulkEnd, Failed };
    enum class Step { Continue, Complete, Failed };
    struct Frame {
        Reply array;
        std::size_t expected = 0;
    };

    Step ConsumeLine(std::string_view& input);
    Step ConsumeBulkBody(std::string_view& input);
    Step ConsumeBulkEnd(std::string_view& input);
    Step StartValue(std::string_view line);
    Step StartBulk(std::string_view length);
    Step StartArray(std::string_view length);
    Step FinishValue(Reply value);
    bool Spend(std::size_t bytes) noexcept;
    Step Fail(const char* why, ParseStatus status = ParseStatus::ProtocolError) noexcept;

    ReplyLimits limits_;
    Stage stage_ = Stage::Line;
    std::string line_;
    std::string bulk_;
    std::size_t bulkLeft_ = 0;
    std::size_t bulkEndSeen_ = 0; // bytes of the CRLF after a bulk body
    std::vector<Frame> openArrays_;
    std::size_t elements_ = 0;
    std::size_t replyBytes_ = 0;
    Reply reply_;
    ParseStatus failure_ = ParseStatus::ProtocolError;
    const char* error_ = nullptr;
};

} // namespace korvo::remote
