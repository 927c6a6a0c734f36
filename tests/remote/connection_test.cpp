// One connection against a real redis-server: pipelining, binary values, SELECT, AUTH (the
// default user and an ACL user), functions, a port nobody listens on and a stalled server.
#include <gtest/gtest.h>

#include <string>

#include "client_test_support.h"
#include "redis_test_server.h"

namespace korvo::remote {
namespace {

using namespace std::chrono_literals;
using test::RedisTestServer;

Connection OpenOrFail(const ServerSettings& settings)
{
    Connection connection;
    const Status status = connection.Open(settings);
    EXPECT_TRUE(status.Ok()) << std::hex << status.code << " " << status.text;
    return connection;
}

TEST(Connection, PipelineGetsEveryReplyInOrderWithServerErrorsAsData)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    Connection connection = OpenOrFail(server.Settings());

    Request request;
    ASSERT_EQ(request.Add({"SET", "word", "text"}), S_OK);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(request.Add({"INCR", "counter"}), S_OK);
    }
    ASSERT_EQ(request.Add({"INCR", "word"}), S_OK);
    ASSERT_EQ(request.Add({"GET", "counter"}), S_OK);
    ASSERT_EQ(request.Add({"GET", "missing"}), S_OK);
    std::vector<Reply> replies;
    const Status status = connection.Execute(request, replies);
    ASSERT_TRUE(status.Ok()) << status.text;
    ASSERT_EQ(replies.size(), 104u);
    EXPECT_EQ(replies[0], Simple("OK"));
    for (int i = 1; i <= 100; ++i) {
        EXPECT_EQ(replies[i], Integer(i));
    }
    EXPECT_EQ(replies[101], Error("ERR value is not an integer or out of range"));
    EXPECT_EQ(replies[102], Bulk("100"));
    EXPECT_EQ(replies[103], Nil());
    EXPECT_TRUE(connection.IsUsable());
}

TEST(Connection, CarriesBinaryAndLargeValuesUnchanged)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    Connection connection = OpenOrFail(server.Settings());

    std::string every_byte;
    for (int byte = 0; byte < 256; ++byte) {
        every_byte += static_cast<char>(byte);
    }
    every_byte += "\r\n$5\r\n*1\r\n";
    std::string large(3 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 31 % 251);
    }
    const Outcome outcome = Call(connection, {{"SET", every_byte, large}, {"GET", every_byte}, {"STRLEN", every_byte}});
    ASSERT_TRUE(outcome.status.Ok()) << outcome.status.text;
    ASSERT_EQ(outcome.replies.size(), 3u);
    EXPECT_EQ(outcome.replies[1].type, ReplyType::BulkString);
    EXPECT_TRUE(outcome.replies[1].text == large) << "the value read back differs";
    EXPECT_EQ(outcome.replies[2], Integer(static_cast<std::int64_t>(large.size())));
}

TEST(Connection, SelectsTheConfiguredDatabase)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ServerSettings fifth = server.Settings();
    fifth.database = 5;
    Connection inFifth = OpenOrFail(fifth);
    Connection inFirst = OpenOrFail(server.Settings());
    ASSERT_TRUE(Call(inFifth, {{"SET", "where", "five"}}).status.Ok());
    EXPECT_EQ(Call(inFifth, {{"GET", "where"}}).reply(), Bulk("five"));
    EXPECT_EQ(Call(inFirst, {{"GET", "where"}}).reply(), Nil());

    ServerSettings missing = server.Settings();
    missing.database = 100; // beyond the server's 16
    Connection refused;
    const Status status = refused.Open(missing);
    EXPECT_EQ(status.code, hresult::kDatabaseRejected);
    EXPECT_NE(status.text.find("DB index is out of range"), std::string::npos) << status.text;
    EXPECT_TRUE(refused.IsBroken());
}

TEST(Connection, AuthenticatesTheDefaultUserAndAnAclUser)
{
    RedisTestServer server({"--requirepass", "door-key", "--user", "alice", "on", ">alice-key", "~*", "&*", "+@all"});
    KORVO_START_REDIS(server);

    ServerSettings byPassword = server.Settings();
    byPassword.password = "door-key";
    byPassword.database = 2;
    Connection first = OpenOrFail(byPassword);
    EXPECT_EQ(Call(first, {{"ACL", "WHOAMI"}}).reply(), Bulk("default"));

    ServerSettings asAlice = server.Settings();
    asAlice.user = "alice";
    asAlice.password = "alice-key";
    Connection second = OpenOrFail(asAlice);
    EXPECT_EQ(Call(second, {{"ACL", "WHOAMI"}}).reply(), Bulk("alice"));

    ServerSettings wrong = server.Settings();
    wrong.password = "not-the-key";
    wrong.database = 2;
    Connection refused;
    const Status status = refused.Open(wrong);
    EXPECT_EQ(status.code, hresult::kAuthenticationFailed);
    EXPECT_NE(status.text.find("WRONGPASS"), std::string::npos) << status.text;
    EXPECT_TRUE(refused.IsBroken());

    // Without a password the connection opens, and the server's refusal comes back as data.
    Connection anonymous = OpenOrFail(server.Settings());
    const Reply reply = Call(anonymous, {{"GET", "x"}}).reply();
    EXPECT_TRUE(reply.IsError());
    EXPECT_EQ(reply.text.rfind("NOAUTH", 0), 0u) << reply.text;
}

