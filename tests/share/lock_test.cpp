// The lock between objects of one process: named stores share one semaphore, private stores
// and named stores without a semaphore give each object a lock of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "member_calls.h"
#include "members/sharing.h"

namespace korvo {
namespace {

using namespace testing;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

HRESULT LockWith(ObjectState& object, LONG timeOut, LONG* result = nullptr)
{
    return members::Lock(object, timeOut, result);
}

TEST(Lock, TestAtOnceThroughTwoObjectsOnOneNamedStore)
{
    const auto name = UniqueStoreName(u"test-at-once");
    ObjectState first, second;
    ConnectOk(first, name);
    ConnectOk(second, name);

    LONG taken = -1;
    EXPECT_EQ(LockWith(first, 0, &taken), S_OK);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(LockWith(second, 0, &taken), kSemaphoreTimeout);
    EXPECT_EQ(taken, 0);

    // Any object that reaches the semaphore releases it, whichever took it.
    EXPECT_EQ(members::UnLock(second), S_OK);
    EXPECT_EQ(LockWith(second, 0, &taken), S_OK);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(members::UnLock(first), S_OK);
}

TEST(Lock, FiniteTimeOutRunsOutAgainstAHeldLock)
{
    const auto name = UniqueStoreName(u"time-out");
    ObjectState holder, waiter;
    ConnectOk(holder, name);
    ConnectOk(waiter, name);
    ASSERT_EQ(LockWith(holder, 0), S_OK);

    const auto started = steady_clock::now();
    EXPECT_EQ(LockWith(waiter, 100), kSemaphoreTimeout);
    EXPECT_GE(steady_clock::now() - started, milliseconds(90));
    EXPECT_EQ(members::UnLock(holder), S_OK);
}

TEST(Lock, WaiterWithoutLimitGetsTheLockWhenAnotherObjectReleasesIt)
{
    const auto name = UniqueStoreName(u"no-limit");
    ObjectState holder, waiter, releaser;
    ConnectOk(holder, name);
    ConnectOk(waiter, name);
    ConnectOk(releaser, name);
    ASSERT_EQ(LockWith(holder, 0), S_OK);

    std::atomic<bool> returned{false};
    auto waited = std::async(std::launch::async, [&] {
        LONG taken = -1;
        const HRESULT result = LockWith(waiter, -1, &taken);
        returned = true;
        return std::make_pair(result, taken);
    });
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_FALSE(returned) << "the wait ended while the lock was held";

    EXPECT_EQ(members::UnLock(releaser), S_OK);
    const auto [result, taken] = waited.get();
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(LockWith(holder, 0), kSemaphoreTimeout) << "the waiter holds the lock now";
    EXPECT_EQ(members::UnLock(waiter), S_OK);
}

TEST(Lock, UnLockOfAFreeLockFails)
{
    ObjectState named, unconnected;
    ConnectOk(named, UniqueStoreName(u"free"));
    EXPECT_EQ(members::UnLock(named), kTooManyPosts);

    ASSERT_EQ(LockWith(unconnected, 0), S_OK);
    EXPECT_EQ(members::UnLock(unconnected), S_OK);
    EXPECT_EQ(members::UnLock(unconnected), kTooManyPosts);
}

TEST(Lock, UnLockOfAnObjectThatNeverLockedIsPending)
{
    ObjectState fresh;
    EXPECT_EQ(members::UnLock(fresh), E_PENDING);
    EXPECT_EQ(ItemsCountOf(fresh), 0);
}

TEST(Lock, NullResultIsAllowed)
{
    ObjectState object;
    EXPECT_EQ(members::Lock(object, 0, nullptr), S_OK);
    EXPECT_EQ(members::Lock(object, 0, nullptr), kSemaphoreTimeout);
    EXPECT_EQ(members::UnLock(object), S_OK);
}

TEST(Lock, NegativeTimeOutsOtherThanMinusOneAreLongFiniteWaits)
{
    ObjectState object;
    LONG taken = -1;
    EXPECT_EQ(LockWith(object, -2, &taken), S_OK);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(members::UnLock(object), S_OK);
}

TEST(Lock, PrivateStoresHaveLocksOfTheirOwn)
{
    ObjectState first, second;
    EXPECT_EQ(LockWith(first, 0), S_OK);
    EXPECT_EQ(LockWith(second, 0), S_OK);
    EXPECT_EQ(members::UnLock(first), S_OK);
    EXPECT_EQ(members::UnLock(second), S_OK);
}

TEST(Lock, NamedStoreLockStaysHeldAcrossDisConnect)
{
    const auto name = UniqueStoreName(u"across-disconnect");
    ObjectState holder, other;
    ConnectOk(holder, name);
    ConnectOk(other, name);
    ASSERT_EQ(LockWith(holder, 0), S_OK);

    DisConnectOk(holder);
    EXPECT_EQ(LockWith(other, 0), kSemaphoreTimeout);
    // The former holder is on a private store now and reaches another semaphore.
    EXPECT_EQ(members::UnLock(holder), E_PENDING);
    EXPECT_EQ(members::UnLock(other), S_OK);
    EXPECT_EQ(LockWith(other, 0), S_OK);
    EXPECT_EQ(members::UnLock(other), S_OK);
}

TEST(Lock, NamedStoreLockStaysHeldAfterTheHolderIsGone)
{
    const auto name = UniqueStoreName(u"holder-gone");
    ObjectState other;
    ConnectOk(other, name);
    {
        ObjectState holder;
        ConnectOk(holder, name);
        ASSERT_EQ(LockWith(holder, 0), S_OK);
    }
    EXPECT_EQ(LockWith(other, 0), kSemaphoreTimeout);
    EXPECT_EQ(members::UnLock(other), S_OK);
}

TEST(Lock, NamedStoreWithoutSemaphoreGivesEachObjectItsOwnLock)
{
    // A backslash names an object directory that does not exist: the store has no semaphore.
    const auto name = UniqueStoreName(u"no\\semaphore");
    ObjectState first, second;
    ConnectOk(first, name);
    ConnectOk(second, name);
    AddOk(first, u"shared", 1);
    EXPECT_TRUE(ExistsIn(second, u"shared")) << "the entries are shared all the same";

    EXPECT_EQ(members::UnLock(first), E_PENDING);
    EXPECT_EQ(LockWith(first, 0), S_OK);
    EXPECT_EQ(LockWith(second, 0), S_OK);
    EXPECT_EQ(LockWith(first, 0), kSemaphoreTimeout);

    // The semaphore made for the object goes with its binding.
    DisConnectOk(first);
    EXPECT_EQ(members::UnLock(first), E_PENDING);
    ConnectOk(first, name);
    EXPECT_EQ(LockWith(first, 0), S_OK) << "a new semaphore, not the one still held";
    EXPECT_EQ(members::UnLock(first), S_OK);
    EXPECT_EQ(members::UnLock(second), S_OK);
}

TEST(Lock, OtherMembersDoNotWaitForTheLock)
{
    const auto name = UniqueStoreName(u"advisory");
    ObjectState holder, other;
    ConnectOk(holder, name);
    ConnectOk(other, name);
    ASSERT_EQ(LockWith(holder, 0), S_OK);

    auto work = std::async(std::launch::async, [&] {
        AddOk(other, u"k", 1);
        RemoveOk(other, u"k");
        AddOk(other, u"k", 2);
        return ItemsCountOf(other);
    });
    EXPECT_EQ(work.get(), 1);
    EXPECT_EQ(members::UnLock(holder), S_OK);
}

TEST(Lock, RebindingDuringAWaitLeavesTheWaitersSemaphoreOpen)
{
    ObjectState object;
    ASSERT_EQ(LockWith(object, 0), S_OK);
    auto waited = std::async(std::launch::async, [&] { return LockWith(object, 500); });
    std::this_thread::sleep_for(milliseconds(100));
    // Drops the binding's semaphore, normally while the waiter still waits on it.
    DisConnectOk(object);
    const HRESULT result = waited.get();
    if (result == S_OK) {
        // The waiter came late and locked the new private store instead.
        EXPECT_EQ(members::UnLock(object), S_OK);
    } else {
        EXPECT_EQ(result, kSemaphoreTimeout);
        EXPECT_EQ(members::UnLock(object), E_PENDING);
    }
}

} // namespace
} // namespace korvo
