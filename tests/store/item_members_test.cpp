// Results and failures of the item members: Item get/put, Add, Exists, Remove, Count,
// ItemsCount, KeysCount, Items and Keys.
#include "errors/identifiers.h"
#include "member_calls.h"
#include "members/items.h"
#include "members/keys_and_modes.h"

namespace korvo::testing {
namespace {

class ItemMembers : public ::testing::Test {
protected:
    void SetUp() override { ClearErrorRecord(); }
    void NonUnique() { ASSERT_EQ(members::PutUniqueKeys(object, VARIANT_FALSE), S_OK); }

    CompareModeScope modeScope;
    ObjectState object;
};

void ExpectRecord(const char16_t* description)
{
    const ErrorRecord record = TakeErrorRecord();
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.description, description);
    EXPECT_EQ(record.source, u"Korvo.Dictionary");
    EXPECT_TRUE(IsEqualGUID(record.guid, kIidIDictionary));
}

TEST_F(ItemMembers, SecondAddOfAKeyFailsInUniqueMode)
{
    AddOk(object, u"k", 1);
    Bstr key(u"k");
    Var item(2);
    EXPECT_EQ(members::Add(object, key, item.get()), E_FAIL);
    ExpectRecord(u"This key is already in collection.");
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{1}));
}

TEST_F(ItemMembers, NonUniqueKeyGathersItemsInOrderAdded)
{
    NonUnique();
    AddOk(object, u"k", 1);
    AddOk(object, u"k", 2);
    EXPECT_EQ(CountOf(object, u"k"), 2);
    EXPECT_EQ(ItemsCountOf(object), 2);
    LONG keys = 0;
    EXPECT_EQ(members::KeysCount(object, &keys), S_OK);
    EXPECT_EQ(keys, 1);
    Bstr key(u"k");
    Var items;
    ASSERT_EQ(members::GetItem(object, key, items.get()), S_OK);
    EXPECT_EQ(IntegerElements(items.ref()), (std::vector<LONG>{1, 2}));
    EXPECT_EQ(ArrayBounds(items.ref()), (std::pair<LONG, LONG>{0, 1}));
}

TEST_F(ItemMembers, ItemPutReplacesAddsOrRefusesByItemCount)
{
    NonUnique();
    AddOk(object, u"a", 1);
    AddOk(object, u"b", 2);
    AddOk(object, u"b", 3);
    AddOk(object, u"c", 4);

    Bstr a(u"a");
    Bstr b(u"b");
    Bstr z(u"z");
    Var ten(10);
    EXPECT_EQ(members::PutItem(object, a, ten.get()), S_OK);
    EXPECT_EQ(members::PutItem(object, z, ten.get()), S_OK);
    ClearErrorRecord();
    EXPECT_EQ(members::PutItem(object, b, ten.get()), E_FAIL);
    ExpectRecord(u"There is more values to change");
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"a", u"b", u"c", u"z"}));
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{10, 2, 3, 4, 10}));
}

TEST_F(ItemMembers, ItemGetOfAbsentKeyIsEmptyAndAddsNothing)
{
    Bstr key(u"missing");
    Var result(5);
    ASSERT_EQ(members::GetItem(object, key, result.get()), S_OK);
    EXPECT_EQ(V_VT(result.get()), VT_EMPTY);
    VARIANT_BOOL exists = VARIANT_TRUE;
    EXPECT_EQ(members::Exists(object, key, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_FALSE);
    EXPECT_EQ(ItemsCountOf(object), 0);
}

TEST_F(ItemMembers, SingleArrayItemComesBackAsThatArray)
{
    Var inner;
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_NE(array, nullptr);
    V_VT(inner.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(inner.get()) = array;
    Bstr key(u"arr");
    ASSERT_EQ(members::Add(object, key, inner.get()), S_OK);
    Var result;
    ASSERT_EQ(members::GetItem(object, key, result.get()), S_OK);
    EXPECT_EQ(ArrayBounds(result.ref()), (std::pair<LONG, LONG>{0, 1}));
    EXPECT_NE(V_ARRAY(result.get()), array) << "the caller gets its own copy";
    EXPECT_EQ(CountOf(object, u"arr"), 1);
}

TEST_F(ItemMembers, RemoveTakesEveryItemOfTheKeyWhateverItemPos)
{
    NonUnique();
    AddOk(object, u"a", 1);
    AddOk(object, u"a", 2);
    AddOk(object, u"b", 3);
    Bstr a(u"a");
    EXPECT_EQ(members::Remove(object, a, 1), S_OK);
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{3}));
    EXPECT_EQ(members::Remove(object, a, 0), S_OK) << "removing an absent key succeeds";
    EXPECT_EQ(ItemsCountOf(object), 1);
}

