// Lock on a remote store is a lease on the server shared by every process configured for
// it: it excludes the processes from each other exactly, and a holder that dies frees it
// when its lease runs out. The other processes are this test program on its child sides.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kernel_child_process.h"
#include "member_calls.h"
#include "members/items.h"
#include "members/sharing.h"
#include "remote_test_support.h"

namespace korvo::testing {
namespace {

constexpr LONG kGenerousWait = 120000;
constexpr int kProcesses = 3;
constexpr int kCycles = 1000;

std::string Narrow(const std::u16string& text)
{
    return {text.begin(), text.end()};
}

// The child's argument: the configuration file, then the store's name.
struct ChildOrders {
    std::string configuration;
    std::u16string store;
};

std::string Encode(const std::string& configuration, const std::u16string& store)
{
    return configuration + "\n" + Narrow(store);
}

bool Decode(const std::string& argument, ChildOrders& orders)
{
    const auto split = argument.find('\n');
    if (split == std::string::npos) {
        return false;
    }
    orders.configuration = argument.substr(0, split);
    const std::string store = argument.substr(split + 1);
    orders.store.assign(store.begin(), store.end());
    SetEnvironment(kConfigurationVariable, orders.configuration);
    ForgetRemoteConfiguration();
    return true;
}

LONG ReadCounter(ObjectState& object)
{
    Var value;
    EXPECT_EQ(members::GetItem(object, Bstr(u"counter"), value.get()), S_OK);
    return V_VT(value.get()) == VT_I4 ? V_I4(value.get()) : 0;
}

// Started as a child: kCycles of lock, read, write one more, unlock.
TEST(RemoteLock, CounterSide)
{
    ChildOrders orders;
    if (!Decode(test::ChildArgument(), orders)) {
        GTEST_SKIP() << "runs only as the child of RemoteLock.ProcessesCountExactlyUnderTheLock";
    }
    ObjectState object;
    ConnectOk(object, orders.store);
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        ASSERT_EQ(members::Lock(object, kGenerousWait, nullptr), S_OK) << "cycle " << cycle;
        Var next(ReadCounter(object) + 1);
        ASSERT_EQ(members::PutItem(object, Bstr(u"counter"), next.get()), S_OK);
        ASSERT_EQ(members::UnLock(object), S_OK);
    }
}

// Started as a child: takes the lock, says so in the store, and waits to be killed.
TEST(RemoteLock, HolderSide)
{
    ChildOrders orders;
    if (!Decode(test::ChildArgument(), orders)) {
        GTEST_SKIP() << "runs only as the child of RemoteLock.AKilledHolderFreesTheLockWhenItsLeaseEnds";
    }
    ObjectState object;
    ConnectOk(object, orders.store);
    ASSERT_EQ(members::Lock(object, kGenerousWait, nullptr), S_OK);
    AddOk(object, u"held", 1);
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

class RemoteLockTest : public ::testing::Test {
protected:
    void Start(const std::string& settings = {})
    {
        const auto started = server_.Start();
        if (started == test::RedisTestServer::StartResult::kNotInstalled) {
            GTEST_SKIP() << "redis-server is not installed (./run bootstrap installs it)";
        }
        ASSERT_EQ(started, test::RedisTestServer::StartResult::kStarted) << server_.failure();
        configuration_ = UseConfiguration(FarmConfiguration(server_.port(), settings));
        store_ = u"farm:" + UniqueStoreName(u"lock");
    }

    test::RedisTestServer server_;
    std::string configuration_;
    std::u16string store_;
};

struct LockStep {
    int object; // which of two objects on the store
    bool lock; // Lock(0) or UnLock
    HRESULT expected;
};

TEST_F(RemoteLockTest, LockAndUnLockAnswerAsTheLocalLock)
{
    Start();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    const LockStep steps[] = {
        {0, true, S_OK},  {1, true, kSemaphoreTimeout}, {0, true, kSemaphoreTimeout},
        {1, false, S_OK}, {0, false, kTooManyPosts},    {1, true, S_OK},
        {0, false, S_OK}, {1, false, kTooManyPosts},
    };
    ObjectState objects[2];
    ConnectOk(objects[0], store_);
    ConnectOk(objects[1], store_);
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const LockStep& step = steps[i];
        ObjectState& object = objects[step.object];
        EXPECT_EQ(step.lock ? members::Lock(object, 0, nullptr) : members::UnLock(object), step.expected)
            << "step " << i;
    }
}

TEST_F(RemoteLockTest, ProcessesCountExactlyUnderTheLock)
{
    Start();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    std::vector<std::unique_ptr<test::ChildProcess>> children;
    for (int i = 0; i < kProcesses; ++i) {
        children.push_back(
            std::make_unique<test::ChildProcess>("RemoteLock.CounterSide", Encode(configuration_, store_)));
        ASSERT_TRUE(children.back()->Started());
    }
    for (auto& child : children) {
        EXPECT_EQ(child->Wait(), 0) << "a counting side failed; run it alone to see why";
    }
    ObjectState object;
    ConnectOk(object, store_);
    EXPECT_EQ(ReadCounter(object), kProcesses * kCycles);
}

TEST_F(RemoteLockTest, AKilledHolderFreesTheLockWhenItsLeaseEnds)
{
    Start("LockLeaseMs = 1000\n");
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    test::ChildProcess holder("RemoteLock.HolderSide", Encode(configuration_, store_));
    ASSERT_TRUE(holder.Started());
    ObjectState object;
    ConnectOk(object, store_);
    for (int wait = 0; wait < 600 && !ExistsIn(object, u"held"); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(ExistsIn(object, u"held")) << "the holder never took the lock";
    EXPECT_EQ(members::Lock(object, 0, nullptr), kSemaphoreTimeout);
    holder.Kill();
    EXPECT_EQ(members::Lock(object, kGenerousWait, nullptr), S_OK);
    EXPECT_EQ(members::UnLock(object), S_OK);
}

} // namespace
} // namespace korvo::testing
