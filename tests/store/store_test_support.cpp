#include "store_test_support.h"

#include "store/item_operations.h"
#include "store/key_operations.h"

namespace korvo::testing {

std::u16string ToU16(KeyView text) { return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size()); }

std::u16string ToU16(BSTR text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), text == nullptr ? 0 : SysStringLen(text));
}

ErrorRecord TakeErrorRecord()
{
    ErrorRecord record;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
        return record;
    }
    record.present = true;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text))) {
        record.description = ToU16(text);
    }
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(info->GetSource(&text))) {
        record.source = ToU16(text);
    }
    SysFreeString(text);
    info->GetGUID(&record.guid);
    info->Release();
    return record;
}

void ClearErrorRecord() { SetErrorInfo(0, nullptr); }

std::pair<LONG, LONG> ArrayBounds(const VARIANT& array)
{
    EXPECT_EQ(V_VT(&array), VT_ARRAY | VT_VARIANT);
    LONG lower = 0;
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(V_ARRAY(&array), 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(V_ARRAY(&array), 1, &upper), S_OK);
    return {lower, upper};
}

namespace {
template <class Element, class Read>
std::vector<Element> Elements(const VARIANT& array, VARTYPE expected, Read read)
{
    std::vector<Element> values;
    const auto [lower, upper] = ArrayBounds(array);
    for (LONG index = lower; index <= upper; ++index) {
        VARIANT element;
        VariantInit(&element);
        EXPECT_EQ(SafeArrayGetElement(V_ARRAY(&array), &index, &element), S_OK);
        EXPECT_EQ(V_VT(&element), expected);
        if (V_VT(&element) == expected) {
            values.push_back(read(element));
        }
        VariantClear(&element);
    }
    return values;
}
} // namespace

std::vector<LONG> IntegerElements(const VARIANT& array)
{
    return Elements<LONG>(array, VT_I4, [](const VARIANT& v) { return V_I4(&v); });
}

std::vector<std::u16string> TextElements(const VARIANT& array)
{
    return Elements<std::u16string>(array, VT_BSTR, [](const VARIANT& v) { return ToU16(V_BSTR(&v)); });
}

void AddOk(ObjectState& object, std::u16string_view key, LONG value)
{
    Bstr keyText(key);
    Var item(value);
    ASSERT_EQ(store::Add(object, keyText, item.get()), S_OK);
}

std::vector<std::u16string> KeysOf(ObjectState& object)
{
    Var keys;
    EXPECT_EQ(store::Keys(object, keys.get()), S_OK);
    return TextElements(keys.ref());
}

std::vector<LONG> ItemsOf(ObjectState& object)
{
    Var items;
    EXPECT_EQ(store::Items(object, items.get()), S_OK);
    return IntegerElements(items.ref());
}

LONG CountOf(ObjectState& object, std::u16string_view key)
{
    Bstr keyText(key);
    LONG count = -1;
    EXPECT_EQ(store::Count(object, keyText, &count), S_OK);
    return count;
}

LONG ItemsCountOf(ObjectState& object)
{
    LONG count = -1;
    EXPECT_EQ(store::ItemsCount(object, &count), S_OK);
    return count;
}

CompareModeScope::CompareModeScope() { store::GetCompareMode(&saved_); }
CompareModeScope::~CompareModeScope() { store::PutCompareMode(saved_); }

} // namespace korvo::testing
