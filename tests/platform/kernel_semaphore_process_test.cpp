// A named semaphore shared with a child process of this test executable: exclusion with
// time-outs, release by the other process, too many posts seen from both sides, and a child
// killed while it holds the lock or while it hammers the object.
#include "kernel_child_process.h"
#include "kernel_test_support.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using korvo::UniqueHandle;
using korvo::test::ChildArgument;
using korvo::test::ChildProcess;
using korvo::test::Wide;
using korvo::test::WideString;

constexpr DWORD kHandshakeTimeout = 20000;

// The lock and two signalling semaphores of one parent/child exchange, named from a base
// name that the parent hands to the child.
struct SharedObjects {
    explicit SharedObjects(const std::string& base)
        : lock(Open(base, "lock", 1)), ready(Open(base, "ready", 0)), go(Open(base, "go", 0))
    {}
    static HANDLE Open(const std::string& base, const char* part, LONG initial)
    {
        return CreateSemaphoreW(nullptr, initial, 1, Wide(base + "-" + part).c_str());
    }
    UniqueHandle lock, ready, go;
};

std::string BaseName(const char* purpose)
{
    return "korvo-kernel-test-" + std::to_string(GetCurrentProcessId()) + "-" + purpose;
}

void ExpectTooManyPosts(HANDLE semaphore)
{
    SetLastError(0);
    EXPECT_EQ(ReleaseSemaphore(semaphore, 1, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
}

// --- Child roles: each runs only when started by a parent test below ---

TEST(KernelChild, HoldsTheLockUntilTold)
{
    if (ChildArgument().empty()) {
        GTEST_SKIP() << "runs only as the child of KernelSemaphoreProcess tests";
    }
    SharedObjects shared(ChildArgument());
    ASSERT_TRUE(shared.lock && shared.ready && shared.go);
    ExpectTooManyPosts(shared.lock.get()); // free, as the parent left it
    ASSERT_EQ(WaitForSingleObject(shared.lock.get(), 0), WAIT_OBJECT_0);
    ASSERT_NE(ReleaseSemaphore(shared.ready.get(), 1, nullptr), FALSE);
    ASSERT_EQ(WaitForSingleObject(shared.go.get(), kHandshakeTimeout), WAIT_OBJECT_0);
    ASSERT_NE(ReleaseSemaphore(shared.lock.get(), 1, nullptr), FALSE);
}

TEST(KernelChild, HoldsTheLockForever)
{
    if (ChildArgument().empty()) {
        GTEST_SKIP() << "runs only as the child of KernelSemaphoreProcess tests";
    }
    SharedObjects shared(ChildArgument());
    ASSERT_TRUE(shared.lock && shared.ready && shared.go);
    ASSERT_EQ(WaitForSingleObject(shared.lock.get(), 0), WAIT_OBJECT_0);
    ASSERT_NE(ReleaseSemaphore(shared.ready.get(), 1, nullptr), FALSE);
    WaitForSingleObject(shared.go.get(), INFINITE); // never signalled: the parent kills us
}

TEST(KernelChild, HammersTheLock)
{
    if (ChildArgument().empty()) {
        GTEST_SKIP() << "runs only as the child of KernelSemaphoreProcess tests";
    }
    SharedObjects shared(ChildArgument());
    ASSERT_TRUE(shared.lock && shared.ready && shared.go);
    ASSERT_NE(ReleaseSemaphore(shared.ready.get(), 1, nullptr), FALSE);
    for (;;) {
        if (WaitForSingleObject(shared.lock.get(), INFINITE) == WAIT_OBJECT_0) {
            ReleaseSemaphore(shared.lock.get(), 1, nullptr);
        }
    }
}

// --- Parent tests ---

TEST(KernelSemaphoreProcess, ExcludesAnotherProcessAndSeesItsRelease)
{
    const std::string base = BaseName("exclusion");
    SharedObjects shared(base);
    ASSERT_TRUE(shared.lock && shared.ready && shared.go);

    ChildProcess child("KernelChild.HoldsTheLockUntilTold", base);
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(WaitForSingleObject(shared.ready.get(), kHandshakeTimeout), WAIT_OBJECT_0);

    EXPECT_EQ(WaitForSingleObject(shared.lock.get(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(shared.lock.get(), 50), WAIT_TIMEOUT);

    ASSERT_NE(ReleaseSemaphore(shared.go.get(), 1, nullptr), FALSE);
    EXPECT_EQ(WaitForSingleObject(shared.lock.get(), kHandshakeTimeout), WAIT_OBJECT_0);
    EXPECT_EQ(child.Wait(), 0);

    ASSERT_NE(ReleaseSemaphore(shared.lock.get(), 1, nullptr), FALSE);
    ExpectTooManyPosts(shared.lock.get());
}

TEST(KernelSemaphoreProcess, HolderKilledLeavesTheObjectWorking)
{
    const std::string base = BaseName("killed-holder");
    SharedObjects shared(base);
    ASSERT_TRUE(shared.lock && shared.ready && shared.go);

    ChildProcess child("KernelChild.HoldsTheLockForever", base);
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(WaitForSingleObject(shared.ready.get(), kHandshakeTimeout), WAIT_OBJECT_0);
    child.Kill();

    // The count stays taken, as a semaphore has no owner; the object itself still works.
    EXPECT_EQ(WaitForSingleObject(shared.lock.get(), 0), WAIT_TIMEOUT);
    ASSERT_NE(ReleaseSemaphore(shared.lock.get(), 1, nullptr), FALSE);
    ExpectTooManyPosts(shared.lock.get());
    EXPECT_EQ(WaitForSingleObject(shared.lock.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(shared.lock.get(), 10), WAIT_TIMEOUT);
}

TEST(KernelSemaphoreProcess, ProcessKilledMidUseLeavesTheObjectConsistent)
{
    const std::string base = BaseName("killed-user");
    SharedObjects shared(base);
    ASSERT_TRUE(shared.lock && shared.ready && shared.go);

    for (int round = 0; round < 3; ++round) {
        ChildProcess child("KernelChild.HammersTheLock", base);
        ASSERT_TRUE(child.Started());
        ASSERT_EQ(WaitForSingleObject(shared.ready.get(), kHandshakeTimeout), WAIT_OBJECT_0);
        Sleep(20 + 15 * round);
        child.Kill();

        // Killed between its wait and its release the count is 0, anywhere else 1; never
        // anything else, and nothing blocks. Taking it if free makes both cases 0.
        const DWORD taken = WaitForSingleObject(shared.lock.get(), 0);
        EXPECT_TRUE(taken == WAIT_OBJECT_0 || taken == WAIT_TIMEOUT) << taken;
        ASSERT_NE(ReleaseSemaphore(shared.lock.get(), 1, nullptr), FALSE);
        ExpectTooManyPosts(shared.lock.get());
    }
}

TEST(KernelSemaphoreProcess, ObjectOfAKilledLastHolderIsGoneForTheNextProcess)
{
    const std::string base = BaseName("killed-last");
    // The parent keeps only the signalling semaphores open: the lock is the child's alone.
    UniqueHandle ready(SharedObjects::Open(base, "ready", 0));
    UniqueHandle go(SharedObjects::Open(base, "go", 0));
    ASSERT_TRUE(ready && go);

    ChildProcess child("KernelChild.HoldsTheLockForever", base);
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(WaitForSingleObject(ready.get(), kHandshakeTimeout), WAIT_OBJECT_0);
    child.Kill();

    UniqueHandle lock(SharedObjects::Open(base, "lock", 1));
    ASSERT_TRUE(lock);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "a new object, not the dead process's";
    EXPECT_EQ(WaitForSingleObject(lock.get(), 0), WAIT_OBJECT_0);
}

} // namespace
