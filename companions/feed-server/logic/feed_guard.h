// Throttling of key guessing: failed key checks are counted per client address, and past a few of
// them the address is locked out of key checks for a time that doubles with each further failure.
// Pure bookkeeping over times passed in, so that it is tested without waiting.
#pragma once

#include <stddef.h>

#include <map>

// A client may mistype its key a few times without consequence.
const int kFreeKeyFailures = 5;
// The first lockout, doubled by each failed check after it, up to the longest.
const long long kFirstLockMs = 1000;
const long long kLongestLockMs = 30000;
// An address whose last failed check is this old starts afresh.
const long long kForgetFailuresMs = 15 * 60 * 1000;
// Addresses remembered at once; the stalest are forgotten first beyond it.
const size_t kGuardedAddressesMax = 10000;

struct GuardEntry {
    int failures = 0;
    long long lastFailureMs = 0;
    long long lockedUntilMs = 0;
};

// A client address as a number: an IPv4 address as is, an IPv6 one by its first 64 bits (one
// subscriber's network, which a guesser could otherwise walk through address by address).
typedef unsigned long long AddressKey;

struct KeyGuard {
    std::map<AddressKey, GuardEntry> byAddress;
};

// Milliseconds the address must still wait before its next key check; 0 when it may check now.
long long KeyLockRemaining(const KeyGuard& guard, AddressKey address, long long nowMs);

// Counts a failed key check of the address. Returns the lockout it starts in milliseconds, 0 while the
// failures are still free; *failures receives the address's count.
long long RecordKeyFailure(KeyGuard* guard, AddressKey address, long long nowMs, int* failures);
