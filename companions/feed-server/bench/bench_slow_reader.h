// The bench's slow reader (--slow-reader B): one client taking a feed at a fixed rate.
#pragma once

#include <asio.hpp>

#include "bench_options.h"

// Reads the feed at options.slowRate bytes a second, after one fast read of the same feed that tells
// what the whole reply is; prints how much arrived, how it ended and whether it is whole. Returns the
// exit status: 0 only for the whole feed.
int RunSlowReader(const BenchOptions& options, const asio::ip::tcp::endpoint& endpoint);
