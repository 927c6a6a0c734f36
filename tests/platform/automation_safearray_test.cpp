// One-dimensional arrays of variants: bounds, element copies, locks and destruction.
#include "automation_test_text.h"
#include "counting_object.h"
#include "platform/platform.h"
#include "platform/unique_safearray.h"
#include "platform/unique_variant.h"

#include <gtest/gtest.h>

namespace {

using korvo::SafeArrayDataAccess;
using korvo::UniqueSafeArray;
using korvo::UniqueVariant;
using korvo::test::Narrow;
using korvo::test::WideCopy;
using korvo::testing::CountingObject;

TEST(AutomationSafeArray, VectorBounds)
{
    struct Case {
        LONG lowerBound;
        ULONG count;
        LONG expectedUpper;
    };
    const Case cases[] = {{0, 0, -1}, {0, 1, 0}, {0, 3, 2}, {5, 3, 7}, {-2, 2, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lowerBound << "," << c.count);
        UniqueSafeArray array(SafeArrayCreateVector(VT_VARIANT, c.lowerBound, c.count));
        ASSERT_TRUE(array);
        EXPECT_EQ(SafeArrayGetDim(array.get()), 1u);
        EXPECT_EQ(array.get()->cbElements, sizeof(VARIANT));
        EXPECT_EQ(array.get()->rgsabound[0].cElements, c.count);
        EXPECT_EQ(array.get()->cLocks, 0u);
        LONG lower = 99, upper = 99;
        EXPECT_EQ(SafeArrayGetLBound(array.get(), 1, &lower), S_OK);
        EXPECT_EQ(SafeArrayGetUBound(array.get(), 1, &upper), S_OK);
        EXPECT_EQ(lower, c.lowerBound);
        EXPECT_EQ(upper, c.expectedUpper);
        EXPECT_EQ(SafeArrayGetLBound(array.get(), 2, &lower), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetUBound(array.get(), 0, &upper), DISP_E_BADINDEX);
    }
}

TEST(AutomationSafeArray, NewElementsAreEmpty)
{
    UniqueSafeArray array = UniqueSafeArray::VariantVector(3);
    ASSERT_TRUE(array);
    SafeArrayDataAccess access(array.get());
    ASSERT_EQ(access.Result(), S_OK);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(V_VT(&access.data<VARIANT>()[i]), VT_EMPTY);
    }
}

TEST(AutomationSafeArray, PutElementChecksTheIndex)
{
    UniqueSafeArray array(SafeArrayCreateVector(VT_VARIANT, 1, 2));
    ASSERT_TRUE(array);
    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = 3;
    for (LONG index : {0L, 3L, -1L, 0x7FFFFFFFL}) {
        SCOPED_TRACE(index);
        LONG at = static_cast<LONG>(index);
        EXPECT_EQ(SafeArrayPutElement(array.get(), &at, &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetElement(array.get(), &at, &value), DISP_E_BADINDEX);
    }
    for (LONG index : {1L, 2L}) {
        LONG at = static_cast<LONG>(index);
        EXPECT_EQ(SafeArrayPutElement(array.get(), &at, &value), S_OK);
    }
    UniqueSafeArray empty(SafeArrayCreateVector(VT_VARIANT, 0, 0));
    LONG zero = 0;
    EXPECT_EQ(SafeArrayPutElement(empty.get(), &zero, &value), DISP_E_BADINDEX);
}

TEST(AutomationSafeArray, PutAndGetCopyTheValue)
{
    CountingObject object;
    UniqueSafeArray array = UniqueSafeArray::VariantVector(2);
    ASSERT_TRUE(array);
    LONG first = 0, second = 1;
    VARIANT value;
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = &object;
    ASSERT_EQ(SafeArrayPutElement(array.get(), &first, &value), S_OK);
    EXPECT_EQ(object.references(), 2u);

    UniqueVariant text;
    V_VT(text.get()) = VT_BSTR;
    V_BSTR(text.get()) = WideCopy("element");
    ASSERT_EQ(SafeArrayPutElement(array.get(), &second, text.get()), S_OK);
    ASSERT_EQ(text.reset(), S_OK);

    // Putting over an element releases what it held.
    ASSERT_EQ(SafeArrayPutElement(array.get(), &first, text.get()), S_OK);
    EXPECT_EQ(object.references(), 1u);

    UniqueVariant out;
    ASSERT_EQ(SafeArrayGetElement(array.get(), &second, out.get()), S_OK);
    ASSERT_EQ(V_VT(out.get()), VT_BSTR);
    EXPECT_EQ(Narrow(V_BSTR(out.get())), "element");
    SafeArrayDataAccess access(array.get());
    ASSERT_EQ(access.Result(), S_OK);
    EXPECT_NE(V_BSTR(&access.data<VARIANT>()[1]), V_BSTR(out.get()));
}

TEST(AutomationSafeArray, AccessDataCountsAsALock)
{
    UniqueSafeArray array = UniqueSafeArray::VariantVector(1);
    ASSERT_TRUE(array);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array.get(), &data), S_OK);
    EXPECT_EQ(data, array.get()->pvData);
    EXPECT_EQ(array.get()->cLocks, 1u);
    ASSERT_EQ(SafeArrayLock(array.get()), S_OK);
    EXPECT_EQ(array.get()->cLocks, 2u);
    EXPECT_EQ(SafeArrayUnlock(array.get()), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(array.get()), S_OK);
    EXPECT_EQ(array.get()->cLocks, 0u);
    EXPECT_EQ(SafeArrayUnlock(array.get()), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayUnaccessData(array.get()), E_UNEXPECTED);
}

TEST(AutomationSafeArray, DestroyRefusesALockedArrayAndReleasesElements)
{
    CountingObject object;
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    ASSERT_NE(array, nullptr);
    LONG index = 0;
    VARIANT value;
    V_VT(&value) = VT_UNKNOWN;
    V_UNKNOWN(&value) = &object;
    ASSERT_EQ(SafeArrayPutElement(array, &index, &value), S_OK);
    ASSERT_EQ(SafeArrayLock(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(object.references(), 2u) << "a refused destroy keeps the elements";
    ASSERT_EQ(SafeArrayUnlock(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    EXPECT_EQ(object.references(), 1u);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(AutomationSafeArray, CopyIsDeep)
{
    CountingObject object;
    UniqueSafeArray array(SafeArrayCreateVector(VT_VARIANT, 2, 1));
    ASSERT_TRUE(array);
    LONG index = 2;
    VARIANT value;
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = &object;
    ASSERT_EQ(SafeArrayPutElement(array.get(), &index, &value), S_OK);
    UniqueSafeArray copy;
    ASSERT_EQ(SafeArrayCopy(array.get(), copy.put()), S_OK);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get()->pvData, array.get()->pvData);
    LONG lower = 0;
    EXPECT_EQ(SafeArrayGetLBound(copy.get(), 1, &lower), S_OK);
    EXPECT_EQ(lower, 2);
    EXPECT_EQ(object.references(), 3u);
    copy.reset();
    array.reset();
    EXPECT_EQ(object.references(), 1u);
}

} // namespace
