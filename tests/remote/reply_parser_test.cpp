// The reply parser: every reply type, fed whole, split at every byte and byte by byte;
// pipelined replies; hostile input, each a protocol error, never a crash or a large
// allocation.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "largest_allocation.h"
#include "remote/reply_parser.h"
#include "reply_builders.h"

namespace korvo::remote {
namespace {

using namespace std::string_literals;

struct Parsed {
    std::vector<Reply> replies;
    ParseStatus last = ParseStatus::NeedMore;
};

// Feeds the pieces in order, collecting every completed reply.
Parsed FeedPieces(ReplyParser& parser, const std::vector<std::string_view>& pieces)
{
    Parsed parsed;
    for (std::string_view piece : pieces) {
        do {
            parsed.last = parser.Feed(piece);
            if (parsed.last == ParseStatus::Complete) {
                parsed.replies.push_back(parser.TakeReply());
            } else if (parsed.last != ParseStatus::NeedMore) {
                return parsed;
            }
        } while (!piece.empty());
    }
    return parsed;
}

Parsed ParseWhole(std::string_view bytes, const ReplyLimits& limits = {})
{
    ReplyParser parser(limits);
    return FeedPieces(parser, {bytes});
}

std::vector<std::string_view> SplitEvery(std::string_view bytes, std::size_t size)
{
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0; at < bytes.size(); at += size) {
        pieces.push_back(bytes.substr(at, size));
    }
    return pieces;
}

struct ValidCase {
    std::string name;
    std::string bytes;
    Reply expected;
};

const std::vector<ValidCase>& ValidCases()
{
    static const std::vector<ValidCase> cases = {
        {"simple string", "+OK\r\n", Simple("OK")},
        {"empty simple string", "+\r\n", Simple("")},
        {"error", "-ERR unknown command 'NOPE'\r\n", Error("ERR unknown command 'NOPE'")},
        {"zero", ":0\r\n", Integer(0)},
        {"negative integer", ":-42\r\n", Integer(-42)},
        {"largest integer", ":9223372036854775807\r\n", Integer(INT64_MAX)},
        {"smallest integer", ":-9223372036854775808\r\n", Integer(INT64_MIN)},
        {"bulk string", "$5\r\nhello\r\n", Bulk("hello")},
        {"empty bulk string", "$0\r\n\r\n", Bulk("")},
        {"binary bulk string", "$8\r\na\r\nb\0c\nd\r\n"s, Bulk("a\r\nb\0c\nd"s)},
        {"null bulk string", "$-1\r\n", Nil()},
        {"null array", "*-1\r\n", Nil()},
        {"empty array", "*0\r\n", Array({})},
        {"mixed array", "*4\r\n:1\r\n$3\r\nfoo\r\n+OK\r\n-ERR x\r\n",
         Array({Integer(1), Bulk("foo"), Simple("OK"), Error("ERR x")})},
        {"nested arrays", "*2\r\n*2\r\n*0\r\n$-1\r\n*1\r\n$1\r\nz\r\n",
         Array({Array({Array({}), Nil()}), Array({Bulk("z")})})},
    };
    return cases;
}

TEST(ReplyParser, ParsesEveryReplyTypeWhole)
{
    for (const ValidCase& c : ValidCases()) {
        const Parsed parsed = ParseWhole(c.bytes);
        EXPECT_EQ(parsed.last, ParseStatus::Complete) << c.name;
        ASSERT_EQ(parsed.replies.size(), 1u) << c.name;
        EXPECT_EQ(parsed.replies[0], c.expected) << c.name;
    }
}

TEST(ReplyParser, GivesTheSameReplyWhereverTheInputIsSplit)
{
    for (const ValidCase& c : ValidCases()) {
        const std::string_view bytes = c.bytes;
        for (std::size_t split = 1; split < bytes.size(); ++split) {
            ReplyParser parser;
            std::string_view head = bytes.substr(0, split);
            ASSERT_EQ(parser.Feed(head), ParseStatus::NeedMore) << c.name << " split at " << split;
            const Parsed parsed = FeedPieces(parser, {bytes.substr(split)});
            ASSERT_EQ(parsed.replies.size(), 1u) << c.name << " split at " << split;
            EXPECT_EQ(parsed.replies[0], c.expected) << c.name << " split at " << split;
        }
        ReplyParser parser;
        const Parsed byByte = FeedPieces(parser, SplitEvery(bytes, 1));
        ASSERT_EQ(byByte.replies.size(), 1u) << c.name << " byte by byte";
        EXPECT_EQ(byByte.replies[0], c.expected) << c.name << " byte by byte";
    }
}

TEST(ReplyParser, ReadsPipelinedRepliesInOrderAndLeavesTheRestOfTheInput)
{
    std::string all;
    std::vector<Reply> expected;
    for (const ValidCase& c : ValidCases()) {
        all += c.bytes;
        expected.push_back(c.expected);
    }
    for (std::size_t piece : {all.size(), std::size_t{3}, std::size_t{1}}) {
        ReplyParser parser;
        const Parsed parsed = FeedPieces(parser, SplitEvery(all, piece));
        EXPECT_EQ(parsed.replies, expected) << "pieces of " << piece;
    }

    ReplyParser parser;
    std::string_view input = "+first\r\n:2\r\n";
    ASSERT_EQ(parser.Feed(input), ParseStatus::Complete);
    EXPECT_EQ(input, ":2\r\n");
    EXPECT_EQ(parser.TakeReply(), Simple("first"));
}

// Small limits make every bound reachable with short input.
ReplyLimits SmallLimits()
{
    ReplyLimits limits;
    limits.maxLineLength = 32;
    limits.maxBulkLength = 16;
    limits.maxArrayLength = 4;
    limits.maxElements = 6;
    limits.maxDepth = 3;
    limits.maxReplyBytes = 80;
    return limits;
}

struct HostileCase {
    std::string name;
    std::string bytes;
};

const std::vector<HostileCase>& HostileCases()
{
    static const std::vector<HostileCase> cases = {
        {"bulk length beyond 64 bits", "$99999999999999999999\r\n"},
        {"bulk length beyond the limit", "$17\r\n"},
        {"bulk length -2", "$-2\r\n"},
        {"bulk length most negative", "$-9223372036854775808\r\n"},
        {"array length -2", "*-2\r\n"},
        {"array length beyond the limit", "*5\r\n"},
        {"elements beyond the limit", "*4\r\n*4\r\n"},
        {"nesting beyond the limit", "*1\r\n*1\r\n*1\r\n*1\r\n"},
        {"empty array beyond the nesting limit", "*1\r\n*1\r\n*1\r\n*0\r\n"},
        {"reply beyond its byte limit", "*4\r\n" +
                                            [] {
                                                std::string bulks;
                                                for (int i = 0; i < 4; ++i) {
                                                    bulks += "$16\r\n0123456789abcdef\r\n";
                                                }
                                                return bulks;
                                            }()},
        {"line beyond the limit", "+" + std::string(40, 'a')},
        {"LF without CR", "+OK\n"},
        {"CR inside a line", "+O\rK\r\n"},
        {"bulk body too long", "$3\r\nabcXY"},
        {"bulk body with CR only", "$3\r\nabc\rX"},
        {"integer with a letter", ":12a\r\n"},
        {"integer with a blank", ": 1\r\n"},
        {"integer with a plus", ":+1\r\n"},
        {"integer empty", ":\r\n"},
        {"integer beyond 64 bits", ":9223372036854775808\r\n"},
        {"bulk length with a blank", "$ 3\r\n"},
        {"bulk length with a plus", "$+3\r\n"},
        {"array length empty", "*\r\n"},
        {"array length with a letter", "*1x\r\n"},
        {"unknown type", "!3\r\n"},
        {"empty line", "\r\n"},
        {"array element invalid", "*2\r\n:1\r\n?\r\n"},
    };
    return cases;
}

TEST(ReplyParser, RejectsHostileInputWithAProtocolError)
{
    for (const HostileCase& c : HostileCases()) {
        ReplyParser parser(SmallLimits());
        const Parsed parsed = FeedPieces(parser, {c.bytes});
        EXPECT_EQ(parsed.last, ParseStatus::ProtocolError) << c.name;
        EXPECT_TRUE(parsed.replies.empty()) << c.name;
        ASSERT_NE(parser.Error(), nullptr) << c.name;
        // The failure sticks: nothing after it is read as a reply.
        std::string_view more = "+OK\r\n";
        EXPECT_EQ(parser.Feed(more), ParseStatus::ProtocolError) << c.name;

        ReplyParser byByte(SmallLimits());
        EXPECT_EQ(FeedPieces(byByte, SplitEvery(c.bytes, 1)).last, ParseStatus::ProtocolError) << c.name;
    }
}

TEST(ReplyParser, ResetMakesAFailedParserUsableAgain)
{
    ReplyParser parser;
    std::string_view bad = "?\r\n";
    ASSERT_EQ(parser.Feed(bad), ParseStatus::ProtocolError);
    parser.Reset();
    EXPECT_EQ(parser.Error(), nullptr);
    const Parsed parsed = FeedPieces(parser, {"+OK\r\n"});
    ASSERT_EQ(parsed.replies.size(), 1u);
    EXPECT_EQ(parsed.replies[0], Simple("OK"));
}

TEST(ReplyParser, DefaultLimitsRejectHugeLengths)
{
    for (const char* bytes :
         {"$2147483648\r\n", "$9223372036854775807\r\n", "*1073741824\r\n", "*9223372036854775807\r\n"}) {
        EXPECT_EQ(ParseWhole(bytes).last, ParseStatus::ProtocolError) << bytes;
    }
    std::string deep;
    for (int level = 0; level < 1000; ++level) {
        deep += "*1\r\n";
    }
    EXPECT_EQ(ParseWhole(deep).last, ParseStatus::ProtocolError);
}

TEST(ReplyParser, AllocatesForTheBytesThatArrivedNotForTheLengthAnnounced)
{
    if (!test::AllocationTrackingAvailable()) {
        GTEST_SKIP() << "this build's sanitizer owns operator new, so allocations cannot be counted";
    }
    test::ResetLargestAllocation();
    {
        const std::vector<char> probe(300000);
    }
    ASSERT_GE(test::LargestAllocation(), 300000u) << "the allocation tracker is not in use";
    // Lengths within the default limits whose data never comes.
    for (const char* bytes : {"$60000000\r\nabc", "*1000000\r\n:1\r\n", "*1000\r\n*1000\r\n*1000\r\n"}) {
        test::ResetLargestAllocation();
        EXPECT_EQ(ParseWhole(bytes).last, ParseStatus::NeedMore) << bytes;
        EXPECT_LT(test::LargestAllocation(), 256u * 1024) << bytes;
    }
}

} // namespace
} // namespace korvo::remote
