// Variants: what VariantCopy duplicates, shares or refuses, and what VariantClear releases.
#include "automation_test_text.h"
#include "counting_object.h"
#include "platform/platform.h"
#include "platform/unique_variant.h"

#include <gtest/gtest.h>

namespace {

using korvo::UniqueVariant;
using korvo::test::Narrow;
using korvo::test::WideCopy;
using korvo::testing::CountingObject;

TEST(AutomationVariant, LayoutMatchesTheWindowsOne)
{
    EXPECT_EQ(sizeof(VARIANT), sizeof(void*) == 8 ? 24u : 16u);
    EXPECT_EQ(offsetof(VARIANT, vt), 0u);
    VARIANT v;
    EXPECT_EQ(reinterpret_cast<char*>(&v.lVal) - reinterpret_cast<char*>(&v), 8);
    EXPECT_EQ(static_cast<void*>(&v.decVal), static_cast<void*>(&v));
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, 0x200C);
    EXPECT_EQ(VT_BYREF | VT_VARIANT, 0x400C);
}

TEST(AutomationVariant, InitMakesEmpty)
{
    VARIANT v;
    V_VT(&v) = VT_I4;
    VariantInit(&v);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);
    EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(AutomationVariant, CopyDuplicatesStringsWithTheirEmbeddedNuls)
{
    UniqueVariant source;
    V_VT(source.get()) = VT_BSTR;
    V_BSTR(source.get()) = WideCopy(std::string("k\0ey", 4));
    UniqueVariant copy;
    ASSERT_EQ(VariantCopy(copy.get(), source.get()), S_OK);
    ASSERT_EQ(V_VT(copy.get()), VT_BSTR);
    EXPECT_NE(V_BSTR(copy.get()), V_BSTR(source.get()));
    ASSERT_EQ(source.reset(), S_OK);
    EXPECT_EQ(Narrow(V_BSTR(copy.get())), std::string("k\0ey", 4));
}

TEST(AutomationVariant, CopyAndClearCountInterfaceReferences)
{
    CountingObject object;
    for (VARTYPE vt : {VARTYPE(VT_DISPATCH), VARTYPE(VT_UNKNOWN)}) {
        SCOPED_TRACE(vt);
        VARIANT source;
        V_VT(&source) = vt;
        V_DISPATCH(&source) = &object; // borrowed: never cleared
        UniqueVariant copy;
        ASSERT_EQ(VariantCopy(copy.get(), &source), S_OK);
        EXPECT_EQ(V_UNKNOWN(copy.get()), static_cast<IUnknown*>(&object));
        EXPECT_EQ(object.references(), 2u);
        EXPECT_EQ(copy.reset(), S_OK);
        EXPECT_EQ(V_VT(copy.get()), VT_EMPTY);
        EXPECT_EQ(object.references(), 1u);
    }
}

TEST(AutomationVariant, CopyClearsTheDestinationFirst)
{
    CountingObject old;
    old.AddRef();
    UniqueVariant destination;
    V_VT(destination.get()) = VT_DISPATCH;
    V_DISPATCH(destination.get()) = &old;
    VARIANT source;
    V_VT(&source) = VT_I4;
    V_I4(&source) = 7;
    ASSERT_EQ(VariantCopy(destination.get(), &source), S_OK);
    EXPECT_EQ(old.references(), 1u);
    EXPECT_EQ(V_VT(destination.get()), VT_I4);
    EXPECT_EQ(V_I4(destination.get()), 7);
}

TEST(AutomationVariant, CopyOntoItselfChangesNothing)
{
    UniqueVariant v;
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = WideCopy("same");
    BSTR before = V_BSTR(v.get());
    EXPECT_EQ(VariantCopy(v.get(), v.get()), S_OK);
    EXPECT_EQ(V_BSTR(v.get()), before);
    EXPECT_EQ(Narrow(V_BSTR(v.get())), "same");
}

TEST(AutomationVariant, CopyDeepCopiesArraysAndTheirElements)
{
    CountingObject object;
    UniqueVariant source;
    V_VT(source.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(source.get()) = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_NE(V_ARRAY(source.get()), nullptr);
    VARIANT element;
    V_VT(&element) = VT_DISPATCH;
    V_DISPATCH(&element) = &object;
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(V_ARRAY(source.get()), &index, &element), S_OK);
    V_VT(&element) = VT_BSTR;
    V_BSTR(&element) = WideCopy("text");
    index = 1;
    ASSERT_EQ(SafeArrayPutElement(V_ARRAY(source.get()), &index, &element), S_OK);
    SysFreeString(V_BSTR(&element));
    EXPECT_EQ(object.references(), 2u);

    UniqueVariant copy;
    ASSERT_EQ(VariantCopy(copy.get(), source.get()), S_OK);
    ASSERT_EQ(V_VT(copy.get()), VT_ARRAY | VT_VARIANT);
    ASSERT_NE(V_ARRAY(copy.get()), V_ARRAY(source.get()));
    EXPECT_EQ(object.references(), 3u);
    auto* copied = static_cast<VARIANT*>(V_ARRAY(copy.get())->pvData);
    auto* original = static_cast<VARIANT*>(V_ARRAY(source.get())->pvData);
    EXPECT_EQ(V_DISPATCH(&copied[0]), static_cast<IDispatch*>(&object));
    EXPECT_NE(V_BSTR(&copied[1]), V_BSTR(&original[1]));
    EXPECT_EQ(Narrow(V_BSTR(&copied[1])), "text");

    EXPECT_EQ(source.reset(), S_OK);
    EXPECT_EQ(object.references(), 2u);
    EXPECT_EQ(copy.reset(), S_OK);
    EXPECT_EQ(object.references(), 1u);
}

