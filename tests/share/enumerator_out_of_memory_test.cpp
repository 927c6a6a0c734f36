// Memory exhaustion while a snapshot is taken or handed out: every failure is clean, with
// nothing leaked, no module lock left behind and the store untouched.
#include <gtest/gtest.h>

#include <array>

#include "counting_object.h"
#include "failing_allocator.h"
#include "member_calls.h"
#include "members/enumeration.h"
#include "platform/com_ptr.h"
#include "platform/module_lock.h"

namespace korvo::testing {
namespace {

constexpr long kMostAllocations = 500;

TEST(EnumeratorOutOfMemory, NewEnumFailsCleanlyAtEveryAllocation)
{
    CountingObject held;
    ObjectState object;
    AddText(object, u"a", u"first");
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_UNKNOWN;
    V_UNKNOWN(&item) = &held;
    AddOk(object, u"b", item);
    AddText(object, u"c", u"third");

    long failAt = 0;
    for (; failAt < kMostAllocations; ++failAt) {
        IUnknown* result = &held; // must come back null
        ArmFailureAfter(failAt);
        const HRESULT made = members::NewEnum(object, &result);
        Disarm();
        if (made == S_OK) {
            ComPtr<IUnknown>::Attach(result);
            break;
        }
        EXPECT_TRUE(made == E_OUTOFMEMORY || made == E_FAIL) << std::hex << made << " at " << failAt;
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(held.references(), 2) << "at " << failAt;
        EXPECT_EQ(ModuleLockCount(), 0) << "at " << failAt;
        EXPECT_EQ(ItemsCountOf(object), 3);
    }
    EXPECT_GT(failAt, 0) << "nothing was made to fail";
    EXPECT_LT(failAt, kMostAllocations);
    EXPECT_EQ(held.references(), 2);
    EXPECT_EQ(ModuleLockCount(), 0);
}

TEST(EnumeratorOutOfMemory, FailedNextLeavesNothingAndKeepsWhatWasHandedOut)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the system's string allocator cannot be made to fail";
#endif
    ObjectState object;
    AddText(object, u"a", u"first");
    AddText(object, u"b", u"second");
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(members::NewEnum(object, unknown.put()), S_OK);
    ComPtr<IEnumVARIANT> enumerator;
    ASSERT_EQ(unknown.As(IID_IEnumVARIANT, enumerator), S_OK);

    bool failedAfterTheFirstCopy = false;
    for (long failAt = 0; failAt < kMostAllocations; ++failAt) {
        ASSERT_EQ(enumerator->Reset(), S_OK);
        std::array<VARIANT, 2> row{};
        for (VARIANT& element : row) {
            VariantInit(&element);
        }
        ULONG fetched = 99;
        ArmFailureAfter(failAt);
        const HRESULT next = enumerator->Next(2, row.data(), &fetched);
        Disarm();
        if (next == S_OK) {
            EXPECT_EQ(fetched, 2u);
            for (VARIANT& element : row) {
                VariantClear(&element);
            }
            break;
        }
        EXPECT_EQ(next, E_OUTOFMEMORY);
        EXPECT_EQ(fetched, 0u);
        EXPECT_EQ(V_VT(&row[0]), VT_EMPTY) << "nothing of the failed call stays";
        // The position stays past what was copied before the failure.
        VARIANT rest;
        VariantInit(&rest);
        ASSERT_EQ(enumerator->Next(1, &rest, nullptr), S_OK);
        ASSERT_EQ(V_VT(&rest), VT_BSTR);
        if (std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(&rest))) == u"second") {
            failedAfterTheFirstCopy = true;
        }
        VariantClear(&rest);
        for (VARIANT& element : row) {
            VariantClear(&element);
        }
    }
    EXPECT_TRUE(failedAfterTheFirstCopy);
}

} // namespace
} // namespace korvo::testing
