// A remote store whose server cannot be reached, refuses, stops or dies: every call returns
// a failure with an error record, nothing falls back to a local store, and the first call
// after the server is back works.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "errors/identifiers.h"
#include "member_calls.h"
#include "members/items.h"
#include "members/sharing.h"
#include "remote_test_support.h"

namespace korvo::testing {
namespace {

constexpr HRESULT kConnectionRefused = static_cast<HRESULT>(0x8007274Du);
constexpr HRESULT kTimedOut = static_cast<HRESULT>(0x8007274Cu);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT kDatabaseRejected = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT kConnectionReset = static_cast<HRESULT>(0x80072746u);
constexpr HRESULT kHostNotFound = static_cast<HRESULT>(0x80072AF9u);
constexpr HRESULT kTryAgain = static_cast<HRESULT>(0x80072AFAu);

HRESULT ConnectTo(ObjectState& object, const std::u16string& name)
{
    return members::Connect(object, Bstr(name), Bstr(u""));
}

HRESULT AddTo(ObjectState& object, std::u16string_view key, LONG value)
{
    Var item(value);
    return members::Add(object, Bstr(key), item.get());
}

// Repeats `call` until it succeeds, for a client whose pool holds reconnects back for a
// while after a failure; the last failure when it never does.
template <class Call>
HRESULT UntilItWorks(Call&& call)
{
    HRESULT result = E_FAIL;
    for (int attempt = 0; attempt < 200 && FAILED(result); ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        result = call();
    }
    return result;
}

struct ConnectFailure {
    const char* name;
    std::vector<std::string> serverOptions;
    std::string settings;
    bool stopServer;
    HRESULT expected;
    const char* recordHolds; // a piece of the error record's text
};

void PrintTo(const ConnectFailure& c, std::ostream* out)
{
    *out << c.name;
}

class RemoteConnectFailure : public ::testing::TestWithParam<ConnectFailure> {};

TEST_P(RemoteConnectFailure, FailsConnectWithTheCodeAndStaysUnbound)
{
    const ConnectFailure& c = GetParam();
    test::RedisTestServer server(c.serverOptions);
    KORVO_START_REDIS(server);
    UseConfiguration(FarmConfiguration(server.port(), c.settings));
    if (c.stopServer) {
        ASSERT_TRUE(server.Kill());
    }
    ObjectState object;
    ClearErrorRecord();
    EXPECT_EQ(ConnectTo(object, u"farm:" + UniqueStoreName(u"unreachable")), c.expected);
    const ErrorRecord record = TakeErrorRecord();
    EXPECT_TRUE(record.present);
    const std::string description(record.description.begin(), record.description.end());
    EXPECT_NE(description.find(c.recordHolds), std::string::npos) << description;
}

const ConnectFailure kConnectFailures[] = {
    {"NothingListens", {}, "", true, kConnectionRefused, ""},
    {"WrongPassword", {"--requirepass", "secret"}, "Password = wrong\n", false, kAccessDenied, "WRONGPASS"},
    {"NoSuchDatabase", {}, "Database = 4000\n", false, kDatabaseRejected, "DB index"},
};

INSTANTIATE_TEST_SUITE_P(Server, RemoteConnectFailure, ::testing::ValuesIn(kConnectFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RemoteFailure, AServerRefusalCarriesItsText)
{
    test::RedisTestServer server({"--maxmemory", "1", "--maxmemory-policy", "noeviction"});
    KORVO_START_REDIS(server);
    UseConfiguration(FarmConfiguration(server.port()));
    ObjectState object;
    ASSERT_EQ(ConnectTo(object, u"farm:" + UniqueStoreName(u"refusing")), S_OK);
    ClearErrorRecord();
    EXPECT_EQ(AddTo(object, u"k", 1), E_FAIL);
    const ErrorRecord record = TakeErrorRecord();
    EXPECT_NE(record.description.find(u"OOM"), std::u16string::npos);
    // Made as a local failure's record is: the message table's text, the interface, the source.
    EXPECT_EQ(record.description.rfind(u"The store server refused the call: OOM", 0), 0u);
    EXPECT_EQ(record.source, u"Korvo.Dictionary");
    EXPECT_TRUE(IsEqualGUID(record.guid, kIidIDictionary));
}

TEST(RemoteFailure, AKilledServerFailsCallsUntilItIsBack)
{
    test::RedisTestServer server;
    KORVO_START_REDIS(server);
    UseConfiguration(FarmConfiguration(server.port()));
    ObjectState object;
    ASSERT_EQ(ConnectTo(object, u"farm:" + UniqueStoreName(u"killed")), S_OK);
    ASSERT_EQ(AddTo(object, u"before", 1), S_OK);

    ASSERT_TRUE(server.Kill());
    EXPECT_TRUE(FAILED(AddTo(object, u"during", 2)));
    LONG count = -1;
    EXPECT_TRUE(FAILED(members::ItemsCount(object, &count))) << "no local store answers instead";
    EXPECT_TRUE(TakeErrorRecord().present);

    // The restarted server keeps nothing (persistence is off) and has lost the functions,
    // which the next call loads again.
    ASSERT_TRUE(server.Restart());
    EXPECT_EQ(UntilItWorks([&] { return AddTo(object, u"after", 3); }), S_OK);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"after"}));
}

