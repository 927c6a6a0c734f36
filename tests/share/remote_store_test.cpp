// A store under a configured prefix lives on the server and answers every member exactly as
// a local named store does: each case runs once on a local name and once on a remote one,
// and the two transcripts of results and failures must be the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "counting_object.h"
#include "member_calls.h"
#include "members/enumeration.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "members/persistence.h"
#include "members/sharing.h"
#include "platform/com_ptr.h"
#include "remote/connection.h"
#include "remote_test_support.h"
#include "share/remote_store.h"

namespace korvo::testing {
namespace {

std::string Narrow(std::u16string_view text)
{
    std::string narrow;
    for (const char16_t unit : text) {
        if (unit < 0x80) {
            narrow.push_back(static_cast<char>(unit));
        } else {
            narrow += "\\u" + std::to_string(unit);
        }
    }
    return narrow;
}

std::string Render(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_EMPTY:
        return "empty";
    case VT_I4:
        return std::to_string(V_I4(&value));
    case VT_R8:
        return std::to_string(V_R8(&value));
    case VT_BSTR:
        return "'" + Narrow(ToU16(V_BSTR(&value))) + "'";
    case VT_BOOL:
        return V_BOOL(&value) ? "true" : "false";
    case VT_ARRAY | VT_VARIANT: {
        std::string text = "[";
        const SAFEARRAY* array = V_ARRAY(&value);
        const auto* elements = static_cast<const VARIANT*>(array->pvData);
        for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
            text += (i ? " " : "") + Render(elements[i]);
        }
        return text + "]";
    }
    default:
        return "vt" + std::to_string(V_VT(&value));
    }
}

std::string Hex(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(result));
    return text;
}

// One object on the store under test; every call appends what a script would see.
class Script {
public:
    // Keys may hold several items unless a case asks otherwise.
    explicit Script(const std::u16string& name)
    {
        EXPECT_EQ(members::Connect(object_, Bstr(name), Bstr(u"")), S_OK);
        EXPECT_EQ(members::PutUniqueKeys(object_, VARIANT_FALSE), S_OK);
    }

    void Add(std::u16string_view key, const VARIANT& item) { Log("add", members::Add(object_, Bstr(key), &item)); }
    void Add(std::u16string_view key, LONG number) { Add(key, Var(number).ref()); }
    void Add(std::u16string_view key, std::u16string_view text) { Add(key, Var(text).ref()); }
    void Put(std::u16string_view key, LONG number)
    {
        Var item(number);
        Log("put", members::PutItem(object_, Bstr(key), item.get()));
    }
    void Get(std::u16string_view key)
    {
        Var item;
        const HRESULT got = members::GetItem(object_, Bstr(key), item.get());
        Log("get", got, Render(item.ref()));
    }
    void Rename(std::u16string_view key, std::u16string_view newKey)
    {
        Log("rename", members::PutKey(object_, Bstr(key), Bstr(newKey)));
    }
    void Remove(std::u16string_view key) { Log("remove", members::Remove(object_, Bstr(key), 0)); }
    void RemoveAll(std::u16string_view pattern = {})
    {
        Log("removeall", members::RemoveAll(object_, pattern.empty() ? nullptr : static_cast<BSTR>(Bstr(pattern))));
    }
    void Unique(bool unique) { Log("unique", members::PutUniqueKeys(object_, unique ? VARIANT_TRUE : VARIANT_FALSE)); }
    void Save(const std::u16string& file, std::u16string_view pattern = {})
    {
        Bstr patternText(pattern);
        Log("save", members::Save(object_, Bstr(file), VARIANT_TRUE,
                                  pattern.empty() ? nullptr : static_cast<BSTR>(patternText)));
    }
    void Load(const std::u16string& file, std::u16string_view pattern = {})
    {
        Bstr patternText(pattern);
        Log("load", members::Load(object_, Bstr(file), pattern.empty() ? nullptr : static_cast<BSTR>(patternText)));
    }
    // Keys, items, the three counts and an enumerator's walk.
    void State()
    {
        Var keys;
        Var items;
        LONG itemCount = -1;
        LONG keyCount = -1;
        VARIANT_BOOL exists = VARIANT_FALSE;
        const HRESULT keysRead = members::Keys(object_, keys.get());
        Log("keys", keysRead, Render(keys.ref()));
        const HRESULT itemsRead = members::Items(object_, items.get());
        Log("items", itemsRead, Render(items.ref()));
        const HRESULT itemsCounted = members::ItemsCount(object_, &itemCount);
        Log("counts", itemsCounted, std::to_string(itemCount));
        const HRESULT keysCounted = members::KeysCount(object_, &keyCount);
        Log("keycount", keysCounted, std::to_string(keyCount));
        const HRESULT asked = members::Exists(object_, Bstr(u"k"), &exists);
        Log("exists k", asked, exists ? "yes" : "no");
        Walk();
    }
    void Count(std::u16string_view key)
    {
        LONG count = -1;
        const HRESULT counted = members::Count(object_, Bstr(key), &count);
        Log("count", counted, std::to_string(count));
    }

