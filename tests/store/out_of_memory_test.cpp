// Memory exhaustion at every allocation of a member fails it with E_OUTOFMEMORY and leaves
// the store as it was.
#include <functional>

#include "failing_allocator.h"
#include "member_calls.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "members/sharing.h"

namespace korvo::testing {
namespace {

struct Snapshot {
    std::vector<std::u16string> keys;
    LONG items;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(ObjectState& object)
{
    return {KeysOf(object), ItemsCountOf(object)};
}

// A member under test, given its two text arguments (a key and a second key, item text or
// name), made before allocations start failing.
using Member = HRESULT (*)(ObjectState& object, BSTR first, BSTR second);

struct ExhaustionCase {
    const char* name;
    std::u16string first;
    std::u16string second;
    Member member;
};

class MemoryExhaustion : public ::testing::TestWithParam<ExhaustionCase> {};

// Fails the n-th allocation for n = 0, 1, 2 ... until the member succeeds; every failed
// attempt must report E_OUTOFMEMORY and change nothing.
TEST_P(MemoryExhaustion, FailsCleanlyAtEveryAllocation)
{
    const ExhaustionCase& c = GetParam();
    for (long failAt = 0; failAt < 200; ++failAt) {
        ObjectState object;
        ASSERT_EQ(members::PutUniqueKeys(object, VARIANT_FALSE), S_OK);
        AddOk(object, u"existing", 1);
        AddOk(object, u"twice", 2);
        AddOk(object, u"twice", 3);
        const Snapshot before = Take(object);
        Bstr first(c.first);
        Bstr second(c.second);

        ArmFailureAfter(failAt);
        const HRESULT result = c.member(object, first, second);
        Disarm();

        if (result == S_OK) {
            return;
        }
        EXPECT_EQ(result, E_OUTOFMEMORY) << "allocation " << failAt;
        EXPECT_EQ(Take(object), before) << "allocation " << failAt;
    }
    FAIL() << "the member never succeeded";
}

HRESULT AddItem(ObjectState& object, BSTR key, BSTR text)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_BSTR;
    V_BSTR(&item) = text;
    return members::Add(object, key, &item);
}

HRESULT PutItem(ObjectState& object, BSTR key, BSTR text)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_BSTR;
    V_BSTR(&item) = text;
    return members::PutItem(object, key, &item);
}

HRESULT RenameKey(ObjectState& object, BSTR key, BSTR newKey)
{
    return members::PutKey(object, key, newKey);
}

HRESULT ConnectTo(ObjectState& object, BSTR name, BSTR server)
{
    return members::Connect(object, name, server);
}

std::u16string FreshName()
{
    static int counter = 0;
    const std::string name = "oom-store-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    return std::u16string(name.begin(), name.end());
}

const std::u16string kLongText = u"a text long enough that every copy of it needs an allocation of its own";

INSTANTIATE_TEST_SUITE_P(Members, MemoryExhaustion,
                         ::testing::Values(ExhaustionCase{"AddNewKey", u"new " + kLongText, kLongText, AddItem},
                                           ExhaustionCase{"PutNewKey", u"put " + kLongText, kLongText, PutItem},
                                           ExhaustionCase{"PutExistingKey", u"existing", kLongText, PutItem},
                                           ExhaustionCase{"RenameGroup", u"twice", u"renamed " + kLongText, RenameKey},
                                           ExhaustionCase{"ConnectToNewName", FreshName(), u"", ConnectTo}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MemoryExhaustionOnAttach, FirstCallFailsAndALaterOneAttaches)
{
    if (!kOperatorNewCanFail) {
        GTEST_SKIP() << "a store is made with operator new, which cannot fail here";
    }
    ObjectState object;
    ArmFailureAfter(0);
    LONG count = -1;
    const HRESULT result = members::ItemsCount(object, &count);
    Disarm();
    EXPECT_EQ(result, E_OUTOFMEMORY);
    AddOk(object, u"k", 1);
    EXPECT_EQ(ItemsCountOf(object), 1);
}

} // namespace
} // namespace korvo::testing
