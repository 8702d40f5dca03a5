// The bench's guessing case (--guess ID): every key of up to four characters tried in order on one
// account, by all the clients at once, until one opens the feed.
#pragma once

#include "bench_run.h"

// Puts the next key's request into the client; false when the key was found or every key was tried.
bool NextGuessRequest(BenchRun* run, Client* c);

// Counts an answered guess and notes the key when its reply was a feed; true once the key is found.
bool TakeGuessReply(BenchRun* run, const Client& c);

// Whether every key has been tried.
bool GuessesExhausted(const BenchRun& run);

// What the guessing found, after the client figures; returns the exit status: 0 when no key opened
// the feed.
int PrintGuessFigures(const BenchRun& run, double elapsed);