    const std::string& transcript() const { return transcript_; }

private:
    void Walk()
    {
        ComPtr<IUnknown> unknown;
        ComPtr<IEnumVARIANT> enumerator;
        const HRESULT made = members::NewEnum(object_, unknown.put());
        std::string walked;
        if (SUCCEEDED(made) && SUCCEEDED(unknown.As(IID_IEnumVARIANT, enumerator))) {
            Var next;
            while (enumerator->Next(1, next.get(), nullptr) == S_OK) {
                walked += Render(next.ref()) + " ";
                VariantClear(next.get());
            }
        }
        Log("enum", made, walked);
    }
    void Log(const char* what, HRESULT result, const std::string& detail = {})
    {
        transcript_ += std::string(what) + " " + Hex(result) + " " + detail + "\n";
    }

    ObjectState object_;
    std::string transcript_;
};

std::u16string TempFile(const char* label)
{
    static int serial = 0;
    return (std::filesystem::temp_directory_path() /
            ("korvo-remote-" + std::to_string(GetCurrentProcessId()) + "-" + label + std::to_string(++serial) + ".dic"))
        .u16string();
}

// A file of more records than one call of a Load adds (keys k00000..k08999 in order, every
// tenth key with a second item), written by a private local store.
std::u16string ManyRecordsFile()
{
    const std::u16string file = TempFile("many");
    ObjectState writer;
    EXPECT_EQ(members::PutUniqueKeys(writer, VARIANT_FALSE), S_OK);
    for (int i = 0; i < 9000; ++i) {
        char16_t key[8] = u"k00000";
        for (int digit = 5, rest = i; digit > 0; --digit, rest /= 10) {
            key[digit] = static_cast<char16_t>(u'0' + rest % 10);
        }
        Var item(static_cast<LONG>(i));
        EXPECT_EQ(members::Add(writer, Bstr(key), item.get()), S_OK);
        if (i % 10 == 0) {
            EXPECT_EQ(members::Add(writer, Bstr(key), item.get()), S_OK);
        }
    }
    EXPECT_EQ(members::Save(writer, Bstr(file), VARIANT_TRUE, nullptr), S_OK);
    return file;
}

struct Case {
    const char* name;
    CompareMode mode;
    std::function<void(Script&)> body;
};

