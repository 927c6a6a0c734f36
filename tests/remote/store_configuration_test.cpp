// The file that maps name prefixes to servers: its settings and defaults, the refusal of a
// file with any mistake, and the choice of the longest matching prefix.
#include <gtest/gtest.h>

#include "remote/store_configuration.h"

namespace korvo::remote {
namespace {

using std::chrono::milliseconds;

TEST(StoreConfiguration, ReadsEverySettingAndDefaultsTheRest)
{
    ConfigurationError error;
    const auto configuration = StoreConfiguration::Parse("# farm servers\n"
                                                         "[farm:]\r\n"
                                                         "Host = 10.0.0.5\n"
                                                         "Port=6380\n"
                                                         "User = web\n"
                                                         "Password = se=cret\n"
                                                         "Database = 3\n"
                                                         "ConnectTimeoutMs = 150\n"
                                                         "OperationTimeoutMs = 250\n"
                                                         "LockLeaseMs = 5000\n"
                                                         "\n"
                                                         "; defaults only\n"
                                                         "[caf\xc3\xa9:]\n"
                                                         "Host = cache\n",
                                                         error);
    ASSERT_EQ(configuration.Prefixes().size(), 2u) << error.line << ": " << error.text;
    const RemotePrefix& farm = configuration.Prefixes()[0];
    EXPECT_EQ(farm.prefix, u"farm:");
    EXPECT_EQ(farm.server.host, "10.0.0.5");
    EXPECT_EQ(farm.server.port, 6380);
    EXPECT_EQ(farm.server.user, "web");
    EXPECT_EQ(farm.server.password, "se=cret");
    EXPECT_EQ(farm.server.database, 3u);
    EXPECT_EQ(farm.server.connectTimeout, milliseconds(150));
    EXPECT_EQ(farm.server.operationTimeout, milliseconds(250));
    EXPECT_EQ(farm.lockLease, milliseconds(5000));

    const RemotePrefix& cafe = configuration.Prefixes()[1];
    EXPECT_EQ(cafe.prefix, u"caf\u00e9:");
    EXPECT_EQ(cafe.server.port, 6379);
    EXPECT_EQ(cafe.server.database, 0u);
    EXPECT_TRUE(cafe.server.password.empty());
    EXPECT_EQ(cafe.server.connectTimeout, milliseconds(2000));
    EXPECT_EQ(cafe.server.operationTimeout, milliseconds(2000));
    EXPECT_EQ(cafe.lockLease, milliseconds(30000));
}

struct BadFile {
    const char* text;
    std::size_t line;
};

TEST(StoreConfiguration, RefusesAFileWithAnyMistakeAndSaysWhere)
{
    const BadFile files[] = {
        {"Host = a\n", 1}, // a setting before any prefix
        {"[farm:]\nHots = a\n", 2}, // a misspelt name
        {"[farm:]\nPort = 65536\n", 2}, // out of range
        {"[farm:]\nPort = 12ab\n", 2}, // not a number
        {"[farm:]\nLockLeaseMs = -1\n", 2}, // negative
        {"[farm:]\nHost =\n", 2}, // empty host
        {"[farm:]\n[farm:]\n", 2}, // the same prefix twice
        {"[farm:\n", 1}, // an open section
        {"[farm:]\nHost a\n", 2}, // no '='
        {"[\xff]\n", 1}, // not UTF-8
    };
    for (const BadFile& file : files) {
        ConfigurationError error;
        const auto configuration = StoreConfiguration::Parse(file.text, error);
        EXPECT_TRUE(configuration.empty()) << file.text;
        EXPECT_EQ(error.line, file.line) << file.text;
        EXPECT_FALSE(error.text.empty()) << file.text;
    }
}

TEST(StoreConfiguration, TheLongestMatchingPrefixWinsCaseSensitively)
{
    ConfigurationError error;
    const auto configuration = StoreConfiguration::Parse(
        "[farm:]\nHost = short\n[farm:cart]\nHost = long\n[]\nHost = every\n", error);
    ASSERT_EQ(configuration.Prefixes().size(), 3u);
    const struct {
        std::u16string_view name;
        const char* host;
    } lookups[] = {
        {u"farm:cart:7", "long"}, {u"farm:carts", "long"}, {u"farm:car", "short"},
        {u"farm:", "short"},      {u"Farm:cart", "every"}, {u"local", "every"},
    };
    for (const auto& lookup : lookups) {
        const RemotePrefix* found = configuration.Find(lookup.name);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->server.host, lookup.host) << std::string(lookup.name.begin(), lookup.name.end());
    }
    const auto narrow = StoreConfiguration::Parse("[farm:]\nHost = a\n", error);
    EXPECT_EQ(narrow.Find(u"farm"), nullptr);
    EXPECT_EQ(narrow.Find(u"FARM:x"), nullptr);
}

MachineSetting Text(std::u16string name, std::u16string text)
{
    return {std::move(name), false, 0, std::move(text)};
}
MachineSetting Number(std::u16string name, DWORD number)
{
    return {std::move(name), true, number, {}};
}

TEST(StoreConfiguration, TheRegistryFormTakesTextAndNumbersByType)
{
    ConfigurationError error;
    const auto configuration = StoreConfiguration::FromMachineSettings(
        {{u"farm:",
          {Text(u"", u"ignored"), Text(u"Host", u"h\u00f6st"), Number(u"Port", 6380), Text(u"Password", u"p"),
           Number(u"LockLeaseMs", 900)}},
         {u"other:", {}}},
        error);
    ASSERT_EQ(configuration.Prefixes().size(), 2u) << error.text;
    EXPECT_EQ(configuration.Prefixes()[0].server.host, "h\xc3\xb6st");
    EXPECT_EQ(configuration.Prefixes()[0].server.port, 6380);
    EXPECT_EQ(configuration.Prefixes()[0].server.password, "p");
    EXPECT_EQ(configuration.Prefixes()[0].lockLease, milliseconds(900));
    EXPECT_EQ(configuration.Prefixes()[1].server.operationTimeout, milliseconds(2000));

    const std::vector<MachineSetting> mistakes[] = {
        {Number(u"Host", 1)},
        {Text(u"Port", u"6379")},
        {Number(u"Port", 70000)},
        {Number(u"Lease", 1)},
        {Text(u"Host", u"")},
        {Text(u"User", std::u16string(1, u'\xd800'))},
        {Number(u"LockLeaseMs", 0xFFFFFFFFu)},
    };
    for (const auto& settings : mistakes) {
        const auto refused = StoreConfiguration::FromMachineSettings({{u"ok:", {}}, {u"farm:", settings}}, error);
        EXPECT_TRUE(refused.empty()) << settings.front().name.size();
        EXPECT_EQ(error.line, 2u);
    }
}

} // namespace
} // namespace korvo::remote
