// VariantChangeType to VT_BSTR with flags 0: the text form of every kind of value the
// dictionary file writer may meet, and the conversions that must fail.
#include "automation_test_text.h"
#include "counting_object.h"
#include "platform/platform.h"
#include "platform/unique_variant.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using korvo::UniqueVariant;
using korvo::test::Narrow;
using korvo::test::WideCopy;
using korvo::testing::CountingObject;

struct TextCase {
    const char* name;
    std::function<void(VARIANT&)> make;
    std::string expected;
};

VARIANT Make(const std::function<void(VARIANT&)>& fill)
{
    VARIANT v;
    VariantInit(&v);
    fill(v);
    return v;
}

DECIMAL MakeDecimal(bool negative, BYTE scale, ULONG hi, ULONGLONG lo)
{
    DECIMAL d{};
    d.sign = negative ? DECIMAL_NEG : 0;
    d.scale = scale;
    d.Hi32 = hi;
    d.Lo64 = lo;
    return d;
}

void ExpectText(const std::vector<TextCase>& cases, USHORT flags = 0)
{
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        VARIANT source = Make(c.make);
        UniqueVariant text;
        ASSERT_EQ(VariantChangeType(text.get(), &source, flags, VT_BSTR), S_OK);
        ASSERT_EQ(V_VT(text.get()), VT_BSTR);
        EXPECT_EQ(Narrow(V_BSTR(text.get())), c.expected);
        VariantClear(&source);
    }
}

TEST(AutomationChangeType, Integers)
{
    ExpectText({
        {"I1",
         [](VARIANT& v) {
             V_VT(&v) = VT_I1;
             V_I1(&v) = -5;
         },
         "-5"},
        {"UI1",
         [](VARIANT& v) {
             V_VT(&v) = VT_UI1;
             V_UI1(&v) = 200;
         },
         "200"},
        {"I2",
         [](VARIANT& v) {
             V_VT(&v) = VT_I2;
             V_I2(&v) = -32768;
         },
         "-32768"},
        {"UI2",
         [](VARIANT& v) {
             V_VT(&v) = VT_UI2;
             V_UI2(&v) = 65535;
         },
         "65535"},
        {"I4",
         [](VARIANT& v) {
             V_VT(&v) = VT_I4;
             V_I4(&v) = -2147483647 - 1;
         },
         "-2147483648"},
        {"UI4",
         [](VARIANT& v) {
             V_VT(&v) = VT_UI4;
             V_UI4(&v) = 4294967295u;
         },
         "4294967295"},
        {"I8",
         [](VARIANT& v) {
             V_VT(&v) = VT_I8;
             V_I8(&v) = -9223372036854775807LL - 1;
         },
         "-9223372036854775808"},
        {"UI8",
         [](VARIANT& v) {
             V_VT(&v) = VT_UI8;
             V_UI8(&v) = 18446744073709551615ULL;
         },
         "18446744073709551615"},
        {"INT",
         [](VARIANT& v) {
             V_VT(&v) = VT_INT;
             V_INT(&v) = -7;
         },
         "-7"},
        {"UINT",
         [](VARIANT& v) {
             V_VT(&v) = VT_UINT;
             V_UINT(&v) = 7;
         },
         "7"},
        {"I4 zero",
         [](VARIANT& v) {
             V_VT(&v) = VT_I4;
             V_I4(&v) = 0;
         },
         "0"},
    });
}