const Case kCases[] = {
    {"AddOrdersKeysByCodeUnitAndKeepsInsertionOrder", CompareMode::Binary,
     [](Script& s) {
         for (const char16_t* key : {u"b", u"a", u"B", u"\u00e9", u"\u4e2d", u"ab", u"", u"a"}) {
             s.Add(key, static_cast<LONG>(std::char_traits<char16_t>::length(key)));
         }
         s.Add(u"a", u"text");
         s.Get(u"a");
         s.Get(u"b");
         s.Get(u"absent");
         s.Count(u"a");
         s.State();
     }},
    {"TextModeFoldsOnlyAsciiAndKeepsTheFirstSpelling", CompareMode::Text,
     [](Script& s) {
         for (const char16_t* key : {u"K", u"k", u"Zeta", u"alpha", u"[", u"_", u"\u00c9", u"\u00e9"}) {
             s.Add(key, 1);
         }
         s.Count(u"k");
         s.Get(u"K");
         s.State();
     }},
    {"PutReplacesOneItemAndRefusesSeveral", CompareMode::Binary,
     [](Script& s) {
         s.Put(u"k", 1);
         s.Put(u"k", 2);
         s.Add(u"two", 1);
         s.Add(u"two", 2);
         s.Put(u"two", 3);
         s.State();
     }},
    {"UniqueKeysRefuseAPresentKey", CompareMode::Text,
     [](Script& s) {
         s.Unique(true);
         s.Add(u"k", 1);
         s.Add(u"K", 2);
         s.Add(u"other", 3);
         s.State();
     }},
    {"RenameMovesBehindTheTargetsItems", CompareMode::Text,
     [](Script& s) {
         s.Add(u"a", 1);
         s.Add(u"a", 2);
         s.Add(u"b", 3);
         s.Rename(u"a", u"B");
         s.Rename(u"absent", u"c");
         s.State();
         s.Rename(u"b", u"K");
         s.State();
     }},
    {"RemoveAndRemoveAll", CompareMode::Binary,
     [](Script& s) {
         s.Add(u"k", 1);
         s.Add(u"k", 2);
         s.Add(u"j", 3);
         s.Remove(u"k");
         s.Remove(u"absent");
         s.State();
         s.RemoveAll();
         s.State();
         s.Add(u"k", 4);
         s.State();
     }},
    {"RemoveAllWithAPatternTestsEachSpelling", CompareMode::Text,
     [](Script& s) {
         for (const char16_t* key : {u"cart1", u"Cart2", u"cart2", u"wish1", u"k"}) {
             s.Add(key, 1);
         }
         s.RemoveAll(u"^cart");
         s.State();
         s.RemoveAll(u"(");
         s.State();
     }},
    {"SaveAndLoadTravelThroughAFile", CompareMode::Binary,
     [](Script& s) {
         const std::u16string file = TempFile("save");
         s.Add(u"k", 1);
         s.Add(u"k", u"two");
         s.Add(u"j", 3);
         s.Add(u"e", Var().ref());
         s.Save(file);
         s.RemoveAll();
         s.Load(file, u"^k");
         s.State();
         s.Load(file);
         s.State();
         s.RemoveAll();
         s.Unique(true);
         s.Add(u"k", 9);
         s.Load(file);
         s.State();
         std::filesystem::remove(std::filesystem::path(file));
     }},
    {"ALoadOfSeveralCallsKeepsEveryRecordInOrder", CompareMode::Binary,
     [](Script& s) {
         const std::u16string file = ManyRecordsFile();
         s.Add(u"k00042", u"before");
         s.Load(file);
         s.Count(u"k00042");
         s.Count(u"k08990");
         s.State();
         s.RemoveAll();
         s.Unique(true);
         s.Add(u"k05000", u"kept");
         s.Load(file);
         s.Get(u"k05000");
         s.Count(u"k08990");
         s.State();
         std::filesystem::remove(std::filesystem::path(file));
     }},
};

// ctest lists a case by its name rather than by its bytes.
void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.name;
}

class RemoteStoreTest : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite()
    {
        server_ = new test::RedisTestServer();
        started_ = server_->Start();
        if (started_ == test::RedisTestServer::StartResult::kStarted) {
            UseConfiguration(FarmConfiguration(server_->port()));
        }
    }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override
    {
        if (started_ == test::RedisTestServer::StartResult::kNotInstalled) {
            GTEST_SKIP() << "redis-server is not installed (./run bootstrap installs it)";
        }
        ASSERT_EQ(started_, test::RedisTestServer::StartResult::kStarted) << server_->failure();
    }

    static test::RedisTestServer* server_;
    static test::RedisTestServer::StartResult started_;
};

