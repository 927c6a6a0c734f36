// The entry codec against the server's functions on a real redis-server: what C++ encodes,
// the Lua side splits and joins again (rename, put) and C++ decodes back unchanged, and the
// server's byte order of the sort keys is the local key order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "member_calls.h"
#include "persist/value_reader.h"
#include "platform/unique_variant.h"
#include "redis_test_server.h"
#include "share/remote_call.h"
#include "share/remote_entry_codec.h"

namespace korvo::testing {
namespace {

namespace entry = remote_entry;

KeyView View(const std::u16string& text)
{
    return {reinterpret_cast<const OLECHAR*>(text.data()), text.size()};
}

std::string ValuePart(const VARIANT& value)
{
    std::string part;
    EXPECT_EQ(entry::AppendValuePart(value, part), S_OK);
    return part;
}

class RemoteEntryCodec : public ::testing::Test {
protected:
    void SetUp() override
    {
        KORVO_START_REDIS(server_);
        pool_ = std::make_unique<remote::ConnectionPool>(server_.Settings());
        NewStore();
    }
    // The keys of a store no call has used.
    void NewStore()
    {
        const std::string base = "codec:{" + std::to_string(++serial_) + "}:";
        keys_.clear();
        for (const char* part : {"idx", "data", "counts", "meta"}) {
            keys_.push_back(base + part);
        }
    }

    // One store function on this test's keys; a refusal fails the test.
    remote::Reply Call(std::string_view function, const std::vector<std::string>& arguments)
    {
        const std::vector<std::string_view> keys(keys_.begin(), keys_.end());
        const std::vector<std::string_view> views(arguments.begin(), arguments.end());
        remote::Reply reply;
        const remote::Status status = CallStoreFunction(*pool_, function, keys, views, reply);
        EXPECT_EQ(CallOutcome(status, reply), S_OK) << function << ": " << status.text << reply.text;
        return reply;
    }
    void Add(const std::u16string& key, const VARIANT& value, CompareMode mode = CompareMode::Binary)
    {
        Call("add", {std::string(entry::ModeArgument(mode)), entry::SortKey(View(key), mode), "0",
                     entry::KeyPart(View(key)), ValuePart(value)});
    }
    // The entries of the key's group, split by the codec; `group` keeps their bytes.
    std::vector<entry::EntryView> Group(const std::u16string& key, std::string& group)
    {
        const remote::Reply reply = Call("get", {"0", entry::SortKey(View(key), CompareMode::Binary)});
        group = reply.text;
        std::vector<entry::EntryView> entries;
        EXPECT_TRUE(entry::SplitGroup(group, entries));
        return entries;
    }

