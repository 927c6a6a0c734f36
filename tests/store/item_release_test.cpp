// Items that leave a store for good are released after the store's section is left, still
// before the member returns: a released object's destructor may call back into the store.
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "callback_object.h"
#include "member_calls.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "members/sharing.h"

namespace korvo::testing {
namespace {

// True when another thread can work on the object's store while the callback runs, i.e.
// the store's section is not held by the releasing thread.
bool StoreUsableFromAnotherThread(ObjectState& object)
{
    auto probe = std::async(std::launch::async, [&] {
        LONG keys = 0;
        return members::KeysCount(object, &keys) == S_OK;
    });
    return probe.wait_for(std::chrono::seconds(10)) == std::future_status::ready && probe.get();
}

struct ReleaseCase {
    const char* name;
    std::function<void(ObjectState&)> removeTheItem;
};

class ItemRelease : public ::testing::TestWithParam<ReleaseCase> {};

TEST_P(ItemRelease, HappensOutsideTheSectionBeforeTheMemberReturns)
{
    ObjectState object;
    bool released = false;
    bool unlocked = false;
    LONG countSeenInCallback = -1;
    CallbackObject item([&] {
        released = true;
        unlocked = StoreUsableFromAnotherThread(object);
        members::ItemsCount(object, &countSeenInCallback);
        AddOk(object, u"added-by-destructor", 1);
    });
    Var value;
    V_VT(value.get()) = VT_UNKNOWN;
    V_UNKNOWN(value.get()) = &item;
    item.AddRef();
    Bstr key(u"obj");
    ASSERT_EQ(members::Add(object, key, value.get()), S_OK);
    EXPECT_EQ(item.references(), 3u) << "the store shares the object";
    VariantClear(value.get());
    item.Release();
    ASSERT_EQ(item.references(), 1u);

    GetParam().removeTheItem(object);
    EXPECT_TRUE(released);
    EXPECT_TRUE(unlocked);
    EXPECT_EQ(CountOf(object, u"added-by-destructor"), 1);
    EXPECT_EQ(CountOf(object, u"obj"), 0);
}

INSTANTIATE_TEST_SUITE_P(Members, ItemRelease,
                         ::testing::Values(ReleaseCase{"Remove",
                                                       [](ObjectState& object) {
                                                           Bstr key(u"obj");
                                                           EXPECT_EQ(members::Remove(object, key, 0), S_OK);
                                                       }},
                                           ReleaseCase{"ItemPut",
                                                       [](ObjectState& object) {
                                                           Bstr key(u"obj");
                                                           Var replacement(2);
                                                           EXPECT_EQ(members::PutItem(object, key, replacement.get()),
                                                                     S_OK);
                                                           EXPECT_EQ(members::Remove(object, key, 0), S_OK);
                                                       }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ItemReleaseOnRebind, PrivateStoreItemsGoWhenTheObjectConnectsElsewhere)
{
    ObjectState object;
    bool released = false;
    CallbackObject item([&] { released = true; });
    Var value;
    V_VT(value.get()) = VT_UNKNOWN;
    V_UNKNOWN(value.get()) = &item;
    item.AddRef();
    Bstr key(u"obj");
    ASSERT_EQ(members::Add(object, key, value.get()), S_OK);
    VariantClear(value.get());
    item.Release();
    ASSERT_FALSE(released);
    ASSERT_EQ(members::DisConnect(object), S_OK);
    EXPECT_TRUE(released);
}

} // namespace
} // namespace korvo::testing
