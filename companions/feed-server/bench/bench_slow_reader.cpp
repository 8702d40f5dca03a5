// The slow reader: blocking reads paced by a clock, through a small receive window so that the pace
// reaches the server, and the judgement whether what arrived is the whole feed.
#include "bench_slow_reader.h"

#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "feed_text.h"

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

int RunSlowReader(const BenchOptions& options, const tcp::endpoint& endpoint)
{
    asio::io_context io(1);
    std::error_code ec;
    tcp::socket fast(io);
    std::string whole;
    fast.connect(endpoint, ec);
    if (!ec)
        asio::write(fast, asio::buffer(options.request), ec);
    char chunk[65536];
    while (!ec) {
        const size_t n = fast.read_some(asio::buffer(chunk), ec);
        whole.append(chunk, n);
    }
    if (ec != asio::error::eof || whole.empty()) {
        fprintf(stderr, "feed-server-bench: the fast read of the feed failed: %s\n", ec.message().c_str());
        return 1;
    }
    tcp::socket slow(io);
    slow.open(tcp::v4(), ec);
    // A small receive window, so that the reader's pace reaches the server instead of our buffer.
    slow.set_option(asio::socket_base::receive_buffer_size(16 * 1024), ec);
    slow.connect(endpoint, ec);
    if (!ec)
        asio::write(slow, asio::buffer(options.request), ec);
    if (ec) {
        fprintf(stderr, "feed-server-bench: cannot ask for the feed: %s\n", ec.message().c_str());
        return 1;
    }
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::seconds(options.seconds);
    const size_t step = (size_t)std::max(1L, options.slowRate / 20);  // twenty reads a second
    std::string got;
    const char* ending = "the time limit";
    while (Clock::now() < deadline) {
        // Never ahead of the rate: wait until the bytes so far are due.
        const auto due = start + std::chrono::microseconds((long long)((double)got.size() * 1e6 / (double)options.slowRate));
        std::this_thread::sleep_until(due);
        const size_t n = slow.read_some(asio::buffer(chunk, std::min(step, sizeof chunk)), ec);
        got.append(chunk, n);
        if (ec == asio::error::eof) {
            ending = "a normal end of stream";
            break;
        }
        if (ec) {
            ending = ec == asio::error::connection_reset ? "a reset" : "an error";
            break;
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const bool complete = got == whole;
    printf("feed-server-bench: slow reader at %ld bytes/s against %s:%u, request \"%s\"\n", options.slowRate,
           options.address.c_str(), (unsigned)options.port, LogSafe(options.request.data(), options.request.size() - 2, 200).c_str());
    printf("slow reader received %zu of %zu bytes (%.1f MB of %.1f MB) in %.1f s, ended by %s, %s, %s\n", got.size(),
           whole.size(), got.size() / 1e6, whole.size() / 1e6, elapsed, ending,
           !got.empty() && got.back() == '\n' ? "last line whole" : "cut mid-line",
           complete ? "the whole feed" : "NOT the whole feed");
    return complete ? 0 : 1;
}
