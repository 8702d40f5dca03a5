// feed-server-bench's clients, all on one thread: each connects, sends the request, reads the reply to
// its end and asks again (or, in the one-shot crowd, not).
#pragma once

#include "bench_run.h"

// Starts the client's next request, unless the run is over for it.
void BeginRequest(BenchRun* run, const ClientPtr& c);

// Ends the run at once: requests under way count as failed, the hog's connections close.
void StopEverything(BenchRun* run);

// Looks every few milliseconds (the first time after ms) whether every client is done, and then ends
// the run and cancels its hard stop.
void WatchForTheEnd(BenchRun* run, int ms);

// The three lines every repeating and one-shot case prints, elapsed being the run's length; returns
// how many replies had a size other than the usual one.
size_t PrintClientFigures(BenchRun* run, double elapsed);
