// The well-known interface ids and dispatch constants have their registered values.
#include "platform/platform.h"

#include <gtest/gtest.h>

namespace {

TEST(AutomationInterfaces, IdsHaveTheirRegisteredValues)
{
    struct Case {
        const char* name;
        const IID& iid;
        GUID expected;
    };
    const Case cases[] = {
        {"IUnknown", IID_IUnknown, {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}},
        {"IDispatch", IID_IDispatch, {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}},
        {"IEnumVARIANT", IID_IEnumVARIANT, {0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}},
        {"IErrorInfo", IID_IErrorInfo, {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}}},
        {"ICreateErrorInfo",
         IID_ICreateErrorInfo,
         {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}}},
        {"ISupportErrorInfo",
         IID_ISupportErrorInfo,
         {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(IsEqualGUID(c.iid, c.expected));
    }
}

TEST(AutomationInterfaces, DispatchConstants)
{
    EXPECT_EQ(DISPID_VALUE, 0);
    EXPECT_EQ(DISPID_NEWENUM, -4);
    EXPECT_EQ(DISPID_PROPERTYPUT, -3);
    EXPECT_EQ(DISPATCH_METHOD, 1);
    EXPECT_EQ(DISPATCH_PROPERTYGET, 2);
    EXPECT_EQ(DISPATCH_PROPERTYPUT, 4);
    EXPECT_EQ(DISPATCH_PROPERTYPUTREF, 8);
    EXPECT_EQ(VARIANT_ALPHABOOL, 2);
    EXPECT_EQ(VARIANT_NOVALUEPROP, 1);
}

} // namespace