test::RedisTestServer* RemoteStoreTest::server_ = nullptr;
test::RedisTestServer::StartResult RemoteStoreTest::started_ = test::RedisTestServer::StartResult::kFailed;

TEST_P(RemoteStoreTest, AnswersAsTheLocalStoreDoes)
{
    const Case& c = GetParam();
    CompareModeScope restore;
    SetProcessCompareMode(c.mode);
    const std::u16string label = UniqueStoreName(u"same");
    Script local(label);
    Script remote(u"farm:" + label);
    c.body(local);
    c.body(remote);
    EXPECT_EQ(remote.transcript(), local.transcript());
}

INSTANTIATE_TEST_SUITE_P(Members, RemoteStoreTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What cannot travel, or would be ordered differently, is refused and leaves the store as
// it was.
TEST_F(RemoteStoreTest, RefusesWhatCannotTravelAndAnotherCompareMode)
{
    CompareModeScope restore;
    SetProcessCompareMode(CompareMode::Binary);
    ObjectState object;
    ConnectOk(object, u"farm:" + UniqueStoreName(u"refusals"));
    AddOk(object, u"k", 1);

    CountingObject counted;
    Var byObject;
    V_VT(byObject.get()) = VT_DISPATCH;
    V_DISPATCH(byObject.get()) = &counted;
    counted.AddRef();
    EXPECT_EQ(members::Add(object, Bstr(u"o"), byObject.get()), kRemoteValueRefused);
    EXPECT_EQ(members::PutItem(object, Bstr(u"k"), byObject.get()), kRemoteValueRefused);
    EXPECT_EQ(TakeErrorRecord().description, u"An object, array or record cannot be kept in a remote store.");

    SetProcessCompareMode(CompareMode::Text);
    Var item(2);
    EXPECT_EQ(members::Add(object, Bstr(u"K"), item.get()), kRemoteModeMismatch);
    LONG count = -1;
    EXPECT_EQ(members::ItemsCount(object, &count), kRemoteModeMismatch);

    SetProcessCompareMode(CompareMode::Binary);
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{1}));
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"k"}));
}

TEST_F(RemoteStoreTest, ObjectsOnOneRemoteNameShareTheEntriesAndNamesOutsideThePrefixStayLocal)
{
    const std::u16string label = UniqueStoreName(u"shared");
    ObjectState first;
    ObjectState second;
    ObjectState local;
    ConnectOk(first, u"farm:" + label);
    ConnectOk(second, u"farm:" + label);
    ConnectOk(local, u"farmer:" + label);
    AddOk(first, u"k", 7);
    EXPECT_EQ(ItemsOf(second), (std::vector<LONG>{7}));
    EXPECT_EQ(ItemsCountOf(local), 0);
}

// The functions come with each new connection; one flushed from under open connections is
// loaded again by the next call, which then does its work once.
TEST_F(RemoteStoreTest, FunctionsFlushedFromTheServerAreLoadedAgainByTheNextCall)
{
    ObjectState object;
    ConnectOk(object, u"farm:" + UniqueStoreName(u"flushed"));
    AddOk(object, u"a", 1);

    remote::Connection administrator;
    ASSERT_TRUE(administrator.Open(server_->Settings()).Ok());
    remote::Request flush;
    ASSERT_EQ(flush.Add({"FUNCTION", "FLUSH"}), S_OK);
    std::vector<remote::Reply> replies;
    ASSERT_TRUE(administrator.Execute(flush, replies).Ok());
    ASSERT_FALSE(replies.front().IsError()) << replies.front().text;

    AddOk(object, u"b", 2);
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{1, 2}));
}

} // namespace
} // namespace korvo::testing