TEST_F(ItemMembers, CountWithoutKeyIsItemsCount)
{
    NonUnique();
    AddOk(object, u"a", 1);
    AddOk(object, u"a", 2);
    AddOk(object, u"b", 3);
    LONG count = 0;
    EXPECT_EQ(members::Count(object, nullptr, &count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(CountOf(object, u""), 3);
    EXPECT_EQ(CountOf(object, std::u16string(u"\0a", 2)), 3);
    EXPECT_EQ(CountOf(object, u"a"), 2);
    EXPECT_EQ(CountOf(object, u"none"), 0);
}

TEST_F(ItemMembers, EmptyStoreGivesEmptyArrays)
{
    Var items;
    Var keys;
    ASSERT_EQ(members::Items(object, items.get()), S_OK);
    ASSERT_EQ(members::Keys(object, keys.get()), S_OK);
    EXPECT_EQ(ArrayBounds(items.ref()), (std::pair<LONG, LONG>{0, -1}));
    EXPECT_EQ(ArrayBounds(keys.ref()), (std::pair<LONG, LONG>{0, -1}));
}

TEST_F(ItemMembers, TextModeJoinsCaseVariantsAndKeepsEarliestText)
{
    ASSERT_EQ(members::PutCompareMode(1), S_OK);
    NonUnique();
    AddOk(object, u"k", 1);
    AddOk(object, u"k", 2);
    AddOk(object, u"K", 3);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"k"}));
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{1, 2, 3}));
}

TEST_F(ItemMembers, TextModePutThroughOtherCaseReplacesTheItem)
{
    ASSERT_EQ(members::PutCompareMode(1), S_OK);
    AddOk(object, u"abc", 1);
    Bstr upper(u"ABC");
    Var two(2);
    ASSERT_EQ(members::PutItem(object, upper, two.get()), S_OK);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"abc"}));
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{2}));
}

// Members that give their result through a pointer refuse a null one with a bare E_POINTER.
TEST_F(ItemMembers, NullResultPointersGiveEPointerWithoutRecord)
{
    Bstr key(u"k");
    const std::vector<std::pair<const char*, HRESULT>> results = {
        {"Count", members::Count(object, key, nullptr)},
        {"CountNoKey", members::Count(object, nullptr, nullptr)},
        {"ItemsCount", members::ItemsCount(object, nullptr)},
        {"KeysCount", members::KeysCount(object, nullptr)},
        {"Items", members::Items(object, nullptr)},
        {"Keys", members::Keys(object, nullptr)},
        {"ItemGet", members::GetItem(object, key, nullptr)},
        {"Exists", members::Exists(object, key, nullptr)},
        {"UniqueKeysGet", members::GetUniqueKeys(object, nullptr)},
        {"CompareModeGet", members::GetCompareMode(nullptr)},
    };
    for (const auto& [member, result] : results) {
        EXPECT_EQ(result, E_POINTER) << member;
    }
    EXPECT_FALSE(TakeErrorRecord().present);
}

// Copy failures of a value map onto messages; only the listed codes keep their own HRESULT.
TEST_F(ItemMembers, BadVariantTypeIsReportedWithItsMessage)
{
    Var bad;
    V_VT(bad.get()) = 0x7FFF;
    Bstr key(u"k");
    EXPECT_EQ(members::Add(object, key, bad.get()), DISP_E_BADVARTYPE);
    ExpectRecord(u"The source and destination have an invalid variant type (usually uninitialized).");
    EXPECT_EQ(members::PutItem(object, key, bad.get()), DISP_E_BADVARTYPE);
    ExpectRecord(u"The source and destination have an invalid variant type (usually uninitialized).");
    V_VT(bad.get()) = VT_EMPTY;
    EXPECT_EQ(ItemsCountOf(object), 0);
}

} // namespace
} // namespace korvo::testing
