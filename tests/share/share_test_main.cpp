#include <gtest/gtest.h>

#include "share/named_store_registry.h"

namespace {

// Named stores live as long as the module; the tests run inside one module lifetime.
class ModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(korvo::StartNamedStoreRegistry()); }
    void TearDown() override { korvo::StopNamedStoreRegistry(); }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);
    return RUN_ALL_TESTS();
}
