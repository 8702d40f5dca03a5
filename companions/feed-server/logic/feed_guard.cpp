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

namespace {

// FNV-1a over the id, keyed: the slot of an unknown id cannot be chosen from outside.
size_t UnknownSlot(const AccountGuard& guard, const std::string& id)
{
    unsigned long long hash = 14695981039346656037ull ^ guard.hashKey;
    for (unsigned char c : id) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    hash ^= hash >> 29;
    return (size_t)(hash % kUnknownAccountSlots);
}

const AccountEntry* FindAccountEntry(const AccountGuard& guard, const std::string& id, bool known)
{
    if (!known)
        return guard.unknown.empty() ? nullptr : &guard.unknown[UnknownSlot(guard, id)];
    const auto found = guard.known.find(id);
    return found == guard.known.end() ? nullptr : &found->second;
}

// The known table holds only ids of a catalog, but catalogs change: entries paid off go once the
// table has doubled since the last sweep.
void SweepKnown(AccountGuard* guard, long long nowMs)
{
    if (guard->known.size() < guard->knownBound)
        return;
    for (auto it = guard->known.begin(); it != guard->known.end();) {
        if (it->second.clearAtMs <= nowMs && it->second.lockedUntilMs <= nowMs)
            it = guard->known.erase(it);
        else
            ++it;
    }
    guard->knownBound = std::max<size_t>(64, 2 * guard->known.size());
}

} // namespace

long long AccountLockRemaining(const AccountGuard& guard, const std::string& id, bool known, long long nowMs)
{
    const AccountEntry* entry = FindAccountEntry(guard, id, known);
    return entry == nullptr || nowMs >= entry->lockedUntilMs ? 0 : entry->lockedUntilMs - nowMs;
}

bool RecordAccountFailure(AccountGuard* guard, const std::string& id, bool known, long long nowMs, long long* lockMs)
{
    AccountEntry* entry = nullptr;
    if (known) {
        SweepKnown(guard, nowMs);
        entry = &guard->known[id];
    } else {
        if (guard->unknown.empty())
            guard->unknown.resize(kUnknownAccountSlots);
        entry = &guard->unknown[UnknownSlot(*guard, id)];
    }
    entry->clearAtMs = std::max(entry->clearAtMs, nowMs) + kAccountFailureDebtMs;
    const long long debt = entry->clearAtMs - nowMs;
    *lockMs = 0;
    if (debt <= kAccountWindowMs) {
        entry->overBudget = false;
        return false;
    }
    // The failures beyond the budget that the debt still holds: 1 s for the first, doubling.
    const long long beyond = (debt - kAccountWindowMs + kAccountFailureDebtMs - 1) / kAccountFailureDebtMs;
    long long lock = kAccountFirstLockMs;
    for (long long i = 1; i < beyond && lock < kAccountLongestLockMs; ++i)
        lock *= 2;
    *lockMs = std::min(lock, kAccountLongestLockMs);
    entry->lockedUntilMs = nowMs + *lockMs;
    const bool starts = !entry->overBudget;
    entry->overBudget = true;
    return starts;
}
