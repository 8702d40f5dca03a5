// Per-address failed key checks and the lockouts they earn.
#include "feed_guard.h"

#include <algorithm>
#include <vector>

namespace {

bool Stale(const GuardEntry& entry, long long nowMs)
{
    return nowMs - entry.lastFailureMs > kForgetFailuresMs && nowMs >= entry.lockedUntilMs;
}

// Keeps the table bounded: stale addresses go first, then the eighth whose last failures are oldest,
// all at once, so that a stream of new addresses costs one pass per many of them.
void MakeRoom(KeyGuard* guard, long long nowMs)
{
    if (guard->byAddress.size() < kGuardedAddressesMax)
        return;
    for (auto it = guard->byAddress.begin(); it != guard->byAddress.end();) {
        if (Stale(it->second, nowMs))
            it = guard->byAddress.erase(it);
        else
            ++it;
    }
    if (guard->byAddress.size() < kGuardedAddressesMax)
        return;
    std::vector<long long> times;
    times.reserve(guard->byAddress.size());
    for (const auto& entry : guard->byAddress)
        times.push_back(entry.second.lastFailureMs);
    const size_t dropped = times.size() / 8;
    std::nth_element(times.begin(), times.begin() + (long)dropped, times.end());
    const long long keepFrom = times[dropped];
    for (auto it = guard->byAddress.begin(); it != guard->byAddress.end();) {
        if (it->second.lastFailureMs < keepFrom)
            it = guard->byAddress.erase(it);
        else
            ++it;
    }
    // Failures all in the same millisecond leave nothing older: then any go.
    while (guard->byAddress.size() >= kGuardedAddressesMax)
        guard->byAddress.erase(guard->byAddress.begin());
}

} // namespace

long long KeyLockRemaining(const KeyGuard& guard, AddressKey address, long long nowMs)
{
    const auto found = guard.byAddress.find(address);
    if (found == guard.byAddress.end() || nowMs >= found->second.lockedUntilMs)
        return 0;
    return found->second.lockedUntilMs - nowMs;
}

long long RecordKeyFailure(KeyGuard* guard, AddressKey address, long long nowMs, int* failures)
{
    auto found = guard->byAddress.find(address);
    if (found == guard->byAddress.end()) {
        MakeRoom(guard, nowMs);
        found = guard->byAddress.emplace(address, GuardEntry()).first;
    } else if (Stale(found->second, nowMs)) {
        found->second = GuardEntry();
    }
    GuardEntry& entry = found->second;
    if (entry.failures < 1000000)
        ++entry.failures;
    entry.lastFailureMs = nowMs;
    *failures = entry.failures;
    const int beyond = entry.failures - kFreeKeyFailures;
    if (beyond <= 0)
        return 0;
    long long lock = kFirstLockMs;
    for (int i = 1; i < beyond && lock < kLongestLockMs; ++i)
        lock *= 2;
    if (lock > kLongestLockMs)
        lock = kLongestLockMs;
    entry.lockedUntilMs = nowMs + lock;
    return lock;
}
