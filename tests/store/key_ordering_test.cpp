// Key order in both compare modes, through the comparison and through a store's Keys.
#include <algorithm>

#include "member_calls.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "store/key_compare.h"

namespace korvo::testing {
namespace {

struct OrderCase {
    const char* name;
    std::u16string a;
    std::u16string b;
    int binary; // sign of CompareKeys(a, b) in binary mode
    int text; // and in text mode
};

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

KeyView View(const std::u16string& text)
{
    return KeyView(reinterpret_cast<const OLECHAR*>(text.data()), text.size());
}

class KeyOrdering : public ::testing::TestWithParam<OrderCase> {};

TEST_P(KeyOrdering, OrdersByCodeUnitWithAsciiOnlyFolding)
{
    const OrderCase& c = GetParam();
    EXPECT_EQ(Sign(CompareKeys(View(c.a), View(c.b), CompareMode::Binary)), c.binary);
    EXPECT_EQ(Sign(CompareKeys(View(c.a), View(c.b), CompareMode::Text)), c.text);
    EXPECT_EQ(Sign(CompareKeys(View(c.b), View(c.a), CompareMode::Binary)), -c.binary);
    EXPECT_EQ(Sign(CompareKeys(View(c.b), View(c.a), CompareMode::Text)), -c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyOrdering,
    ::testing::Values(
        OrderCase{"case_differs", u"a", u"A", 1, 0}, OrderCase{"upper_before_lower_in_binary", u"B", u"a", -1, 1},
        OrderCase{"Zebra_apple", u"Zebra", u"apple", -1, 1}, OrderCase{"same_text_three_cases", u"ABC", u"abc", -1, 0},
        OrderCase{"accented_not_folded", u"\u00e9", u"\u00c9", 1, 1},
        OrderCase{"bracket_after_upper_binary", u"[", u"Z", 1, -1},
        OrderCase{"backslash_vs_lower", u"\\", u"a", -1, -1}, OrderCase{"underscore_vs_upper", u"_", u"A", 1, -1},
        OrderCase{"grave_vs_lower", u"`", u"a", -1, -1}, OrderCase{"caret_vs_upper_z", u"^", u"z", -1, -1},
        OrderCase{"prefix_first", u"a", u"ab", -1, -1}, OrderCase{"ab_before_b", u"ab", u"b", -1, -1},
        OrderCase{"empty_first", u"", u"\u0001", -1, -1}, OrderCase{"high_units_unsigned", u"\uffff", u"a", 1, 1},
        OrderCase{"surrogates_by_unit", std::u16string(1, char16_t(0xD800)), u"\uff00", -1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyArgumentText, EndsAtFirstNulAndNullIsEmpty)
{
    Bstr withNul(std::u16string(u"a\0b", 3));
    EXPECT_EQ(ToU16(KeyArgument(withNul)), u"a");
    EXPECT_TRUE(KeyArgument(nullptr).empty());
}

class StoreOrder : public ::testing::Test {
protected:
    CompareModeScope modeScope;
    ObjectState object;
};

TEST_F(StoreOrder, KeysAscendInBinaryMode)
{
    ASSERT_EQ(members::PutCompareMode(0), S_OK);
    for (const auto* key : {u"b", u"a", u"_", u"Z", u"A", u"", u"ab", u"[", u"\u00e9", u"\u00c9"}) {
        AddOk(object, key, 0);
    }
    EXPECT_EQ(KeysOf(object),
              (std::vector<std::u16string>{u"", u"A", u"Z", u"[", u"_", u"a", u"ab", u"b", u"\u00c9", u"\u00e9"}));
}

TEST_F(StoreOrder, KeysAscendInTextMode)
{
    ASSERT_EQ(members::PutCompareMode(1), S_OK);
    for (const auto* key : {u"b", u"a", u"_", u"Z", u"ab", u"[", u"\u00e9", u"\u00c9"}) {
        AddOk(object, key, 0);
    }
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"[", u"_", u"a", u"ab", u"b", u"Z", u"\u00c9", u"\u00e9"}));
}

TEST_F(StoreOrder, EmbeddedNulKeyIsStoredAndFoundByItsPrefix)
{
    Bstr key(std::u16string(u"a\0b", 3));
    Var item(7);
    ASSERT_EQ(members::Add(object, key, item.get()), S_OK);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"a"}));
    EXPECT_EQ(CountOf(object, u"a"), 1);
    EXPECT_EQ(CountOf(object, std::u16string(u"a\0zzz", 5)), 1);
}

TEST_F(StoreOrder, EmptyKeyIsAKeyLikeAnyOther)
{
    AddOk(object, u"x", 1);
    AddOk(object, u"", 2);
    EXPECT_EQ(KeysOf(object), (std::vector<std::u16string>{u"", u"x"}));
    Bstr empty(u"");
    VARIANT_BOOL exists = VARIANT_FALSE;
    EXPECT_EQ(members::Exists(object, empty, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_TRUE);
    // A null key is the empty key too.
    EXPECT_EQ(members::Exists(object, nullptr, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_TRUE);
}

} // namespace
} // namespace korvo::testing
