#include "member_calls.h"

#include <atomic>

#include "members/items.h"
#include "members/sharing.h"

namespace korvo::testing {

void AddOk(ObjectState& object, std::u16string_view key, LONG value)
{
    Var item(value);
    AddOk(object, key, item.ref());
}

void AddOk(ObjectState& object, std::u16string_view key, const VARIANT& item)
{
    ASSERT_EQ(members::Add(object, Bstr(key), &item), S_OK);
}

void AddText(ObjectState& object, std::u16string_view key, std::u16string_view text)
{
    Var item(text);
    AddOk(object, key, item.ref());
}

void RemoveOk(ObjectState& object, std::u16string_view key)
{
    ASSERT_EQ(members::Remove(object, Bstr(key), 0), S_OK);
}

std::vector<std::u16string> KeysOf(ObjectState& object)
{
    Var keys;
    EXPECT_EQ(members::Keys(object, keys.get()), S_OK);
    return TextElements(keys.ref());
}

std::vector<LONG> ItemsOf(ObjectState& object)
{
    Var items;
    EXPECT_EQ(members::Items(object, items.get()), S_OK);
    return IntegerElements(items.ref());
}

LONG CountOf(ObjectState& object, std::u16string_view key)
{
    Bstr keyText(key);
    LONG count = -1;
    EXPECT_EQ(members::Count(object, keyText, &count), S_OK);
    return count;
}

LONG ItemsCountOf(ObjectState& object)
{
    LONG count = -1;
    EXPECT_EQ(members::ItemsCount(object, &count), S_OK);
    return count;
}

bool ExistsIn(ObjectState& object, std::u16string_view key)
{
    VARIANT_BOOL found = VARIANT_FALSE;
    EXPECT_EQ(members::Exists(object, Bstr(key), &found), S_OK);
    return found != VARIANT_FALSE;
}

void ConnectOk(ObjectState& object, std::u16string_view name)
{
    ASSERT_EQ(members::Connect(object, Bstr(name), nullptr), S_OK);
}

void DisConnectOk(ObjectState& object)
{
    ASSERT_EQ(members::DisConnect(object), S_OK);
}

std::u16string UniqueStoreName(std::u16string_view label)
{
    static std::atomic<int> serial{0};
    const std::string unique = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial) + "-";
    return u"korvo-test-" + std::u16string(unique.begin(), unique.end()) + std::u16string(label);
}

} // namespace korvo::testing
