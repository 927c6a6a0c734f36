// Key rename, the UniqueKeys flag and the process-wide compare mode.
#include "member_calls.h"
#include "members/items.h"
#include "members/keys_and_modes.h"

namespace korvo::testing {
namespace {

class KeyMembers : public ::testing::Test {
protected:
    void SetUp() override { ClearErrorRecord(); }
    void NonUnique() { ASSERT_EQ(members::PutUniqueKeys(object, VARIANT_FALSE), S_OK); }
    HRESULT Rename(const char16_t* from, const char16_t* to)
    {
        Bstr key(from);
        Bstr newKey(to);
        return members::PutKey(object, key, newKey);
    }

    CompareModeScope modeScope;
    ObjectState object;
};

TEST_F(KeyMembers, RenameOntoExistingKeyAppendsTheMovedItems)
{
    NonUnique();
    AddOk(object, u"a", 1);
    AddOk(object, u"a", 2);
    AddOk(object, u"b", 3);
    ASSERT_EQ(Rename(u"a", u"b"), S_OK);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"b"}));
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{3, 1, 2}));
}

TEST_F(KeyMembers, RenameMovesTheGroupToItsNewPlace)
{
    NonUnique();
    AddOk(object, u"a", 1);
    AddOk(object, u"m", 2);
    AddOk(object, u"m", 3);
    AddOk(object, u"z", 4);
    ASSERT_EQ(Rename(u"m", u"zz"), S_OK);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"a", u"z", u"zz"}));
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{1, 4, 2, 3}));
    ASSERT_EQ(Rename(u"zz", u""), S_OK);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"", u"a", u"z"}));
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{2, 3, 1, 4}));
}

TEST_F(KeyMembers, RenameOfAbsentKeyOrToItselfChangesNothing)
{
    NonUnique();
    AddOk(object, u"a", 1);
    AddOk(object, u"a", 2);
    EXPECT_EQ(Rename(u"none", u"a"), S_OK);
    EXPECT_EQ(Rename(u"a", u"a"), S_OK);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"a"}));
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{1, 2}));
}

TEST_F(KeyMembers, TextModeRenameToOtherCaseKeepsItemsAndTakesNewText)
{
    ASSERT_EQ(members::PutCompareMode(1), S_OK);
    NonUnique();
    AddOk(object, u"abc", 1);
    AddOk(object, u"abc", 2);
    ASSERT_EQ(Rename(u"abc", u"ABC"), S_OK);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"ABC"}));
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{1, 2}));
}

TEST_F(KeyMembers, NullNameInRenameIsInvalid)
{
    AddOk(object, u"a", 1);
    Bstr a(u"a");
    EXPECT_EQ(members::PutKey(object, a, nullptr), E_INVALIDARG);
    EXPECT_EQ(TakeErrorRecord().description, u"One of the arguments is invalid.");
    EXPECT_EQ(members::PutKey(object, nullptr, a), E_INVALIDARG);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"a"}));
}

TEST_F(KeyMembers, UniqueModeRenameCanLeaveSeveralItemsUnderOneKey)
{
    AddOk(object, u"a", 1);
    AddOk(object, u"b", 2);
    ASSERT_EQ(Rename(u"a", u"b"), S_OK);
    EXPECT_EQ(CountOf(object, u"b"), 2);
    Bstr b(u"b");
    Var value(9);
    EXPECT_EQ(members::PutItem(object, b, value.get()), E_FAIL);
    EXPECT_EQ(TakeErrorRecord().description, u"There is more values to change");
}

TEST_F(KeyMembers, UniqueKeysSwitchesBackOnOnlyWhileTheStoreIsEmpty)
{
    VARIANT_BOOL flag = 0;
    ASSERT_EQ(members::GetUniqueKeys(object, &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    AddOk(object, u"a", 1);
    EXPECT_EQ(members::PutUniqueKeys(object, VARIANT_TRUE), S_OK) << "true while true is always allowed";

    NonUnique();
    EXPECT_EQ(members::PutUniqueKeys(object, VARIANT_TRUE), E_FAIL);
    EXPECT_EQ(TakeErrorRecord().description, u"You can't switch back to unique keys.");
    ASSERT_EQ(members::GetUniqueKeys(object, &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);

    Bstr a(u"a");
    ASSERT_EQ(members::Remove(object, a, 0), S_OK);
    EXPECT_EQ(members::PutUniqueKeys(object, 1), S_OK);
    ASSERT_EQ(members::GetUniqueKeys(object, &flag), S_OK);
    EXPECT_EQ(flag, 1) << "the flag keeps all 16 bits it was given";
}

TEST_F(KeyMembers, CompareModeIsOneSettingForTheProcess)
{
    ObjectState other;
    ASSERT_EQ(members::PutCompareMode(1), S_OK);
    LONG mode = -1;
    ASSERT_EQ(members::GetCompareMode(&mode), S_OK);
    EXPECT_EQ(mode, 1);
    AddOk(other, u"a", 1);
    Bstr upper(u"A");
    VARIANT_BOOL exists = VARIANT_FALSE;
    ASSERT_EQ(members::Exists(other, upper, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_TRUE);

    EXPECT_EQ(members::PutCompareMode(2), E_INVALIDARG);
    EXPECT_EQ(TakeErrorRecord().description, u"Nonexist compare method.");
    ASSERT_EQ(members::GetCompareMode(&mode), S_OK);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(members::PutCompareMode(-1), E_INVALIDARG);
}

} // namespace
} // namespace korvo::testing
