// Throttling of key guessing: failed key checks are counted per client address, and past a few of
// them the address is locked out of key checks for a time that doubles with each further failure.
// They are counted per account as well, from any address, so that a guesser who spreads over many
// addresses is held back too. Pure bookkeeping over times passed in, so that it is tested without waiting.
#pragma once

#include <stddef.h>

#include <map>
#include <string>
#include <vector>

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

// ---- Per account ---------------------------------------------------------------------------------

// An account may take this many failed checks in this time, from any addresses, before its checks are
// held back: every failure adds kAccountWindowMs / kAccountFailureBudget of debt, which time pays off.
const int kAccountFailureBudget = 20;
const long long kAccountWindowMs = 10 * 60 * 1000;
const long long kAccountFailureDebtMs = kAccountWindowMs / kAccountFailureBudget;
// Past the budget each failure holds the account's checks back, from 1 s doubling up to a minute.
const long long kAccountFirstLockMs = 1000;
const long long kAccountLongestLockMs = 60000;
// Ids the catalog does not hold share this many slots, chosen by a keyed hash of the id: inventing ids
// fills nothing, and an unknown id is held back as a known one is.
const size_t kUnknownAccountSlots = 4096;

struct AccountEntry {
    long long clearAtMs = 0;     // when the debt of its failures is paid off
    long long lockedUntilMs = 0;
    bool overBudget = false;     // in an episode over the budget (logged once, at its start)
};

struct AccountGuard {
    std::map<std::string, AccountEntry> known;  // ids of the catalog in force when they failed
    std::vector<AccountEntry> unknown;          // kUnknownAccountSlots, made at the first failure
    unsigned long long hashKey = 0;             // set once at start from a random source
    size_t knownBound = 64;                     // the known table is swept when it grows past this
};

// Milliseconds the account's key checks must still wait; 0 when they may be made now. known says
// whether the catalog in force holds the id.
long long AccountLockRemaining(const AccountGuard& guard, const std::string& id, bool known, long long nowMs);

// Counts a failed key check of the account. Returns true when this failure starts an episode over
// the budget (to be logged once); *lockMs receives the wait it starts (0: none).
bool RecordAccountFailure(AccountGuard* guard, const std::string& id, bool known, long long nowMs, long long* lockMs);
