// Late-bound calls through IDispatch::Invoke, and the error records members leave.
#include "korvod_client.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "errors/identifiers.h"
#include "platform/unique_bstr.h"
#include "platform/unique_variant.h"

namespace korvo::test {
namespace {

class DispatchTest : public ComTest {
protected:
    // Invokes `id` with `arguments` given in call order (Invoke wants them reversed).
    HRESULT Call(IDictionary& dictionary, DISPID id, WORD flags, std::initializer_list<VARIANT> arguments,
                 VARIANT* result, EXCEPINFO* exception = nullptr)
    {
        std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
        std::reverse(reversed.begin(), reversed.end());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
            params.rgdispidNamedArgs = &named;
            params.cNamedArgs = 1;
        }
        EXCEPINFO ignored{};
        UINT argumentError = 0;
        const HRESULT hr = dictionary.Invoke(id, IID_NULL, 0, flags, &params, result,
                                             exception != nullptr ? exception : &ignored, &argumentError);
        if (exception == nullptr) {
            SysFreeString(ignored.bstrSource);
            SysFreeString(ignored.bstrDescription);
            SysFreeString(ignored.bstrHelpFile);
        }
        return hr;
    }

    static VARIANT Long(LONG value)
    {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return v;
    }
    // Borrows the string: the caller keeps it alive for the call.
    static VARIANT String(BSTR value)
    {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = value;
        return v;
    }
};

TEST_F(DispatchTest, DefaultMemberReadsAndWritesItems)
{
    auto dictionary = NewDictionary();
    Text key(L"k");
    ASSERT_EQ(Call(*dictionary.get(), DISPID_VALUE, DISPATCH_PROPERTYPUT, {String(key), Long(3)}, nullptr), S_OK);
    ASSERT_EQ(Call(*dictionary.get(), DISPID_VALUE, DISPATCH_PROPERTYPUTREF, {String(key), Long(4)}, nullptr), S_OK);
    UniqueVariant item;
    ASSERT_EQ(Call(*dictionary.get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {String(key)}, item.get()),
              S_OK);
    EXPECT_EQ(V_VT(item.get()), VT_I4);
    EXPECT_EQ(V_I4(item.get()), 4);
}

TEST_F(DispatchTest, OmittedOptionalArgumentsTakeTheirDefaults)
{
    auto dictionary = NewDictionary();
    Text a(L"a"), b(L"b");
    ASSERT_EQ(Call(*dictionary.get(), 1, DISPATCH_METHOD, {String(a), Long(1)}, nullptr), S_OK);
    ASSERT_EQ(Call(*dictionary.get(), 1, DISPATCH_METHOD, {String(b), Long(2)}, nullptr), S_OK);
    // Count without its key counts every item.
    UniqueVariant count;
    ASSERT_EQ(Call(*dictionary.get(), 7, DISPATCH_PROPERTYGET, {}, count.get()), S_OK);
    EXPECT_EQ(V_I4(count.get()), 2);
    // Remove without ItemPos.
    ASSERT_EQ(Call(*dictionary.get(), 2, DISPATCH_METHOD, {String(a)}, nullptr), S_OK);
    count.reset();
    ASSERT_EQ(Call(*dictionary.get(), 5, DISPATCH_PROPERTYGET, {}, count.get()), S_OK);
    EXPECT_EQ(V_I4(count.get()), 1);
    // RemoveAll without a pattern empties the store.
    ASSERT_EQ(Call(*dictionary.get(), 3, DISPATCH_METHOD, {}, nullptr), S_OK);
    count.reset();
    ASSERT_EQ(Call(*dictionary.get(), 5, DISPATCH_PROPERTYGET, {}, count.get()), S_OK);
    EXPECT_EQ(V_I4(count.get()), 0);
}

TEST_F(DispatchTest, EnumeratorAnswersAsMethodAndAsPropertyGet)
{
    auto dictionary = NewDictionary();
    for (WORD flags : {WORD{DISPATCH_PROPERTYGET}, WORD{DISPATCH_METHOD}}) {
        UniqueVariant enumerator;
        ASSERT_EQ(Call(*dictionary.get(), DISPID_NEWENUM, flags, {}, enumerator.get()), S_OK) << flags;
        ASSERT_EQ(V_VT(enumerator.get()), VT_UNKNOWN);
        ComPtr<IEnumVARIANT> items;
        EXPECT_EQ(V_UNKNOWN(enumerator.get())->QueryInterface(IID_IEnumVARIANT, items.PutVoid()), S_OK);
    }
}

TEST_F(DispatchTest, FailedMemberBecomesAnExceptionWithItsRecord)
{
    auto dictionary = NewDictionary();
    Text key(L"k");
    ASSERT_EQ(Call(*dictionary.get(), 1, DISPATCH_METHOD, {String(key), Long(1)}, nullptr), S_OK);
    EXCEPINFO exception{};
    ASSERT_EQ(Call(*dictionary.get(), 1, DISPATCH_METHOD, {String(key), Long(2)}, nullptr, &exception),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_FAIL);
    EXPECT_STREQ(exception.bstrDescription, L"This key is already in collection.");
    EXPECT_STREQ(exception.bstrSource, L"Korvo.Dictionary");
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

TEST_F(DispatchTest, WrongInterfaceIdIsRefused)
{
    auto dictionary = NewDictionary();
    DISPPARAMS none{};
    EXPECT_EQ(dictionary->Invoke(5, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

struct ErrorRecord {
    HRESULT result;
    UniqueBstr description;
    UniqueBstr source;
    GUID guid{};
};

ErrorRecord TakeRecord(HRESULT result)
{
    ErrorRecord record{result, {}, {}};
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        info->GetDescription(record.description.put());
        info->GetSource(record.source.put());
        info->GetGUID(&record.guid);
    }
    return record;
}

TEST_F(DispatchTest, DirectCallsLeaveErrorRecordsOnTheThread)
{
    auto dictionary = NewDictionary();
    Text key(L"k");
    VARIANT item = Long(1);
    ASSERT_EQ(dictionary->Add(key, &item), S_OK);
    SetErrorInfo(0, nullptr);

    const auto duplicate = TakeRecord(dictionary->Add(key, &item));
    EXPECT_EQ(duplicate.result, E_FAIL);
    EXPECT_STREQ(duplicate.description.get(), L"This key is already in collection.");
    EXPECT_STREQ(duplicate.source.get(), L"Korvo.Dictionary");
    EXPECT_TRUE(IsEqualGUID(duplicate.guid, kIidIDictionary));

    const auto badMode = TakeRecord(dictionary->put_CompareMode(static_cast<CompareMethod>(2)));
    EXPECT_EQ(badMode.result, E_INVALIDARG);
    EXPECT_STREQ(badMode.description.get(), L"Nonexist compare method.");

    const auto noPointer = TakeRecord(dictionary->get__NewEnum(nullptr));
    EXPECT_EQ(noPointer.result, E_INVALIDARG);
    EXPECT_STREQ(noPointer.description.get(), L"Invalid input pointer.");

    EXPECT_EQ(dictionary->get_ItemsCount(nullptr), E_POINTER);
}

} // namespace
} // namespace korvo::test