TEST(RemoteFailure, AStalledServerHitsTheOperationTimeOut)
{
    test::RedisTestServer server;
    KORVO_START_REDIS(server);
    UseConfiguration(FarmConfiguration(server.port(), "OperationTimeoutMs = 300\n"));
    ObjectState object;
    ASSERT_EQ(ConnectTo(object, u"farm:" + UniqueStoreName(u"stalled")), S_OK);
    ASSERT_EQ(AddTo(object, u"k", 1), S_OK);

    ASSERT_TRUE(server.Pause());
    EXPECT_EQ(AddTo(object, u"k", 2), kTimedOut);
    EXPECT_EQ(members::Lock(object, 0, nullptr), kTimedOut);
    ASSERT_TRUE(server.Resume());
    // The stalled Add may have run once the server went on: its outcome was unknown, so it
    // was reported as a failure, never as a success.
    LONG count = -1;
    EXPECT_EQ(UntilItWorks([&] { return members::Count(object, Bstr(u"k"), &count); }), S_OK);
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 2);
}

TEST(RemoteFailure, AConnectionClosedMidCallFailsThatCallAndTheNextOneWorks)
{
    // The server drops a client whose reply outgrows its output buffer limit: the connection
    // closes under the Item get.
    test::RedisTestServer server({"--client-output-buffer-limit", "normal 256kb 0 0"});
    KORVO_START_REDIS(server);
    UseConfiguration(FarmConfiguration(server.port()));
    ObjectState object;
    ASSERT_EQ(ConnectTo(object, u"farm:" + UniqueStoreName(u"reset")), S_OK);
    Var large(std::u16string(512 * 1024, u'x'));
    ASSERT_EQ(members::Add(object, Bstr(u"large"), large.get()), S_OK);

    ClearErrorRecord();
    Var read;
    EXPECT_EQ(members::GetItem(object, Bstr(u"large"), read.get()), kConnectionReset);
    EXPECT_EQ(V_VT(read.get()), VT_EMPTY) << "a failed call hands back no value";
    EXPECT_TRUE(TakeErrorRecord().present);

    VARIANT_BOOL found = VARIANT_FALSE;
    EXPECT_EQ(members::Exists(object, Bstr(u"large"), &found), S_OK) << "the next call reconnects";
    EXPECT_EQ(found, VARIANT_TRUE);
    LONG count = -1;
    EXPECT_EQ(members::ItemsCount(object, &count), S_OK);
    EXPECT_EQ(count, 1);
}

TEST(RemoteFailure, AnUnknownHostFailsConnectWithTheResolversCode)
{
    UseConfiguration("[farm:]\nHost = no-such-host.invalid\nConnectTimeoutMs = 5000\n");
    ObjectState object;
    ClearErrorRecord();
    const HRESULT connected = ConnectTo(object, u"farm:" + UniqueStoreName(u"nowhere"));
    // Without any name server (a sandbox) the resolver says "try again" instead.
    EXPECT_TRUE(connected == kHostNotFound || connected == kTryAgain) << std::hex << connected;
    EXPECT_TRUE(TakeErrorRecord().present);
    LONG count = -1;
    EXPECT_EQ(members::ItemsCount(object, &count), S_OK) << "the object stays on its own store";
    EXPECT_EQ(count, 0);
}

TEST(RemoteFailure, AConnectThatFailedReadsTheConfigurationAgain)
{
    test::RedisTestServer server;
    KORVO_START_REDIS(server);
    const std::string path = UseConfiguration(FarmConfiguration(1)); // a port nobody listens on
    ObjectState object;
    const std::u16string name = u"farm:" + UniqueStoreName(u"moved");
    EXPECT_TRUE(FAILED(ConnectTo(object, name)));

    // The administrator corrects the address; the next Connect finds it without a restart.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << FarmConfiguration(server.port());
    EXPECT_EQ(ConnectTo(object, name), S_OK);
    EXPECT_EQ(AddTo(object, u"k", 1), S_OK);
}

} // namespace
} // namespace korvo::testing
