#include "automation_values.h"

namespace korvo::testing {

std::u16string ToU16(KeyView text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

std::u16string ToU16(BSTR text)
{
    return ToU16(text, text == nullptr ? 0 : SysStringLen(text));
}

std::u16string ToU16(const OLECHAR* text, std::size_t length)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
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

void ClearErrorRecord()
{
    SetErrorInfo(0, nullptr);
}

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

} // namespace korvo::testing
