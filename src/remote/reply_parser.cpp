#include "remote/reply_parser.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <utility>

#include "platform/hresult_from_exception.h"

namespace korvo::remote {
namespace {

// What is reserved up front for a bulk string or an array: enough for typical replies, small
// enough that a hostile header costs nothing.
constexpr std::size_t kBulkReserve = 64 * 1024;
constexpr std::size_t kArrayReserve = 16;

// Digits with an optional leading minus, nothing else (no plus, no blanks), within 64 bits.
bool ParseDecimal(std::string_view text, std::int64_t& value)
{
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

} // namespace

ParseStatus ReplyParser::Feed(std::string_view& input) noexcept
{
    if (stage_ == Stage::Failed) {
        return failure_;
    }
    const auto body = [&]() -> ParseStatus {
        while (!input.empty()) {
            Step step = Step::Continue;
            switch (stage_) {
            case Stage::Line:
                step = ConsumeLine(input);
                break;
            case Stage::BulkBody:
                step = ConsumeBulkBody(input);
                break;
            case Stage::BulkEnd:
                step = ConsumeBulkEnd(input);
                break;
            case Stage::Failed:
                return failure_;
            }
            if (step == Step::Complete) {
                return ParseStatus::Complete;
            }
            if (step == Step::Failed) {
                return failure_;
            }
        }
        return ParseStatus::NeedMore;
    };
    return CallTranslatingExceptions(body, [this](HRESULT) noexcept {
        Fail("out of memory for the reply", ParseStatus::OutOfMemory);
        return failure_;
    });
}

Reply ReplyParser::TakeReply() noexcept
{
    return std::exchange(reply_, Reply{});
}

void ReplyParser::Reset() noexcept
{
    stage_ = Stage::Line;
    line_.clear();
    bulk_.clear();
    bulkLeft_ = 0;
    bulkEndSeen_ = 0;
    openArrays_.clear();
    elements_ = 0;
    replyBytes_ = 0;
    reply_ = Reply{};
    failure_ = ParseStatus::ProtocolError;
    error_ = nullptr;
}

ReplyParser::Step ReplyParser::ConsumeLine(std::string_view& input)
{
    const std::size_t newline = input.find('\n');
    const std::size_t take = newline == std::string_view::npos ? input.size() : newline + 1;
    // The limit is on the line's text; its CRLF comes on top.
    const std::size_t most = limits_.maxLineLength > SIZE_MAX - 2 ? SIZE_MAX : limits_.maxLineLength + 2;
    if (take > most - line_.size()) {
        return Fail("line longer than the limit");
    }
    if (!Spend(take)) {
        return Fail("reply larger than the limit");
    }
    line_.append(input.data(), take);
    input.remove_prefix(take);
    if (newline == std::string_view::npos) {
        return Step::Continue;
    }
    if (line_.size() < 2 || line_[line_.size() - 2] != '\r') {
        return Fail("line not ended by CRLF");
    }
    const std::string_view text(line_.data(), line_.size() - 2);
    if (text.find('\r') != std::string_view::npos) {
        return Fail("CR inside a line");
    }
    const Step step = StartValue(text);
    line_.clear();
    return step;
}

ReplyParser::Step ReplyParser::StartValue(std::string_view line)
{
    if (line.empty()) {
        return Fail("empty line where a reply was expected");
    }
    const std::string_view rest = line.substr(1);
    Reply value;
    switch (line.front()) {
    case '+':
        value.type = ReplyType::SimpleString;
        value.text.assign(rest);
        return FinishValue(std::move(value));
    case '-':
        value.type = ReplyType::Error;
        value.text.assign(rest);
        return FinishValue(std::move(value));
    case ':':
        if (!ParseDecimal(rest, value.integer)) {
            return Fail("integer reply is not a number");
        }
        value.type = ReplyType::Integer;
        return FinishValue(std::move(value));
    case '$':
        return StartBulk(rest);
    case '*':
        return StartArray(rest);
    default:
        return Fail("unknown reply type");
    }
}

ReplyParser::Step ReplyParser::StartBulk(std::string_view length)
{
    std::int64_t declared = 0;
    if (!ParseDecimal(length, declared)) {
        return Fail("bulk string length is not a number");
    }
    if (declared == -1) {
        return FinishValue(Reply{});
    }
    if (declared < 0) {
        return Fail("negative bulk string length");
    }
    const auto size = static_cast<std::uint64_t>(declared);
    if (size > limits_.maxBulkLength) {
        return Fail("bulk string longer than the limit");
    }
    if (size + 2 > limits_.maxReplyBytes - replyBytes_) {
        return Fail("reply larger than the limit");
    }
    bulkLeft_ = static_cast<std::size_t>(size);
    bulk_.clear();
    bulk_.reserve(std::min(bulkLeft_, kBulkReserve));
    stage_ = bulkLeft_ == 0 ? Stage::BulkEnd : Stage::BulkBody;
    return Step::Continue;
}

ReplyParser::Step ReplyParser::StartArray(std::string_view length)
{
    std::int64_t declared = 0;
    if (!ParseDecimal(length, declared)) {
        return Fail("array length is not a number");
    }
    if (declared == -1) {
        return FinishValue(Reply{});
    }
    if (declared < 0) {
        return Fail("negative array length");
    }
    if (openArrays_.size() >= limits_.maxDepth) {
        return Fail("arrays nested deeper than the limit");
    }
    const auto count = static_cast<std::uint64_t>(declared);
    if (count > limits_.maxArrayLength) {
        return Fail("array longer than the limit");
    }
    if (count > limits_.maxElements - elements_) {
        return Fail("reply has more elements than the limit");
    }
    Reply array;
    array.type = ReplyType::Array;
    if (count == 0) {
        return FinishValue(std::move(array));
    }
    elements_ += static_cast<std::size_t>(count);
    array.elements.reserve(std::min<std::size_t>(static_cast<std::size_t>(count), kArrayReserve));
    openArrays_.push_back(Frame{std::move(array), static_cast<std::size_t>(count)});
    return Step::Continue;
}

ReplyParser::Step ReplyParser::ConsumeBulkBody(std::string_view& input)
{
    const std::size_t take = std::min(bulkLeft_, input.size());
    if (!Spend(take)) {
        return Fail("reply larger than the limit");
    }
    bulk_.append(input.data(), take);
    input.remove_prefix(take);
    bulkLeft_ -= take;
    if (bulkLeft_ == 0) {
        stage_ = Stage::BulkEnd;
    }
    return Step::Continue;
}

ReplyParser::Step ReplyParser::ConsumeBulkEnd(std::string_view& input)
{
    static constexpr char kEnd[] = "\r\n";
    while (bulkEndSeen_ < 2 && !input.empty()) {
        if (input.front() != kEnd[bulkEndSeen_]) {
            return Fail("bulk string not ended by CRLF");
        }
        if (!Spend(1)) {
            return Fail("reply larger than the limit");
        }
        input.remove_prefix(1);
        ++bulkEndSeen_;
    }
    if (bulkEndSeen_ < 2) {
        return Step::Continue;
    }
    bulkEndSeen_ = 0;
    Reply value;
    value.type = ReplyType::BulkString;
    value.text = std::exchange(bulk_, std::string{});
    return FinishValue(std::move(value));
}

ReplyParser::Step ReplyParser::FinishValue(Reply value)
{
    stage_ = Stage::Line;
    while (!openArrays_.empty()) {
        Frame& innermost = openArrays_.back();
        innermost.array.elements.push_back(std::move(value));
        if (innermost.array.elements.size() < innermost.expected) {
            return Step::Continue;
        }
        value = std::move(innermost.array);
        openArrays_.pop_back();
    }
    reply_ = std::move(value);
    elements_ = 0;
    replyBytes_ = 0;
    return Step::Complete;
}

bool ReplyParser::Spend(std::size_t bytes) noexcept
{
    if (bytes > limits_.maxReplyBytes - replyBytes_) {
        return false;
    }
    replyBytes_ += bytes;
    return true;
}

ReplyParser::Step ReplyParser::Fail(const char* why, ParseStatus status) noexcept
{
    stage_ = Stage::Failed;
    failure_ = status;
    error_ = why;
    return Step::Failed;
}

} // namespace korvo::remote
