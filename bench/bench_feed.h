// What the benchmarks share: a generated feed, a clock, and running the real viewer as a process.
#pragma once

#include <windows.h>

#include <string>

// A feed of count products with texts of realistic length and every status group.
std::string MakeFeed(int count);

// Milliseconds from an arbitrary start, to sub-millisecond precision.
double NowMs();