    test::RedisTestServer server_;
    std::unique_ptr<remote::ConnectionPool> pool_;
    std::vector<std::string> keys_;
    static inline int serial_ = 0;
};

struct ValueCase {
    VARTYPE type;
    std::size_t width; // the payload bytes that must come back
    std::u16string text{}; // the text of a string
};

// One payload for every number, its high bit set in every byte.
constexpr std::uint64_t kPayload = 0x8899AABBCCDDEEFFull;

// Every type with a value record: the numbers by the width of their payload, and strings
// with a surrogate pair, a lone surrogate and a NUL.
std::vector<ValueCase> ValueCases()
{
    const std::pair<std::size_t, std::vector<VARTYPE>> numbers[] = {
        {0, {VT_EMPTY, VT_NULL}},
        {1, {VT_I1, VT_UI1}},
        {2, {VT_I2, VT_BOOL, VT_UI2}},
        {4, {VT_I4, VT_R4, VT_ERROR, VT_UI4, VT_INT, VT_UINT}},
        {8, {VT_R8, VT_CY, VT_DATE, VT_I8, VT_UI8}},
    };
    std::vector<ValueCase> cases;
    for (const auto& [width, types] : numbers) {
        for (const VARTYPE type : types) {
            cases.push_back({type, width});
        }
    }
    cases.push_back({VT_BSTR, 0, u""});
    cases.push_back({VT_BSTR, 0, std::u16string(u"a\U0001F600\xD800z\0b", 7)});
    return cases;
}

void Make(const ValueCase& c, VARIANT& value)
{
    VariantInit(&value);
    V_VT(&value) = c.type;
    if (c.type == VT_BSTR) {
        V_BSTR(&value) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(c.text.data()),
                                           static_cast<UINT>(c.text.size()));
    } else {
        V_UI8(&value) = kPayload;
    }
}

void ExpectSame(const ValueCase& c, std::string_view record)
{
    UniqueVariant decoded;
    ASSERT_EQ(entry::DecodeValue(record, *decoded.get()), S_OK);
    ASSERT_EQ(V_VT(decoded.get()), c.type);
    if (c.type == VT_BSTR) {
        EXPECT_EQ(ToU16(V_BSTR(decoded.get())), c.text);
    } else {
        EXPECT_EQ(std::memcmp(&V_UI8(decoded.get()), &kPayload, c.width), 0);
    }
}

// Two entries of every value type under one key, renamed (the server splits the group and
// puts the new key part before each value part), read back and decoded.
TEST_F(RemoteEntryCodec, EveryValueTypeSurvivesTheServersSplitOfItsGroup)
{
    const std::vector<ValueCase> cases = ValueCases();
    for (const ValueCase& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        const std::u16string key = u"k" + std::u16string(1, static_cast<char16_t>(u'A' + (&c - cases.data())));
        const std::u16string renamed = u"\U0001F511" + key;
        UniqueVariant value;
        Make(c, *value.get());
        Add(key, *value.get());
        Add(key, *value.get());
        Call("rename", {"0", entry::SortKey(View(key), CompareMode::Binary),
                        entry::SortKey(View(renamed), CompareMode::Binary), entry::KeyPart(View(renamed))});
        std::string group;
        const auto entries = Group(renamed, group);
        ASSERT_EQ(entries.size(), 2u);
        for (const entry::EntryView& read : entries) {
            EXPECT_EQ(ToU16(read.key), renamed);
            ExpectSame(c, read.value);
        }
        EXPECT_EQ(entry::EntryBytes(entries[0]) + entry::EntryBytes(entries[1]), group);
    }
}

// Put on a key of one entry: the server keeps the entry's own key part and takes the new
// value part whole.
TEST_F(RemoteEntryCodec, PutKeepsTheFirstSpellingAndTakesTheNewValue)
{
    Var first(1);
    Add(u"Key", first.ref(), CompareMode::Text);
    const ValueCase text = ValueCases().back();
    UniqueVariant value;
    Make(text, *value.get());
    Call("put",
         {"1", entry::SortKey(View(u"KEY"), CompareMode::Text), entry::KeyPart(View(u"KEY")), ValuePart(*value.get())});
    const remote::Reply reply = Call("get", {"1", entry::SortKey(View(u"kEy"), CompareMode::Text)});
    std::vector<entry::EntryView> entries;
    ASSERT_TRUE(entry::SplitGroup(reply.text, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(ToU16(entries[0].key), u"Key");
    ExpectSame(text, entries[0].value);
}

// Keys whose order the two modes decide differently: case, the ASCII letters' neighbours,
// and the code units around the surrogates, which order by unit, not by code point.
TEST_F(RemoteEntryCodec, TheServerOrdersSortKeysAsTheLocalComparisonInBothModes)
{
    const std::u16string keys[] = {u"b",          u"a",       u"B",      u"ab",         u"",       u"Ab",
                                   u"[",          u"_",       u"`",      u"z",          u"{",      u"Z",
                                   u"\u00e9",     u"\u00c9",  u"\u0100", u"\U0001F600", u"\uE000", u"\uFFFF",
                                   u"\U00010000", u"a\u00ff", u"A\u0100"};
    for (const CompareMode mode : {CompareMode::Binary, CompareMode::Text}) {
        SCOPED_TRACE(mode == CompareMode::Text ? "text" : "binary");
        NewStore();
        Var item(1);
        for (const std::u16string& key : keys) {
            Add(key, item.ref(), mode);
        }
        std::vector<std::u16string> expected;
        for (const std::u16string& key : keys) {
            const bool known = std::any_of(expected.begin(), expected.end(), [&](const std::u16string& seen) {
                return CompareKeys(View(seen), View(key), mode) == 0;
            });
            if (!known) {
                expected.push_back(key);
            }
        }
        std::stable_sort(expected.begin(), expected.end(), [&](const std::u16string& a, const std::u16string& b) {
            return CompareKeys(View(a), View(b), mode) < 0;
        });
        remote::Reply reply = Call("all", {std::string(entry::ModeArgument(mode))});
        entry::StoreRead read;
        ASSERT_EQ(entry::DecodeStoreRead(reply, read), S_OK);
        std::vector<std::u16string> ordered;
        for (const auto& group : read.groups) {
            ordered.push_back(ToU16(read.entries[group.first].key));
        }
        EXPECT_EQ(ordered, expected);
    }
}

// Bytes that no writer of ours produced are refused, never read past their end.
TEST(RemoteEntryDecoding, RefusesGroupsNoWriterProduced)
{
    const std::string valid = entry::KeyPart(View(u"k")) + std::string("\x02\x00\x00\x00\x00\x00", 6);
    const std::string broken[] = {
        std::string(), // a group is never empty
        valid.substr(0, 3), // a length cut short
        std::string("\x03\x00\x00\x00kkk\x00\x00\x00\x00", 11), // a key of an odd byte count
        std::string("\x08\x00\x00\x00kk", 6), // a key past the end
        valid.substr(0, valid.size() - 1), // a value past the end
        valid + valid.substr(0, 5), // a second entry cut short
    };
    for (const std::string& group : broken) {
        UniqueVariant value;
        EXPECT_EQ(entry::DecodeGroup(group, *value.get()), hresult::kInvalidData) << group.size() << " bytes";
    }
    UniqueVariant value;
    EXPECT_EQ(entry::DecodeGroup(valid, *value.get()), S_OK);
    EXPECT_EQ(V_VT(value.get()), VT_EMPTY);
}

} // namespace
} // namespace korvo::testing
