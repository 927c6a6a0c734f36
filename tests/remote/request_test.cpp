// The command encoder: exact bytes, binary-safe arguments, pipelines, and its output read
// back by the reply parser as the same arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remote/reply_parser.h"
#include "remote/request.h"
#include "reply_builders.h"

namespace korvo::remote {
namespace {

using namespace std::string_literals;

TEST(Request, EncodesEachCommandAsAnArrayOfBulkStrings)
{
    struct Case {
        std::vector<std::string_view> arguments;
        std::string bytes;
    };
    const std::string binary = "a\0\r\nb"s;
    const std::vector<Case> cases = {
        {{"PING"}, "*1\r\n$4\r\nPING\r\n"},
        {{"SET", "key", "value"}, "*3\r\n$3\r\nSET\r\n$3\r\nkey\r\n$5\r\nvalue\r\n"},
        {{"SET", "", binary}, "*3\r\n$3\r\nSET\r\n$0\r\n\r\n$5\r\na\0\r\nb\r\n"s},
    };
    for (const Case& c : cases) {
        Request request;
        ASSERT_EQ(request.Add(c.arguments), S_OK);
        EXPECT_EQ(request.Bytes(), c.bytes);
        EXPECT_EQ(request.CommandCount(), 1u);
    }
}

TEST(Request, AppendsPipelinedCommandsInOrder)
{
    Request request;
    ASSERT_EQ(request.Add({"INCR", "n"}), S_OK);
    ASSERT_EQ(request.Add({"GET", "n"}), S_OK);
    EXPECT_EQ(request.Bytes(), "*2\r\n$4\r\nINCR\r\n$1\r\nn\r\n*2\r\n$3\r\nGET\r\n$1\r\nn\r\n");
    EXPECT_EQ(request.CommandCount(), 2u);
    request.Clear();
    EXPECT_EQ(request.Bytes(), "");
    EXPECT_EQ(request.CommandCount(), 0u);
}

TEST(Request, RefusesACommandWithoutArgumentsAndStaysAsItWas)
{
    Request request;
    ASSERT_EQ(request.Add({"PING"}), S_OK);
    const std::string before = request.Bytes();
    EXPECT_EQ(request.Add(std::span<const std::string_view>{}), E_INVALIDARG);
    EXPECT_EQ(request.Bytes(), before);
    EXPECT_EQ(request.CommandCount(), 1u);
}

TEST(Request, ReadsBackAsTheSameArguments)
{
    std::string every_byte;
    for (int byte = 0; byte < 256; ++byte) {
        every_byte += static_cast<char>(byte);
    }
    const std::string large(100000, 'x');
    Request request;
    ASSERT_EQ(request.Add({"SET", every_byte, large, ""}), S_OK);

    ReplyParser parser;
    std::string_view input = request.Bytes();
    ASSERT_EQ(parser.Feed(input), ParseStatus::Complete);
    EXPECT_TRUE(input.empty());
    EXPECT_EQ(parser.TakeReply(), Array({Bulk("SET"), Bulk(every_byte), Bulk(large), Bulk("")}));
}

} // namespace
} // namespace korvo::remote
