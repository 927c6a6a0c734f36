// Critical sections: recursion on one thread, exclusion between threads, and the owning
// wrapper and guard.
#include "platform/critical_section.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using korvo::CriticalSection;
using korvo::SectionGuard;

bool TryEnterFromAnotherThread(CRITICAL_SECTION* section)
{
    bool entered = false;
    std::thread other([&] {
        entered = TryEnterCriticalSection(section) != FALSE;
        if (entered) {
            LeaveCriticalSection(section);
        }
    });
    other.join();
    return entered;
}

TEST(KernelCriticalSection, IsRecursiveAndHeldUntilEveryEntryIsLeft)
{
    CriticalSection section;
    EnterCriticalSection(section.Native());
    ASSERT_NE(TryEnterCriticalSection(section.Native()), FALSE); // same thread: enters again
    EXPECT_FALSE(TryEnterFromAnotherThread(section.Native()));

    LeaveCriticalSection(section.Native());
    EXPECT_FALSE(TryEnterFromAnotherThread(section.Native())) << "one entry is still held";

    LeaveCriticalSection(section.Native());
    EXPECT_TRUE(TryEnterFromAnotherThread(section.Native()));
}

TEST(KernelCriticalSection, GuardsNestAndReleaseOnScopeExit)
{
    CriticalSection section;
    {
        SectionGuard outer(section);
        SectionGuard inner(section.Native());
        EXPECT_FALSE(TryEnterFromAnotherThread(section.Native()));
    }
    EXPECT_TRUE(TryEnterFromAnotherThread(section.Native()));
}

TEST(KernelCriticalSection, ExcludesOtherThreads)
{
    CriticalSection section;
    long unguardedCount = 0; // only ever touched inside the section
    std::atomic<bool> overlap{false};
    std::atomic<int> inside{0};
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                SectionGuard guard(section);
                if (inside.fetch_add(1) != 0) {
                    overlap = true;
                }
                ++unguardedCount;
                inside.fetch_sub(1);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(overlap);
    EXPECT_EQ(unguardedCount, long{kThreads} * kRounds);
}

} // namespace
