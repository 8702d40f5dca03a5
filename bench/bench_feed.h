// What the benchmarks share: a generated feed, its products in the product list, a clock, a median.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A feed of count products with texts of realistic length and every status group.
std::string MakeFeed(int count);

// Milliseconds from an arbitrary start, to sub-millisecond precision.
double NowMs();

// Appends the products of MakeFeed(count) to the product list, as the viewer's parser would.
void LoadProducts(int count);

// The product counts named on the command line, or the benchmark's own when none are.
std::vector<int> BenchSizes(int argc, char** argv, std::vector<int> defaults);

// The middle value of some timings.
double Median(std::vector<double> times);