TEST(AutomationVariant, CopyOfALockedArrayIsAnUnlockedCopy)
{
    UniqueVariant source;
    V_VT(source.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(source.get()) = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    ASSERT_EQ(SafeArrayLock(V_ARRAY(source.get())), S_OK);
    UniqueVariant copy;
    EXPECT_EQ(VariantCopy(copy.get(), source.get()), S_OK);
    EXPECT_EQ(V_ARRAY(copy.get())->cLocks, 0u);
    EXPECT_EQ(SafeArrayUnlock(V_ARRAY(source.get())), S_OK);
}

TEST(AutomationVariant, LockedArrayCannotBeClearedOrOverwritten)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(SafeArrayLock(array), S_OK);
    VARIANT holder;
    V_VT(&holder) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&holder) = array;
    EXPECT_EQ(VariantClear(&holder), DISP_E_ARRAYISLOCKED);

    V_VT(&holder) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&holder) = array;
    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = 1;
    EXPECT_EQ(VariantCopy(&holder, &value), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(array->cLocks, 1u) << "the array survives";

    ASSERT_EQ(SafeArrayUnlock(array), S_OK);
    V_VT(&holder) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&holder) = array;
    EXPECT_EQ(VariantClear(&holder), S_OK);
}

TEST(AutomationVariant, InvalidTypeCodesAreRefused)
{
    const VARTYPE invalid[] = {15,
                               VT_VOID,
                               VT_HRESULT,
                               VT_PTR,
                               VT_LPWSTR,
                               0x7F,
                               VT_VECTOR | VT_I4,
                               VT_RESERVED | VT_I4,
                               VT_BYREF | VT_EMPTY,
                               VT_ARRAY | VT_NULL,
                               VT_BYREF | 15};
    for (VARTYPE vt : invalid) {
        SCOPED_TRACE(vt);
        VARIANT source;
        V_VT(&source) = vt;
        V_I8(&source) = 0;
        VARIANT destination;
        V_VT(&destination) = VT_I4;
        V_I4(&destination) = 42;
        EXPECT_EQ(VariantCopy(&destination, &source), DISP_E_BADVARTYPE);
        EXPECT_EQ(V_VT(&destination), VT_I4) << "the destination is left alone";
        EXPECT_EQ(V_I4(&destination), 42);
        EXPECT_EQ(VariantClear(&source), DISP_E_BADVARTYPE);
    }
}

TEST(AutomationVariant, EveryValueTypeCopies)
{
    const VARTYPE valid[] = {VT_EMPTY,   VT_NULL, VT_I2,  VT_I4,  VT_R4,  VT_R8, VT_CY,  VT_DATE, VT_ERROR, VT_BOOL,
                             VT_DECIMAL, VT_I1,   VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT,  VT_UINT};
    for (VARTYPE vt : valid) {
        SCOPED_TRACE(vt);
        VARIANT source;
        VariantInit(&source);
        if (vt == VT_DECIMAL) {
            V_DECIMAL(&source).Lo64 = 5;
        } else {
            V_UI8(&source) = 0x0102030405060708ull;
        }
        V_VT(&source) = vt;
        VARIANT copy;
        VariantInit(&copy);
        ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
        EXPECT_EQ(V_VT(&copy), vt);
        if (vt == VT_DECIMAL) {
            EXPECT_EQ(V_DECIMAL(&copy).Lo64, 5u);
        }
        EXPECT_EQ(VariantClear(&copy), S_OK);
    }
}

TEST(AutomationVariant, ByReferenceIsCopiedAsTheReferenceAndOwnsNothing)
{
    CountingObject object;
    IDispatch* objectSlot = &object;
    BSTR text = WideCopy("kept");
    LONG number = 5;
    VARIANT inner;
    V_VT(&inner) = VT_I4;
    V_I4(&inner) = 9;

    struct Case {
        VARTYPE vt;
        void* reference;
    };
    const Case cases[] = {{VT_BYREF | VT_I4, &number},
                          {VT_BYREF | VT_BSTR, &text},
                          {VT_BYREF | VT_DISPATCH, &objectSlot},
                          {VT_BYREF | VT_VARIANT, &inner}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vt);
        VARIANT source;
        V_VT(&source) = c.vt;
        V_BYREF(&source) = c.reference;
        VARIANT copy;
        VariantInit(&copy);
        ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
        EXPECT_EQ(V_VT(&copy), c.vt);
        EXPECT_EQ(V_BYREF(&copy), c.reference);
        EXPECT_EQ(object.references(), 1u);
        EXPECT_EQ(VariantClear(&copy), S_OK);
        EXPECT_EQ(VariantClear(&source), S_OK);
    }
    EXPECT_EQ(object.references(), 1u);
    EXPECT_EQ(Narrow(text), "kept") << "clearing a reference leaves the string alone";
    SysFreeString(text);
}

TEST(AutomationVariant, UniqueVariantReleaseMovesTheValueOut)
{
    UniqueVariant v;
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = WideCopy("moved");
    VARIANT out;
    VariantInit(&out);
    v.release(&out);
    EXPECT_EQ(V_VT(v.get()), VT_EMPTY);
    EXPECT_EQ(Narrow(V_BSTR(&out)), "moved");
    EXPECT_EQ(VariantClear(&out), S_OK);
}

} // namespace
