// The bench's client engine: connect, ask, read the reply to its end, count it served or failed, ask
// again; the watch that ends the run; and the figures every case prints.
#include "bench_clients.h"

#include <stdio.h>

#include <algorithm>

#include "bench_guess.h"
#include "common/contract.h"
#include "feed_text.h"

using asio::ip::tcp;

namespace {

const size_t kLatencySamplesMax = 10 * 1000 * 1000;
const size_t kReplyMax = 64 * 1024 * 1024;

void Closed(BenchRun* run, const ClientPtr& c)
{
    std::error_code ignored;
    c->socket.close(ignored);
    c->busy = false;
    --run->open;
}

// The next request of this client: at once in the repeating cases, never in the one-shot ones.
void Again(BenchRun* run, const ClientPtr& c, int pauseMs)
{
    if (run->options.atOnce || run->hardStop)
        return;
    if (pauseMs == 0) {
        BeginRequest(run, c);
        return;
    }
    c->pause.expires_after(std::chrono::milliseconds(pauseMs));
    c->pause.async_wait([run, c](const std::error_code& ec) {
        if (!ec)
            BeginRequest(run, c);
    });
}

void Failed(BenchRun* run, const ClientPtr& c)
{
    ++run->failed;
    c->again = true;
    Closed(run, c);
    run->lastDone = BenchClock::now();
    // A refused or reset connection is retried after a breath, not in a tight loop.
    Again(run, c, 10);
}

void Completed(BenchRun* run, const ClientPtr& c)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(BenchClock::now() - c->start).count();
    Closed(run, c);
    run->lastDone = BenchClock::now();
    // A connection closed without a byte is what a viewer shows as "No Data": a failure.
    if (c->received == 0) {
        ++run->failed;
        c->again = true;
        Again(run, c, 10);
        return;
    }
    ++run->served;
    ++run->sizes[c->received];
    if (run->latencyMicros.size() < kLatencySamplesMax)
        run->latencyMicros.push_back((unsigned)micros);
    if (!run->options.guessId.empty() && TakeGuessReply(run, *c))
        return;
    Again(run, c, run->options.pauseMs);
}

void ReadReply(BenchRun* run, const ClientPtr& c)
{
    c->socket.async_read_some(asio::buffer(c->chunk), [run, c](const std::error_code& ec, size_t n) {
        if (!c->busy)
            return;
        c->received += n;
        if (!run->options.guessId.empty() && c->reply.size() < 4096)
            c->reply.append(c->chunk, n);
        if (ec == asio::error::eof) {
            Completed(run, c);
        } else if (ec || c->received > kReplyMax) {
            Failed(run, c);
        } else {
            ReadReply(run, c);
        }
    });
}

// Whether every client is done: the one-shot crowd when each has its answer, the repeating cases at
// the deadline (or when the guessing found the key or ran out of keys) with no request under way.
bool AllDone(const BenchRun& run)
{
    const bool pastDeadline = BenchClock::now() >= run.deadline;
    for (const ClientPtr& c : run.clients)
        if (c->busy || (!run.options.guessId.empty() && c->again && !pastDeadline))
            return false;
    if (!run.hogs.empty() && !pastDeadline)
        return false;
    return run.options.atOnce || pastDeadline || !run.foundKey.empty() || GuessesExhausted(run);
}

double Percentile(const std::vector<unsigned>& sorted, double p)
{
    if (sorted.empty())
        return 0.0;
    size_t index = (size_t)(p / 100.0 * (double)(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)] / 1000.0;
}

// The reply size most replies had, and how many had another.
size_t OddSizes(const BenchRun& run, size_t* usual)
{
    size_t most = 0;
    *usual = 0;
    for (const auto& size : run.sizes)
        if (size.second > most) {
            most = size.second;
            *usual = size.first;
        }
    return run.served - most;
}

} // namespace

void BeginRequest(BenchRun* run, const ClientPtr& c)
{
    if (run->hardStop || (!run->options.atOnce && BenchClock::now() >= run->deadline))
        return;
    if (!run->options.guessId.empty() && !c->again && !NextGuessRequest(run, c.get()))
        return;
    c->again = false;
    c->start = BenchClock::now();
    c->received = 0;
    c->reply.clear();
    if (!OpenSocket(c->socket, c->source)) {
        ++run->failed;
        c->again = true;
        Again(run, c, 10);
        return;
    }
    c->busy = true;
    ++run->open;
    run->openMax = std::max(run->openMax, run->open);
    c->socket.async_connect(run->endpoint, [run, c](const std::error_code& connectError) {
        if (!c->busy)
            return;
        if (connectError) {
            Failed(run, c);
            return;
        }
        asio::async_write(c->socket, asio::buffer(c->request), [run, c](const std::error_code& writeError, size_t) {
            if (!c->busy)
                return;
            if (writeError) {
                Failed(run, c);
                return;
            }
            ReadReply(run, c);
        });
    });
}

void StopEverything(BenchRun* run)
{
    run->hardStop = true;
    std::error_code ignored;
    for (const ClientPtr& c : run->clients) {
        c->pause.cancel();
        if (c->busy) {
            ++run->failed;
            Closed(run, c);
        }
    }
    for (const ClientPtr& h : run->hogs)
        h->socket.close(ignored);
}

// Nothing else ends the loop while the hog and the hard-stop timer still wait.
void WatchForTheEnd(BenchRun* run, int ms)
{
    run->watch->expires_after(std::chrono::milliseconds(ms));
    run->watch->async_wait([run](const std::error_code& ec) {
        if (ec)
            return;
        if (AllDone(*run)) {
            StopEverything(run);
            run->hardStopTimer->cancel();
            return;
        }
        WatchForTheEnd(run, 20);
    });
}

size_t PrintClientFigures(BenchRun* run, double elapsed)
{
    const BenchOptions& options = run->options;
    std::string shown = options.request;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    std::sort(run->latencyMicros.begin(), run->latencyMicros.end());
    const size_t attempts = run->served + run->failed;
    printf("feed-server-bench: %d clients%s%s for %.1f s against %s:%u, request \"%s\"\n", options.clients,
           options.atOnce ? " at once" : "", options.source.empty() ? "" : (" from " + options.source).c_str(),
           elapsed, options.address.c_str(), (unsigned)options.port,
           options.guessId.empty() ? LogSafe(shown.data(), shown.size(), 200).c_str() : (FEED_REQUEST_PREFIX + options.guessId + "^<guess>").c_str());
    size_t usual = 0;
    const size_t odd = OddSizes(*run, &usual);
    printf("served %zu of %zu (%.1f %%), failed %zu, p50 %.2f ms, p99 %.2f ms, %.0f requests/s\n", run->served, attempts,
           attempts > 0 ? 100.0 * (double)run->served / (double)attempts : 0.0, run->failed,
           Percentile(run->latencyMicros, 50), Percentile(run->latencyMicros, 99),
           elapsed > 0 ? (double)run->served / elapsed : 0.0);
    printf("replies    %zu of %zu bytes, %zu of another size; latency max %.2f ms; at most %d connections open\n",
           run->served - odd, usual, odd, Percentile(run->latencyMicros, 100), run->openMax);
    return odd;
}
