// Two processes connected to one name share the lock through the semaphore's name but keep
// entries of their own. The child is this test program, started on its child-side test.
#include <gtest/gtest.h>

#include <string>

#include "kernel_child_process.h"
#include "platform/unique_handle.h"
#include "members/sharing.h"
#include "member_calls.h"

namespace korvo {
namespace {

using namespace testing;

constexpr LONG kHandshakeTimeOut = 30000;
constexpr const char* kChildTest = "CrossProcessLock.ChildSide";

std::u16string ToU16(const std::string& text) { return {text.begin(), text.end()}; }
std::string ToNarrow(const std::u16string& text) { return {text.begin(), text.end()}; }

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

} // namespace
} // namespace korvo
