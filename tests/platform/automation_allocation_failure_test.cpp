// The posix runtime's out-of-memory hook, and that each operation fails cleanly under it.
// Windows has no such hook: this file is empty there.
#if !defined(_WIN32)

#include "automation_test_text.h"
#include "platform/platform.h"
#include "platform/unique_variant.h"

#include <gtest/gtest.h>

namespace {

using korvo::UniqueVariant;
using korvo::posix::SetAllocationFailureCountdown;
using korvo::test::Narrow;
using korvo::test::WideCopy;

class AutomationAllocationFailure : public testing::Test {
protected:
    void TearDown() override { SetAllocationFailureCountdown(-1); }
};

TEST_F(AutomationAllocationFailure, CountdownAllowsNThenFailsUntilSwitchedOff)
{
    SetAllocationFailureCountdown(2);
    BSTR first = SysAllocString(u"a");
    BSTR second = SysAllocString(u"b");
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(SysAllocString(u"c"), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, 1), nullptr);
    EXPECT_EQ(CoTaskMemAlloc(8), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_VARIANT, 0, 1), nullptr);
    ICreateErrorInfo* record = nullptr;
    EXPECT_EQ(CreateErrorInfo(&record), E_OUTOFMEMORY);
    EXPECT_EQ(record, nullptr);
    SetAllocationFailureCountdown(-1);
    BSTR third = SysAllocString(u"c");
    EXPECT_NE(third, nullptr);
    SysFreeString(first);
    SysFreeString(second);
    SysFreeString(third);
}

TEST_F(AutomationAllocationFailure, FailedCopiesLeaveTheDestinationUsable)
{
    UniqueVariant array;
    V_VT(array.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(array.get()) = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG index = 1;
    UniqueVariant text;
    V_VT(text.get()) = VT_BSTR;
    V_BSTR(text.get()) = WideCopy("element");
    ASSERT_EQ(SafeArrayPutElement(V_ARRAY(array.get()), &index, text.get()), S_OK);

    VARIANT* sources[] = {text.get(), array.get()};
    for (VARIANT* source : sources) {
        for (long allowed = 0; allowed < 2; ++allowed) {
            SCOPED_TRACE(testing::Message() << V_VT(source) << " after " << allowed);
            UniqueVariant destination;
            SetAllocationFailureCountdown(allowed);
            const HRESULT hr = VariantCopy(destination.get(), source);
            SetAllocationFailureCountdown(-1);
            if (hr == S_OK) {
                continue; // the copy needed no more allocations than allowed
            }
            EXPECT_EQ(hr, E_OUTOFMEMORY);
            EXPECT_EQ(destination.reset(), S_OK);
        }
    }

    UniqueVariant converted;
    V_VT(converted.get()) = VT_I4;
    V_I4(converted.get()) = 5;
    SetAllocationFailureCountdown(0);
    EXPECT_EQ(VariantChangeType(converted.get(), converted.get(), 0, VT_BSTR), E_OUTOFMEMORY);
    SetAllocationFailureCountdown(-1);
    EXPECT_EQ(V_VT(converted.get()), VT_I4);
    EXPECT_EQ(V_I4(converted.get()), 5);
}

TEST_F(AutomationAllocationFailure, ProgIdTableAddsAndRemoves)
{
    const CLSID clsid = {0x0F00D000, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
    ASSERT_EQ(PosixRegisterProgID(clsid, u"Test.Class"), S_OK);
    LPOLESTR progId = nullptr;
    SetAllocationFailureCountdown(0);
    EXPECT_EQ(ProgIDFromCLSID(clsid, &progId), E_OUTOFMEMORY);
    SetAllocationFailureCountdown(-1);
    ASSERT_EQ(ProgIDFromCLSID(clsid, &progId), S_OK);
    CoTaskMemFree(progId);
    ASSERT_EQ(PosixRegisterProgID(clsid, nullptr), S_OK);
    EXPECT_EQ(ProgIDFromCLSID(clsid, &progId), REGDB_E_CLASSNOTREG);
}

} // namespace

#endif
