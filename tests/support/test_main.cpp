// The one main of the test programs that drive the core: the tests run inside one module
// lifetime (named stores live as long as the module), and on Windows with COM on the main
// thread in a single-threaded apartment, as script hosts give it to the regular-expression
// component.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "share/named_store_registry.h"

namespace {

class ModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
#if defined(_WIN32)
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
#endif
        ASSERT_TRUE(korvo::StartNamedStoreRegistry());
    }
    void TearDown() override
    {
        korvo::StopNamedStoreRegistry();
#if defined(_WIN32)
        CoUninitialize();
#endif
    }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);
    return RUN_ALL_TESTS();
}
