// The reconnect back-off: doubling from the first delay up to the cap, reset by a success.
#include <gtest/gtest.h>

#include "remote/reconnect_backoff.h"

namespace korvo::remote {
namespace {

using std::chrono::milliseconds;

TEST(ReconnectBackoff, DoublesTheDelayWithEachFailureUpToTheCap)
{
    ReconnectBackoff backoff(milliseconds(100), milliseconds(1000));
    EXPECT_FALSE(backoff.Failing());
    EXPECT_EQ(backoff.Delay(), milliseconds(0));
    const Deadline now = std::chrono::steady_clock::now();
    for (const long long expected : {100, 200, 400, 800, 1000, 1000}) {
        backoff.RecordFailure(now);
        EXPECT_TRUE(backoff.Failing());
        EXPECT_EQ(backoff.Delay(), milliseconds(expected)) << "after " << backoff.Failures() << " failures";
        EXPECT_EQ(backoff.NextAttempt(), now + milliseconds(expected));
    }
    backoff.RecordSuccess();
    EXPECT_FALSE(backoff.Failing());
    backoff.RecordFailure(now);
    EXPECT_EQ(backoff.Delay(), milliseconds(100));
}

TEST(ReconnectBackoff, StaysWithinTheCapAfterManyFailuresAndOddSettings)
{
    ReconnectBackoff huge(milliseconds(1), milliseconds::max() / 4);
    ReconnectBackoff zero(milliseconds(0), milliseconds(500));
    ReconnectBackoff inverted(milliseconds(900), milliseconds(300));
    const Deadline now = std::chrono::steady_clock::now();
    for (int failure = 0; failure < 200; ++failure) {
        huge.RecordFailure(now);
        zero.RecordFailure(now);
        inverted.RecordFailure(now);
    }
    EXPECT_EQ(huge.Delay(), milliseconds::max() / 4);
    EXPECT_EQ(huge.NextAttempt(), Deadline::max());
    EXPECT_EQ(zero.Delay(), milliseconds(0));
    EXPECT_EQ(inverted.Delay(), milliseconds(300));
}

} // namespace
} // namespace korvo::remote
