// Two processes connected to one name share the lock through the semaphore's name but keep
// entries of their own. The child is this test program, started on its child-side test.
#include <gtest/gtest.h>

#include <string>

#include "kernel_child_process.h"
#include "member_calls.h"
#include "members/sharing.h"
#include "platform/unique_handle.h"

namespace korvo {
namespace {

using namespace testing;

constexpr LONG kHandshakeTimeOut = 30000;
constexpr const char* kChildTest = "CrossProcessLock.ChildSide";

std::u16string ToU16(const std::string& text)
{
    return {text.begin(), text.end()};
}
std::string ToNarrow(const std::u16string& text)
{
    return {text.begin(), text.end()};
}

// The child tells the parent it has tried the held lock by releasing this semaphore.
UniqueHandle OpenHandshake(const std::u16string& storeName)
{
    const std::u16string name = storeName + u"-handshake";
    return UniqueHandle(CreateSemaphoreW(nullptr, 0, 1, reinterpret_cast<LPCWSTR>(name.c_str())));
}

TEST(CrossProcessLock, ProcessesExcludeEachOtherButKeepTheirOwnEntries)
{
    const std::u16string name = UniqueStoreName(u"two-processes");
    const UniqueHandle handshake = OpenHandshake(name);
    ASSERT_TRUE(handshake);
    ObjectState parent;
    ConnectOk(parent, name);
    AddOk(parent, u"parent", 1);
    ASSERT_EQ(members::Lock(parent, 0, nullptr), S_OK);

    test::ChildProcess child(kChildTest, ToNarrow(name));
    ASSERT_TRUE(child.Started());
    // The child found the lock held and now waits for it.
    ASSERT_EQ(WaitForSingleObject(handshake.get(), kHandshakeTimeOut), WAIT_OBJECT_0);
    EXPECT_EQ(members::UnLock(parent), S_OK);
    EXPECT_EQ(child.Wait(), 0) << "the child side failed; run it alone to see why";

    EXPECT_EQ(ItemsCountOf(parent), 1);
    EXPECT_TRUE(ExistsIn(parent, u"parent"));
    EXPECT_FALSE(ExistsIn(parent, u"child"));
    // The child released the lock before it ended.
    EXPECT_EQ(members::Lock(parent, 0, nullptr), S_OK);
    EXPECT_EQ(members::UnLock(parent), S_OK);
}

TEST(CrossProcessLock, ChildSide)
{
    const std::string argument = test::ChildArgument();
    if (argument.empty()) {
        GTEST_SKIP() << "runs only as the child of the two-process test";
    }
    const std::u16string name = ToU16(argument);
    const UniqueHandle handshake = OpenHandshake(name);
    ASSERT_TRUE(handshake);
    ObjectState child;
    ConnectOk(child, name);
    EXPECT_EQ(ItemsCountOf(child), 0) << "entries are per process";
    AddOk(child, u"child", 2);

    const HRESULT tried = members::Lock(child, 0, nullptr);
    ASSERT_TRUE(ReleaseSemaphore(handshake.get(), 1, nullptr));
    ASSERT_EQ(tried, kSemaphoreTimeout) << "the parent holds the lock";
    ASSERT_EQ(members::Lock(child, kHandshakeTimeOut, nullptr), S_OK);
    EXPECT_FALSE(ExistsIn(child, u"parent"));
    EXPECT_EQ(members::UnLock(child), S_OK);
}

// A holder that dies keeps the lock no longer than one check of its waiter: the waiter finds
// the recorded holder gone and takes the lock over, within its time-out. The parent keeps the
// name open all along, so the semaphore itself outlives the holder.
TEST(CrossProcessLock, AWaiterTakesOverFromADeadHolder)
{
    const std::u16string name = UniqueStoreName(u"dead-holder");
    const UniqueHandle handshake = OpenHandshake(name);
    ASSERT_TRUE(handshake);
    ObjectState parent;
    ConnectOk(parent, name);

    test::ChildProcess holder("CrossProcessLock.HolderSide", ToNarrow(name));
    ASSERT_TRUE(holder.Started());
    ASSERT_EQ(WaitForSingleObject(handshake.get(), kHandshakeTimeOut), WAIT_OBJECT_0);
    EXPECT_EQ(members::Lock(parent, 0, nullptr), kSemaphoreTimeout) << "the holder lives";
    holder.Kill();

    test::ChildProcess waiter("CrossProcessLock.WaiterSide", ToNarrow(name));
    ASSERT_TRUE(waiter.Started());
    EXPECT_EQ(waiter.Wait(), 0) << "the waiter did not get the lock within its time-out";

    // The waiter ended holding the lock too: the next waiter takes it over the same way, and
    // the lock then works as ever.
    EXPECT_EQ(members::Lock(parent, 5000, nullptr), S_OK);
    ObjectState other;
    ConnectOk(other, name);
    EXPECT_EQ(members::Lock(other, 0, nullptr), kSemaphoreTimeout) << "the parent holds it now";
    EXPECT_EQ(members::UnLock(other), S_OK) << "any object may free it";
    EXPECT_EQ(members::UnLock(parent), kTooManyPosts);
}

TEST(CrossProcessLock, HolderSide)
{
    const std::string argument = test::ChildArgument();
    if (argument.empty()) {
        GTEST_SKIP() << "runs only as the child of the dead-holder test";
    }
    const std::u16string name = ToU16(argument);
    const UniqueHandle handshake = OpenHandshake(name);
    ASSERT_TRUE(handshake);
    ObjectState holder;
    ConnectOk(holder, name);
    ASSERT_EQ(members::Lock(holder, 0, nullptr), S_OK);
    ASSERT_TRUE(ReleaseSemaphore(handshake.get(), 1, nullptr));
    Sleep(INFINITE); // killed while it holds the lock
}

TEST(CrossProcessLock, WaiterSide)
{
    const std::string argument = test::ChildArgument();
    if (argument.empty()) {
        GTEST_SKIP() << "runs only as the child of the dead-holder test";
    }
    ObjectState waiter;
    ConnectOk(waiter, ToU16(argument));
    ASSERT_EQ(members::Lock(waiter, 5000, nullptr), S_OK);
}

} // namespace
} // namespace korvo
