// Process and thread identity, interlocked counts and ANSI/UTF-8 conversion.
#include "kernel_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using korvo::test::WideString;

std::uint32_t Low32(HANDLE handle)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
}

TEST(KernelIdentity, PseudoHandlesPrintAsMinusOneAndMinusTwo)
{
    char text[64];
    std::snprintf(text, sizeof text, "%x,%x", Low32(GetCurrentProcess()), Low32(GetCurrentThread()));
    EXPECT_STREQ(text, "ffffffff,fffffffe");
    EXPECT_NE(CloseHandle(GetCurrentProcess()), FALSE) << "closing a pseudo-handle is harmless";
}

TEST(KernelIdentity, ThreadIdsDifferAcrossThreadsAndProcessIdDoesNot)
{
    const DWORD mainThread = GetCurrentThreadId();
    const DWORD process = GetCurrentProcessId();
    DWORD otherThread = mainThread;
    DWORD otherProcess = 0;
    std::thread([&] {
        otherThread = GetCurrentThreadId();
        otherProcess = GetCurrentProcessId();
    }).join();
    EXPECT_NE(mainThread, 0u);
    EXPECT_NE(otherThread, mainThread);
    EXPECT_EQ(otherProcess, process);
    EXPECT_EQ(GetCurrentThreadId(), mainThread);
}

TEST(KernelIdentity, LastErrorBelongsToEachThread)
{
    // Only atomics between the calls: any other platform call may change the last error.
    std::atomic<int> step{0};
    DWORD seenByOther = 1;
    DWORD keptByOther = 1;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
        step = 1;
        while (step != 2) {
        }
        keptByOther = GetLastError();
    });
    SetLastError(ERROR_DISK_FULL);
    while (step != 1) {
    }
    const DWORD keptByMain = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
    step = 2;
    other.join();
    EXPECT_EQ(seenByOther, ERROR_SUCCESS);
    EXPECT_EQ(keptByOther, ERROR_ACCESS_DENIED);
    EXPECT_EQ(keptByMain, ERROR_DISK_FULL);
}

TEST(KernelInterlocked, CountsFromSeveralThreadsAddUp)
{
    LONG volatile count = 0;
    constexpr int kThreads = 4;
    constexpr int kRounds = 50000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                if (t % 2 == 0) {
                    InterlockedIncrement(&count);
                } else {
                    InterlockedDecrement(&count), InterlockedIncrement(&count), InterlockedIncrement(&count);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(count, kThreads * kRounds);
}

TEST(KernelInterlocked, ResultsFollowWindows)
{
    LONG volatile value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6); // the new value
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5); // the old value
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 8), 9);
    EXPECT_EQ(value, 9) << "no exchange when the comparand differs";
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);
}

TEST(KernelCodePage, AnsiTextWithTerminatorAndSizeQuery)
{
    const char* text = "<br>Process:ffffffff";
    const int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    ASSERT_EQ(needed, 21) << "the count of -1 includes the terminator";
    WideString wide(static_cast<std::size_t>(needed), u'?');
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), needed), needed);
    EXPECT_EQ(wide.back(), 0);
    wide.pop_back();
    EXPECT_EQ(wide, korvo::test::Wide(text));

    WCHAR small[4];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, small, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 0, small, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(KernelCodePage, Utf8AndWindows1252BothWays)
{
    WCHAR wide[8] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xA9\xE2\x82\xAC", 5, wide, 8), 2);
    EXPECT_EQ(wide[0], 0x00E9);
    EXPECT_EQ(wide[1], 0x20AC);

    char narrow[8] = {};
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, 2, narrow, 8, nullptr, nullptr), 5);
    EXPECT_EQ(std::string(narrow, 5), "\xC3\xA9\xE2\x82\xAC");

    BOOL usedDefault = FALSE;
    const WCHAR euroAndHan[] = {0x20AC, 0x65E5};
    ASSERT_EQ(WideCharToMultiByte(1252, 0, euroAndHan, 2, narrow, 8, nullptr, &usedDefault), 2);
    EXPECT_EQ(std::string(narrow, 2), "\x80?");
    EXPECT_NE(usedDefault, FALSE);
}

} // namespace
