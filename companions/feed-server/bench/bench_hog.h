// The bench's hog (--hog N): silent connections from one address that hold what places they can,
// each reopened at once when the server cuts it, while the clients ask from another.
#pragma once

#include "bench_run.h"

// Opens one silent connection of the hog and keeps it open, reopening it whenever it is cut, until the
// run's deadline.
void HogConnect(BenchRun* run, const ClientPtr& h);

// The hog's line after the client figures.
void PrintHogFigures(const BenchRun& run);
