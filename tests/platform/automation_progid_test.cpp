// ProgIDFromCLSID: the name of a registered class in task memory, and the code for a class
// that nobody registered.
#include "automation_test_text.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A class that every Windows installation (and Wine) registers.
const CLSID kScriptingDictionary = {0xEE09B103, 0x97E0, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
const CLSID kUnregistered = {0x0BADC0DE, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};

class AutomationProgId : public testing::Test {
protected:
    void SetUp() override
    {
#if !defined(_WIN32)
        // What installing the scripting runtime does on Windows.
        ASSERT_EQ(PosixRegisterProgID(kScriptingDictionary, u"Scripting.Dictionary"), S_OK);
#endif
    }
};

std::string Text(const OLECHAR* s)
{
    std::string out;
    for (; s && *s; ++s) {
        out += static_cast<char>(*s);
    }
    return out;
}

TEST_F(AutomationProgId, RegisteredClassGivesItsProgId)
{
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(kScriptingDictionary, &progId), S_OK);
    EXPECT_EQ(Text(progId), "Scripting.Dictionary");
    CoTaskMemFree(progId);
}

TEST_F(AutomationProgId, UnregisteredClassIsNotRegistered)
{
    LPOLESTR progId = nullptr;
    EXPECT_EQ(ProgIDFromCLSID(kUnregistered, &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(progId, nullptr);
}

TEST(AutomationTaskMemory, AllocatesAndFrees)
{
    void* block = CoTaskMemAlloc(64);
    ASSERT_NE(block, nullptr);
    CoTaskMemFree(block);
    CoTaskMemFree(nullptr);
}

} // namespace
