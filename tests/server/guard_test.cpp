// The key-guessing throttle's bookkeeping, on times given by the test: free failures, lockouts that
// double up to their longest, one address never locking another, forgetting, and a bounded table; per
// account, the budget from any address, its holds, and tables that invented ids cannot fill.
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

TEST(feed_server_account_guard, HoldsAnAccountBackPastItsBudgetWhateverTheAddresses)
{
    for (const bool known : {true, false}) {
        AccountGuard guard;
        long long now = 1000000;
        long long lock = 0;
        for (int i = 1; i <= kAccountFailureBudget; ++i) {
            EXPECT_FALSE(RecordAccountFailure(&guard, "shop", known, now, &lock)) << i;
            EXPECT_EQ(0, lock);
        }
        EXPECT_EQ(0, AccountLockRemaining(guard, "shop", known, now));
        // The first failure past the budget starts the episode (logged once); each one after it, made
        // when the hold ends, doubles the hold while the debt grows faster than time pays it off.
        EXPECT_TRUE(RecordAccountFailure(&guard, "shop", known, now, &lock));
        for (long long expected : {1000, 2000, 4000, 8000, 16000}) {
            EXPECT_EQ(expected, lock);
            EXPECT_EQ(lock, AccountLockRemaining(guard, "shop", known, now));
            EXPECT_EQ(0, AccountLockRemaining(guard, "other", known, now));
            now += lock;
            EXPECT_EQ(0, AccountLockRemaining(guard, "shop", known, now));
            EXPECT_FALSE(RecordAccountFailure(&guard, "shop", known, now, &lock));
        }
        // A guesser who comes back at the end of every hold then gets the budget's rate and no more:
        // 20 checks in 10 minutes, 120 in an hour.
        int checks = 0;
        for (const long long end = now + 6 * kAccountWindowMs; now < end; ++checks) {
            now += lock;
            RecordAccountFailure(&guard, "shop", known, now, &lock);
            EXPECT_LE(lock, kAccountLongestLockMs);
        }
        EXPECT_NEAR(6 * kAccountFailureBudget, checks, 3);
        // Time pays the failures off: once it has, the budget is whole again and a new episode is logged.
        now += kAccountWindowMs + 10 * kAccountFailureDebtMs;
        EXPECT_FALSE(RecordAccountFailure(&guard, "shop", known, now, &lock));
        EXPECT_EQ(0, lock);
        for (int i = 2; i <= kAccountFailureBudget; ++i)
            RecordAccountFailure(&guard, "shop", known, now, &lock);
        EXPECT_TRUE(RecordAccountFailure(&guard, "shop", known, now, &lock));
    }
}

TEST(feed_server_account_guard, InventedIdsFillNothingAndHoldNoKnownAccount)
{
    AccountGuard guard;
    guard.hashKey = 0x5eed;
    long long lock = 0;
    const long long now = 1000;
    for (int i = 0; i < 200000; ++i)
        RecordAccountFailure(&guard, "invented-" + std::to_string(i), false, now, &lock);
    EXPECT_EQ(kUnknownAccountSlots, guard.unknown.size());
    EXPECT_TRUE(guard.known.empty());
    EXPECT_EQ(0, AccountLockRemaining(guard, "shop", true, now));
    // Known ids that were paid off long ago are swept as the table grows.
    for (int i = 0; i < 1000; ++i)
        RecordAccountFailure(&guard, "known-" + std::to_string(i), true, now + i * kAccountWindowMs, &lock);
    EXPECT_LT(guard.known.size(), 130u);
}

} // namespace
