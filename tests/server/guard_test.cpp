// The key-guessing throttle's bookkeeping, on times given by the test: free failures, lockouts that
// double up to their longest, one address never locking another, forgetting, and a bounded table.
#include <gtest/gtest.h>

#include <algorithm>

#include "feed_guard.h"

namespace {

const unsigned kGuesser = 0x7F000069;  // 127.0.0.105
const unsigned kNeighbour = 0x7F00006A;

TEST(feed_server_key_guard, LocksAnAddressOutForLongerWithEachFailureBeyondTheFreeOnes)
{
    KeyGuard guard;
    long long now = 1000000;
    int failures = 0;
    for (int i = 1; i <= kFreeKeyFailures; ++i) {
        EXPECT_EQ(0, RecordKeyFailure(&guard, kGuesser, now, &failures)) << i;
        EXPECT_EQ(i, failures);
        EXPECT_EQ(0, KeyLockRemaining(guard, kGuesser, now));
    }
    // Each check made after a lockout ends and fails again doubles the next one, up to the longest.
    long long expected = kFirstLockMs;
    for (int i = 0; i < 10; ++i) {
        const long long lock = RecordKeyFailure(&guard, kGuesser, now, &failures);
        EXPECT_EQ(expected, lock) << i;
        EXPECT_EQ(lock, KeyLockRemaining(guard, kGuesser, now));
        EXPECT_EQ(1, KeyLockRemaining(guard, kGuesser, now + lock - 1));
        EXPECT_EQ(0, KeyLockRemaining(guard, kGuesser, now + lock));
        EXPECT_EQ(0, KeyLockRemaining(guard, kNeighbour, now));
        now += lock;
        expected = std::min(expected * 2, kLongestLockMs);
    }
    EXPECT_EQ(kLongestLockMs, expected);
    EXPECT_EQ(kFreeKeyFailures + 10, failures);
}

TEST(feed_server_key_guard, ForgetsAnAddressLongQuietAndStaysBounded)
{
    KeyGuard guard;
    int failures = 0;
    long long now = 5000;
    for (int i = 0; i < kFreeKeyFailures + 2; ++i)
        RecordKeyFailure(&guard, kGuesser, now, &failures);
    ASSERT_GT(KeyLockRemaining(guard, kGuesser, now), 0);
    // Quiet for a while, but not long enough: the count goes on.
    now += kForgetFailuresMs;
    EXPECT_GT(RecordKeyFailure(&guard, kGuesser, now, &failures), 0);
    EXPECT_EQ(kFreeKeyFailures + 3, failures);
    now += kForgetFailuresMs + 1;
    EXPECT_EQ(0, RecordKeyFailure(&guard, kGuesser, now, &failures));
    EXPECT_EQ(1, failures);

    // Many addresses, one failure each: the table keeps its bound, and drops the stalest first.
    for (unsigned a = 0; a < kGuardedAddressesMax + 500; ++a)
        RecordKeyFailure(&guard, 0x0A000000 + a, now + a, &failures);
    EXPECT_LE(guard.byAddress.size(), kGuardedAddressesMax);
    EXPECT_EQ(0u, guard.byAddress.count(kGuesser));
    EXPECT_EQ(0u, guard.byAddress.count(0x0A000000));
    EXPECT_EQ(1u, guard.byAddress.count(0x0A000000 + kGuardedAddressesMax + 499));
}

} // namespace