TEST(AutomationChangeType, RealsUseSevenAndFifteenSignificantDigits)
{
    ExpectText({
        {"R4 1.5",
         [](VARIANT& v) {
             V_VT(&v) = VT_R4;
             V_R4(&v) = 1.5f;
         },
         "1.5"},
        {"R4 0.1",
         [](VARIANT& v) {
             V_VT(&v) = VT_R4;
             V_R4(&v) = 0.1f;
         },
         "0.1"},
        {"R4 pi",
         [](VARIANT& v) {
             V_VT(&v) = VT_R4;
             V_R4(&v) = 3.14159265f;
         },
         "3.141593"},
        {"R4 -0",
         [](VARIANT& v) {
             V_VT(&v) = VT_R4;
             V_R4(&v) = -0.0f;
         },
         "0"},
        {"R4 integral",
         [](VARIANT& v) {
             V_VT(&v) = VT_R4;
             V_R4(&v) = 1234567.0f;
         },
         "1234567"},
        {"R8 0.1+0.2",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = 0.1 + 0.2;
         },
         "0.3"},
        {"R8 1/3",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = 1.0 / 3.0;
         },
         "0.333333333333333"},
        {"R8 -2.5",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = -2.5;
         },
         "-2.5"},
        {"R8 15 digits",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = 123456789012345.0;
         },
         "123456789012345"},
        {"R8 -0",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = -0.0;
         },
         "0"},
    });
}

TEST(AutomationChangeType, LargeRealsUseAnExponent)
{
    ExpectText({
        {"R4 1e10",
         [](VARIANT& v) {
             V_VT(&v) = VT_R4;
             V_R4(&v) = 1e10f;
         },
         "1E+10"},
        {"R4 123456789",
         [](VARIANT& v) {
             V_VT(&v) = VT_R4;
             V_R4(&v) = 123456789.0f;
         },
         "1.234568E+08"},
        {"R8 1e15",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = 1e15;
         },
         "1E+15"},
        {"R8 -1.5e300",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = -1.5e300;
         },
         "-1.5E+300"},
        {"R8 2.5e-7",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = 2.5e-7;
         },
         "2.5E-07"},
    });
}

TEST(AutomationChangeType, CurrencyAndDecimalDropTrailingZeros)
{
    ExpectText({
        {"CY 1.5",
         [](VARIANT& v) {
             V_VT(&v) = VT_CY;
             V_CY(&v).int64 = 15000;
         },
         "1.5"},
        {"CY 1",
         [](VARIANT& v) {
             V_VT(&v) = VT_CY;
             V_CY(&v).int64 = 10000;
         },
         "1"},
        {"CY -1.2345",
         [](VARIANT& v) {
             V_VT(&v) = VT_CY;
             V_CY(&v).int64 = -12345;
         },
         "-1.2345"},
        {"CY 0.0001",
         [](VARIANT& v) {
             V_VT(&v) = VT_CY;
             V_CY(&v).int64 = 1;
         },
         "0.0001"},
        {"CY 0",
         [](VARIANT& v) {
             V_VT(&v) = VT_CY;
             V_CY(&v).int64 = 0;
         },
         "0"},
        {"CY min",
         [](VARIANT& v) {
             V_VT(&v) = VT_CY;
             V_CY(&v).int64 = -9223372036854775807LL - 1;
         },
         "-922337203685477.5808"},
        {"DECIMAL 1.50",
         [](VARIANT& v) {
             V_DECIMAL(&v) = MakeDecimal(false, 2, 0, 150);
             V_VT(&v) = VT_DECIMAL;
         },
         "1.5"},
        {"DECIMAL -12.345",
         [](VARIANT& v) {
             V_DECIMAL(&v) = MakeDecimal(true, 3, 0, 12345);
             V_VT(&v) = VT_DECIMAL;
         },
         "-12.345"},
        {"DECIMAL integral",
         [](VARIANT& v) {
             V_DECIMAL(&v) = MakeDecimal(false, 0, 0, 42);
             V_VT(&v) = VT_DECIMAL;
         },
         "42"},
        {"DECIMAL 96-bit max",
         [](VARIANT& v) {
             V_DECIMAL(&v) = MakeDecimal(false, 0, 0xFFFFFFFF, ~0ULL);
             V_VT(&v) = VT_DECIMAL;
         },
         "79228162514264337593543950335"},
        {"DECIMAL smallest",
         [](VARIANT& v) {
             V_DECIMAL(&v) = MakeDecimal(false, 28, 0, 1);
             V_VT(&v) = VT_DECIMAL;
         },
         "0.0000000000000000000000000001"},
    });
}