TEST(Connection, LoadsAndCallsAFunction)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    Connection connection = OpenOrFail(server.Settings());
    const char* library = "#!lua name=korvo_test\n"
                          "redis.register_function('korvo_add', function(keys, args)\n"
                          "  return redis.call('INCRBY', keys[1], args[1])\n"
                          "end)\n";
    const Outcome outcome = Call(connection, {{"FUNCTION", "LOAD", "REPLACE", library},
                                              {"FCALL", "korvo_add", "1", "{k:t}:n", "5"},
                                              {"FCALL", "korvo_add", "1", "{k:t}:n", "7"},
                                              {"FCALL", "korvo_missing", "0"}});
    ASSERT_TRUE(outcome.status.Ok()) << outcome.status.text;
    ASSERT_EQ(outcome.replies.size(), 4u);
    EXPECT_EQ(outcome.replies[0], Bulk("korvo_test"));
    EXPECT_EQ(outcome.replies[1], Integer(5));
    EXPECT_EQ(outcome.replies[2], Integer(12));
    EXPECT_TRUE(outcome.replies[3].IsError());
}

// Every connection opened with a library can call it at once; the second one finds it there
// already, which is no failure.
TEST(Connection, LoadsTheConfiguredLibraryWithTheHandshake)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ServerSettings settings = server.Settings();
    settings.functionLibrary = "#!lua name=korvo_handshake\n"
                               "redis.register_function('korvo_twice', function(keys, args)\n"
                               "  return 2 * tonumber(args[1])\n"
                               "end)\n";
    for (int opened = 0; opened < 2; ++opened) {
        Connection connection = OpenOrFail(settings);
        const Outcome outcome = Call(connection, {{"FCALL", "korvo_twice", "0", "21"}});
        ASSERT_TRUE(outcome.status.Ok()) << outcome.status.text;
        EXPECT_EQ(outcome.replies.at(0), Integer(42));
    }
}

TEST(Connection, PortWithNothingListeningIsRefusedAtOnce)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ServerSettings settings = server.Settings();
    server.Stop();
    settings.connectTimeout = 20s;

    Connection connection;
    const auto start = std::chrono::steady_clock::now();
    const Status status = connection.Open(settings);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(status.code, socket_error::kConnectionRefused) << std::hex << status.code << " " << status.text;
    EXPECT_EQ(static_cast<std::uint32_t>(status.code), 0x8007274Du);
    EXPECT_LT(elapsed, 10s) << "a refusal must not wait for the connect time-out";
    EXPECT_TRUE(connection.IsBroken());
    std::vector<Reply> replies;
    EXPECT_EQ(connection.Execute(Request{}, replies).code, socket_error::kNotConnected);
}

TEST(Connection, UnknownHostIsReported)
{
    ServerSettings settings;
    settings.host = "no-such-host.invalid";
    Connection connection;
    const Status status = connection.Open(settings);
    // Without any name server (a sandbox) the resolver says "try again" instead.
    EXPECT_TRUE(status.code == socket_error::kHostNotFound || status.code == socket_error::kTryAgain)
        << std::hex << status.code;
    EXPECT_TRUE(connection.IsBroken());
}

TEST(Connection, StalledServerHitsTheOperationTimeOutAndBreaksTheConnection)
{
    RedisTestServer server;
    KORVO_START_REDIS(server);
    ServerSettings settings = server.Settings();
    settings.operationTimeout = 300ms;
    Connection connection = OpenOrFail(settings);

    ASSERT_TRUE(server.Pause());
    const Outcome stalled = Call(connection, {{"ECHO", "old"}});
    ASSERT_TRUE(server.Resume());
    EXPECT_EQ(stalled.status.code, socket_error::kTimedOut) << std::hex << stalled.status.code;
    EXPECT_EQ(static_cast<std::uint32_t>(stalled.status.code), 0x8007274Cu);
    EXPECT_NE(stalled.status.text.find("time-out"), std::string::npos) << stalled.status.text;
    EXPECT_GE(stalled.elapsed, 290ms);
    EXPECT_LT(stalled.elapsed, 5s) << "the time-out is the bound of the whole call";
    EXPECT_TRUE(connection.IsBroken());

    // Once the server runs again, its late reply to "old" never reaches a later call.
    ASSERT_TRUE(connection.Open(settings).Ok());
    EXPECT_EQ(Call(connection, {{"ECHO", "new"}}).reply(), Bulk("new"));
}

} // namespace
} // namespace korvo::remote
