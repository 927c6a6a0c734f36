// Copying an object into the store runs its AddRef, which may call back into the same store
// on the same thread, or wait for another thread that uses it. The copy is made before the
// store's section is taken: Add and Item put then look their key up once and act on what the
// AddRef left, and another thread is not kept waiting.
#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <ostream>
#include <string>
#include <utility>

#include "callback_object.h"
#include "member_calls.h"
#include "members/items.h"
#include "members/keys_and_modes.h"

namespace korvo::testing {
namespace {

// Enough keys right behind "m" to split the leaves that hold it several times over.
void AddKeysBehindM(ObjectState& object)
{
    for (int i = 0; i < 500; ++i) {
        const std::string key = "m" + std::to_string(i);
        AddOk(object, std::u16string(key.begin(), key.end()), i);
    }
}

struct ReentryCase {
    const char* name;
    bool put; // Item put, or else Add with UniqueKeys off
    std::function<void(ObjectState&)> duringTheCopy;
    LONG expectedItemsOfM; // items the key "m" holds afterwards
    bool mAtStart = true;
};

void PrintTo(const ReentryCase& reentry, std::ostream* out)
{
    *out << reentry.name;
}

class CopyRunsForeignCode : public ::testing::TestWithParam<ReentryCase> {};

TEST_P(CopyRunsForeignCode, TheMemberLooksItsKeyUpAgain)
{
    CallbackObject item; // outlives the store that holds it
    ObjectState object;
    ASSERT_EQ(members::PutUniqueKeys(object, VARIANT_FALSE), S_OK);
    for (const char16_t* key : {u"a", u"m", u"z"}) {
        if (GetParam().mAtStart || key != std::u16string_view(u"m")) {
            AddOk(object, key, 1);
        }
    }
    item.ArmForNextAddRef([&] { GetParam().duringTheCopy(object); });
    Var value;
    V_VT(value.get()) = VT_UNKNOWN;
    V_UNKNOWN(value.get()) = &item; // the Var does not own this reference

    Bstr key(u"m");
    const HRESULT result = GetParam().put ? members::PutItem(object, key, value.get())
                                          : members::Add(object, key, value.get());
    V_VT(value.get()) = VT_EMPTY;

    ASSERT_EQ(result, S_OK);
    EXPECT_EQ(CountOf(object, u"m"), GetParam().expectedItemsOfM);
    // The object is the key's last item, wherever the key's entries went.
    Var got;
    Bstr m(u"m");
    ASSERT_EQ(members::GetItem(object, m, got.get()), S_OK);
    const VARIANT& last = V_VT(got.get()) == (VT_ARRAY | VT_VARIANT)
                              ? static_cast<const VARIANT*>(V_ARRAY(got.get())->pvData)[GetParam().expectedItemsOfM - 1]
                              : *got.get();
    ASSERT_EQ(V_VT(&last), VT_UNKNOWN);
    EXPECT_EQ(V_UNKNOWN(&last), &item);
    // Keys stay in order and each once, and KeysCount agrees.
    const auto keys = KeysOf(object);
    LONG keysCount = 0;
    ASSERT_EQ(members::KeysCount(object, &keysCount), S_OK);
    EXPECT_EQ(static_cast<std::size_t>(keysCount), keys.size());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_TRUE(std::adjacent_find(keys.begin(), keys.end()) == keys.end());
}

INSTANTIATE_TEST_SUITE_P(
    Members, CopyRunsForeignCode,
    ::testing::Values(ReentryCase{"PutAfterTheKeyWasRemoved", true, [](ObjectState& o) { RemoveOk(o, u"m"); }, 1},
                      ReentryCase{"PutAfterTheLeavesSplit", true, [](ObjectState& o) { AddKeysBehindM(o); }, 1},
                      ReentryCase{"PutAfterTheLeavesSplitAndTheKeyWent", true,
                                  [](ObjectState& o) {
                                      AddKeysBehindM(o);
                                      RemoveOk(o, u"m");
                                  },
                                  1},
                      ReentryCase{"AddAfterTheLeavesSplit", false, [](ObjectState& o) { AddKeysBehindM(o); }, 2},
                      ReentryCase{"AddAfterTheKeyWasRemoved", false, [](ObjectState& o) { RemoveOk(o, u"m"); }, 1},
                      ReentryCase{"AddAfterTheKeyWasAdded", false, [](ObjectState& o) { AddOk(o, u"m", 7); }, 2, false},
                      // The key's one item, added meanwhile, is what the put replaces.
                      ReentryCase{"PutAfterTheKeyWasAdded", true, [](ObjectState& o) { AddOk(o, u"m", 7); }, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    bool put; // Item put, or else Add
    bool uniqueKeys;
    int itemsAdded; // items the AddRef adds under "m", which was not there
    const char16_t* message;
};

class CopyRunsForeignCodeRefused : public ::testing::TestWithParam<RefusedCase> {};

// What the AddRef added to the key refuses the member, as if it had been there before: the key
// keeps the items it got, and the store keeps no reference to the object.
TEST_P(CopyRunsForeignCodeRefused, TheKeyKeepsWhatTheAddRefGaveIt)
{
    const RefusedCase& c = GetParam();
    CallbackObject item;
    ObjectState object;
    ASSERT_EQ(members::PutUniqueKeys(object, c.uniqueKeys ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
    AddOk(object, u"a", 1);
    item.ArmForNextAddRef([&] {
        AddKeysBehindM(object);
        for (int i = 0; i < c.itemsAdded; ++i) {
            AddOk(object, u"m", 7);
        }
    });
    Var value;
    V_VT(value.get()) = VT_UNKNOWN;
    V_UNKNOWN(value.get()) = &item; // the Var does not own this reference

    Bstr key(u"m");
    const HRESULT result = c.put ? members::PutItem(object, key, value.get()) : members::Add(object, key, value.get());
    V_VT(value.get()) = VT_EMPTY;
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(TakeErrorRecord().description, c.message);
    EXPECT_EQ(CountOf(object, u"m"), c.itemsAdded);
    EXPECT_EQ(item.references(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Members, CopyRunsForeignCodeRefused,
    ::testing::Values(RefusedCase{"AddWithUniqueKeys", false, true, 1, u"This key is already in collection."},
                      RefusedCase{"PutAfterTwoItemsWereAdded", true, false, 2, u"There is more values to change"}),
    [](const auto& info) { return std::string(info.param.name); });

// With unique keys, a put of a key that the AddRef added replaces that key's one item.
TEST(CopyRunsForeignCodeUniqueKeys, APutReplacesTheItemTheAddRefAdded)
{
    CallbackObject item;
    ObjectState object;
    AddOk(object, u"a", 1);
    item.ArmForNextAddRef([&] {
        AddKeysBehindM(object);
        AddOk(object, u"m", 7);
    });
    Var value;
    V_VT(value.get()) = VT_UNKNOWN;
    V_UNKNOWN(value.get()) = &item; // the Var does not own this reference

    Bstr key(u"m");
    EXPECT_EQ(members::PutItem(object, key, value.get()), S_OK);
    V_VT(value.get()) = VT_EMPTY;
    EXPECT_EQ(CountOf(object, u"m"), 1);
    EXPECT_EQ(item.references(), 2u);
    Var got;
    Bstr m(u"m");
    ASSERT_EQ(members::GetItem(object, m, got.get()), S_OK);
    ASSERT_EQ(V_VT(got.get()), VT_UNKNOWN);
    EXPECT_EQ(V_UNKNOWN(got.get()), &item);
}

class CopyRunsOutsideTheSection : public ::testing::TestWithParam<bool> {};

// An AddRef that waits for another thread's call on the same named store: the call finds the
// store free. (A copy inside the section would keep it waiting until the AddRef gave up.)
TEST_P(CopyRunsOutsideTheSection, AnotherThreadUsesTheStoreWhileTheAddRefRuns)
{
    const bool put = GetParam();
    const std::u16string name = UniqueStoreName(u"copy-outside");
    ObjectState writer;
    ObjectState reader;
    ConnectOk(writer, name);
    ConnectOk(reader, name);
    AddOk(writer, u"a", 1);
    CallbackObject item;
    // Outlives the member: a call still waiting when the AddRef gives up ends after it.
    std::future<LONG> count;
    bool answered = false;
    item.ArmForNextAddRef([&] {
        count = std::async(std::launch::async, [&] { return CountOf(reader, u"a"); });
        answered = count.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    });
    Var value;
    V_VT(value.get()) = VT_UNKNOWN;
    V_UNKNOWN(value.get()) = &item; // the Var does not own this reference

    Bstr key(u"m");
    EXPECT_EQ(put ? members::PutItem(writer, key, value.get()) : members::Add(writer, key, value.get()), S_OK);
    V_VT(value.get()) = VT_EMPTY;
    EXPECT_TRUE(answered);
    EXPECT_EQ(count.get(), 1);
    EXPECT_EQ(CountOf(reader, u"m"), 1);
    RemoveOk(writer, u"m"); // a named store outlives the object on this stack
    DisConnectOk(reader);
    DisConnectOk(writer);
}

INSTANTIATE_TEST_SUITE_P(Members, CopyRunsOutsideTheSection, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Put" : "Add"); });

} // namespace
} // namespace korvo::testing