TEST(AutomationChangeType, DatesPrintDateTimeOrBoth)
{
    ExpectText({
        {"zero",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 0.0;
         },
         "12:00:00 AM"},
        {"noon of day zero",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 0.5;
         },
         "12:00:00 PM"},
        {"time only",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 0.75;
         },
         "6:00:00 PM"},
        {"day one",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 1.0;
         },
         "12/31/1899"},
        {"2000",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 36526.0;
         },
         "1/1/2000"},
        {"2000 evening",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 36526.75;
         },
         "1/1/2000 6:00:00 PM"},
        {"leap day",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 36585.25;
         },
         "2/29/2000 6:00:00 AM"},
        {"seconds",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 36526.0 + (13 * 3600 + 5 * 60 + 9) / 86400.0;
         },
         "1/1/2000 1:05:09 PM"},
        {"before day zero",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = -1.25;
         },
         "12/29/1899 6:00:00 AM"},
        {"last day",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 2958465.0;
         },
         "12/31/9999"},
    });
}

TEST(AutomationChangeType, BooleansPrintAsNumbersUnlessAlphaIsAsked)
{
    ExpectText({
        {"true",
         [](VARIANT& v) {
             V_VT(&v) = VT_BOOL;
             V_BOOL(&v) = VARIANT_TRUE;
         },
         "-1"},
        {"false",
         [](VARIANT& v) {
             V_VT(&v) = VT_BOOL;
             V_BOOL(&v) = VARIANT_FALSE;
         },
         "0"},
    });
    ExpectText(
        {
            {"true",
             [](VARIANT& v) {
                 V_VT(&v) = VT_BOOL;
                 V_BOOL(&v) = VARIANT_TRUE;
             },
             "True"},
            {"false",
             [](VARIANT& v) {
                 V_VT(&v) = VT_BOOL;
                 V_BOOL(&v) = VARIANT_FALSE;
             },
             "False"},
        },
        VARIANT_ALPHABOOL);
}

TEST(AutomationChangeType, EmptyIsTheEmptyStringAndStringsAreCopied)
{
    ExpectText({
        {"empty", [](VARIANT&) {}, ""},
        {"string",
         [](VARIANT& v) {
             V_VT(&v) = VT_BSTR;
             V_BSTR(&v) = WideCopy(std::string("a\0b", 3));
         },
         std::string("a\0b", 3)},
    });
}

TEST(AutomationChangeType, ByReferenceConvertsWhatItRefersTo)
{
    LONG number = 42;
    DATE date = 36526.0;
    BSTR text = WideCopy("referred");
    VARIANT inner;
    V_VT(&inner) = VT_R8;
    V_R8(&inner) = 2.5;
    ExpectText({
        {"I4",
         [&](VARIANT& v) {
             V_VT(&v) = VT_BYREF | VT_I4;
             V_I4REF(&v) = &number;
         },
         "42"},
        {"DATE",
         [&](VARIANT& v) {
             V_VT(&v) = VT_BYREF | VT_DATE;
             V_DATEREF(&v) = &date;
         },
         "1/1/2000"},
        {"BSTR",
         [&](VARIANT& v) {
             V_VT(&v) = VT_BYREF | VT_BSTR;
             V_BSTRREF(&v) = &text;
         },
         "referred"},
        {"VARIANT",
         [&](VARIANT& v) {
             V_VT(&v) = VT_BYREF | VT_VARIANT;
             V_VARIANTREF(&v) = &inner;
         },
         "2.5"},
    });
    EXPECT_EQ(Narrow(text), "referred") << "the referred string is left alone";
    SysFreeString(text);
}

TEST(AutomationChangeType, AVectorOfBytesBecomesTheStringOfThoseBytes)
{
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 4);
    ASSERT_NE(bytes, nullptr);
    const BYTE utf16le[] = {'h', 0, 'i', 0};
    for (LONG i = 0; i < 4; ++i) {
        ASSERT_EQ(SafeArrayPutElement(bytes, &i, const_cast<BYTE*>(&utf16le[i])), S_OK);
    }
    UniqueVariant source;
    V_VT(source.get()) = VT_ARRAY | VT_UI1;
    V_ARRAY(source.get()) = bytes;
    UniqueVariant text;
    ASSERT_EQ(VariantChangeType(text.get(), source.get(), 0, VT_BSTR), S_OK);
    EXPECT_EQ(Narrow(V_BSTR(text.get())), "hi");
}

