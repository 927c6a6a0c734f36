// Semaphores and waits within one process: counts, time-outs, the maximum, named objects
// opened twice, and the failures for bad arguments and handles.
#include "kernel_test_support.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using korvo::UniqueHandle;
using korvo::test::UniqueName;
using korvo::test::Wide;
using korvo::test::WideString;
using Clock = std::chrono::steady_clock;

UniqueHandle MakeSemaphore(LONG initial, LONG maximum, const WCHAR* name = nullptr)
{
    return UniqueHandle(CreateSemaphoreW(nullptr, initial, maximum, name));
}

TEST(KernelSemaphore, UnnamedWaitTakesAndTimesOut)
{
    auto semaphore = MakeSemaphore(1, 1);
    ASSERT_TRUE(semaphore);
    EXPECT_EQ(WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore.get(), 0), WAIT_TIMEOUT);

    const auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(semaphore.get(), 50), WAIT_TIMEOUT);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
}

TEST(KernelSemaphore, ReleasePastTheMaximumFailsAndKeepsTheCount)
{
    auto semaphore = MakeSemaphore(0, 2);
    ASSERT_TRUE(semaphore);
    LONG previous = -1;
    ASSERT_NE(ReleaseSemaphore(semaphore.get(), 1, &previous), FALSE);
    EXPECT_EQ(previous, 0);

    SetLastError(0);
    EXPECT_EQ(ReleaseSemaphore(semaphore.get(), 2, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);

    ASSERT_NE(ReleaseSemaphore(semaphore.get(), 1, &previous), FALSE);
    EXPECT_EQ(previous, 1);
    EXPECT_EQ(ReleaseSemaphore(semaphore.get(), 1, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);

    EXPECT_EQ(WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore.get(), 0), WAIT_TIMEOUT);
}

TEST(KernelSemaphore, ReleaseWakesAnInfiniteWaiter)
{
    auto semaphore = MakeSemaphore(0, 1);
    ASSERT_TRUE(semaphore);
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] { result = WaitForSingleObject(semaphore.get(), INFINITE); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_NE(ReleaseSemaphore(semaphore.get(), 1, nullptr), FALSE);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
}

TEST(KernelSemaphore, RejectsBadCounts)
{
    struct Case {
        LONG initial, maximum;
    };
    for (Case bad : {Case{0, 0}, Case{-1, 1}, Case{2, 1}, Case{0, -1}}) {
        SetLastError(0);
        EXPECT_EQ(CreateSemaphoreW(nullptr, bad.initial, bad.maximum, nullptr), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << bad.initial << "/" << bad.maximum;
    }
}

TEST(KernelSemaphore, BadHandlesFailWithInvalidHandle)
{
    HANDLE closed = CreateSemaphoreW(nullptr, 1, 1, nullptr);
    ASSERT_NE(closed, nullptr);
    ASSERT_NE(CloseHandle(closed), FALSE);

    for (HANDLE bad : {HANDLE{nullptr}, closed}) {
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_EQ(ReleaseSemaphore(bad, 1, nullptr), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    SetLastError(0);
    EXPECT_EQ(CloseHandle(closed), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(KernelSemaphore, SecondCreateWithTheNameOpensTheSameObject)
{
    const auto name = UniqueName("same-object");
    SetLastError(ERROR_INVALID_DATA);
    auto first = MakeSemaphore(1, 1, name.c_str());
    ASSERT_TRUE(first);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    auto second = MakeSemaphore(0, 5, name.c_str()); // counts of an existing object are ignored
    ASSERT_TRUE(second);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_NE(first.get(), second.get());

    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_TIMEOUT);
    ASSERT_NE(ReleaseSemaphore(first.get(), 1, nullptr), FALSE);
    EXPECT_EQ(ReleaseSemaphore(second.get(), 1, nullptr), FALSE) << "maximum is the first creator's 1";
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
}

TEST(KernelSemaphore, NamesAreCaseSensitiveAndLocalPrefixIsTheSession)
{
    const auto name = UniqueName("Case");
    auto upper = MakeSemaphore(1, 1, name.c_str());
    ASSERT_TRUE(upper);
    auto lower = MakeSemaphore(1, 1, UniqueName("case").c_str());
    ASSERT_TRUE(lower);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    auto local = MakeSemaphore(1, 1, (Wide("Local\\") + name).c_str());
    ASSERT_TRUE(local);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
}

TEST(KernelSemaphore, ObjectEndsWithItsLastHandle)
{
    const auto name = UniqueName("lifetime");
    {
        auto first = MakeSemaphore(1, 1, name.c_str());
        ASSERT_TRUE(first);
        ASSERT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0); // left held on close
    }
    auto fresh = MakeSemaphore(1, 1, name.c_str());
    ASSERT_TRUE(fresh);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(fresh.get(), 0), WAIT_OBJECT_0);
}

TEST(KernelSemaphore, LongAndUnusualNamesWork)
{
    const auto longName = UniqueName(std::string(200, 'x'));
    auto first = MakeSemaphore(1, 1, longName.c_str());
    ASSERT_TRUE(first);
    auto second = MakeSemaphore(1, 1, longName.c_str());
    ASSERT_TRUE(second);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

    auto odd = UniqueName("sl/ash :*?\"<>|");
    odd += static_cast<WCHAR>(0x00E9);
    odd += static_cast<WCHAR>(0xD800); // an unpaired surrogate is still a name
    auto oddSemaphore = MakeSemaphore(1, 1, odd.c_str());
    EXPECT_TRUE(oddSemaphore);
}

TEST(KernelSemaphore, BackslashOutsideTheNamespacePrefixesIsRefused)
{
    const auto base = UniqueName("dir");
    struct Case {
        WideString name;
        DWORD error;
    };
    const Case cases[] = {
        {base + Wide("\\name"), ERROR_PATH_NOT_FOUND},
        {base + Wide("\\"), ERROR_PATH_NOT_FOUND},
        {Wide("Global\\") + base + Wide("\\name"), ERROR_PATH_NOT_FOUND},
        {Wide("local\\") + base, ERROR_PATH_NOT_FOUND}, // the prefixes are case-sensitive
        {Wide("\\") + base, ERROR_BAD_PATHNAME},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        UniqueHandle refused(CreateSemaphoreW(nullptr, 1, 1, c.name.c_str()));
        EXPECT_FALSE(refused);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST(KernelSemaphore, GlobalNameIsAnotherThanTheLocalOne)
{
    const auto name = UniqueName("scopes");
    auto local = MakeSemaphore(1, 1, name.c_str());
    ASSERT_TRUE(local);
    auto global = MakeSemaphore(1, 1, (Wide("Global\\") + name).c_str());
    ASSERT_TRUE(global);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}

TEST(KernelSemaphore, EmptyNameMakesAnUnsharedObject)
{
    const WCHAR empty[] = {0};
    auto first = MakeSemaphore(1, 1, empty);
    ASSERT_TRUE(first);
    auto second = MakeSemaphore(1, 1, empty);
    ASSERT_TRUE(second);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_OBJECT_0);
}

} // namespace