TEST(AutomationChangeType, ObjectsGiveTheirDefaultProperty)
{
    CountingObject object;
    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = 7;
    object.SetDefaultValue(value);
    VARIANT source;
    V_VT(&source) = VT_DISPATCH;
    V_DISPATCH(&source) = &object;
    UniqueVariant text;
    ASSERT_EQ(VariantChangeType(text.get(), &source, 0, VT_BSTR), S_OK);
    ASSERT_EQ(V_VT(text.get()), VT_BSTR);
    EXPECT_EQ(Narrow(V_BSTR(text.get())), "7");
    EXPECT_EQ(object.defaultPropertyReads(), 1);
    EXPECT_EQ(object.references(), 1u) << "no reference is kept";
}

TEST(AutomationChangeType, ObjectWithoutDefaultPropertyFails)
{
    CountingObject object;
    object.FailDefaultProperty(DISP_E_MEMBERNOTFOUND);
    VARIANT source;
    V_VT(&source) = VT_DISPATCH;
    V_DISPATCH(&source) = &object;
    UniqueVariant text;
    EXPECT_TRUE(FAILED(VariantChangeType(text.get(), &source, 0, VT_BSTR)));
    EXPECT_EQ(V_VT(text.get()), VT_EMPTY);
    EXPECT_EQ(object.references(), 1u);
}

TEST(AutomationChangeType, ConversionsThatFail)
{
    struct Case {
        const char* name;
        std::function<void(VARIANT&)> make;
        HRESULT expected;
    };
    const Case cases[] = {
        {"NULL", [](VARIANT& v) { V_VT(&v) = VT_NULL; }, DISP_E_TYPEMISMATCH},
        {"ERROR",
         [](VARIANT& v) {
             V_VT(&v) = VT_ERROR;
             V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
         },
         DISP_E_TYPEMISMATCH},
        {"array of variants",
         [](VARIANT& v) {
             V_VT(&v) = VT_ARRAY | VT_VARIANT;
             V_ARRAY(&v) = SafeArrayCreateVector(VT_VARIANT, 0, 1);
         },
         DISP_E_TYPEMISMATCH},
        {"invalid type", [](VARIANT& v) { V_VT(&v) = 15; }, DISP_E_BADVARTYPE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VARIANT source = Make(c.make);
        VARIANT destination;
        V_VT(&destination) = VT_I4;
        V_I4(&destination) = 9;
        EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_BSTR), c.expected);
        EXPECT_EQ(V_VT(&destination), VT_I4) << "a failed conversion leaves the destination alone";
        EXPECT_EQ(V_I4(&destination), 9);
        if (V_VT(&source) != 15) {
            VariantClear(&source);
        }
    }
}

TEST(AutomationChangeType, ConvertsInPlace)
{
    UniqueVariant v;
    V_VT(v.get()) = VT_I4;
    V_I4(v.get()) = 42;
    ASSERT_EQ(VariantChangeType(v.get(), v.get(), 0, VT_BSTR), S_OK);
    ASSERT_EQ(V_VT(v.get()), VT_BSTR);
    EXPECT_EQ(Narrow(V_BSTR(v.get())), "42");

    CountingObject object;
    VARIANT value;
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = WideCopy("default");
    object.SetDefaultValue(value);
    VariantClear(&value);
    object.AddRef();
    UniqueVariant held;
    V_VT(held.get()) = VT_DISPATCH;
    V_DISPATCH(held.get()) = &object;
    ASSERT_EQ(VariantChangeType(held.get(), held.get(), 0, VT_BSTR), S_OK);
    EXPECT_EQ(Narrow(V_BSTR(held.get())), "default");
    EXPECT_EQ(object.references(), 1u) << "the converted variant gave up its reference";
}

} // namespace
