// feed-server-bench: loopback load against a running feed server, in one of five cases, each printing
// what it measured: clients asking again and again for a bounded time (the default), a crowd asking
// once all at the same moment (--at-once), the same while one peer holds silent connections (--hog),
// one reader taking a feed at a fixed rate (--slow-reader), and key guessing in order (--guess).
#include <asio.hpp>

#include <stdio.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <chrono>
#include <memory>

#include "bench_clients.h"
#include "bench_guess.h"
#include "bench_hog.h"
#include "bench_options.h"
#include "bench_slow_reader.h"

namespace {

using asio::ip::tcp;

// Requests still running at the end are given this long to finish before they count as failed.
const int kFinishGraceMs = 20000;

// Two thousand clients and as many silent connections need more descriptors than the usual 1024.
void RaiseDescriptorLimit()
{
#ifndef _WIN32
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
#endif
}

// Runs the clients (and the hog) on one thread until the run is over.
void RunClients(asio::io_context& io, BenchRun* run)
{
    const BenchOptions& options = run->options;
    for (int i = 0; i < options.clients; ++i) {
        run->clients.push_back(std::make_shared<Client>(io));
        run->clients.back()->request = options.request;
        // Many sources stand for a guesser spread over many machines: one address per client in turn.
        std::error_code ec;
        const unsigned first = options.source.empty() ? 0 : asio::ip::make_address_v4(options.source, ec).to_uint();
        run->clients.back()->source =
            options.sources > 1 ? asio::ip::address_v4(first + (unsigned)(i % options.sources)).to_string() : options.source;
    }
    for (int i = 0; i < options.hog; ++i)
        run->hogs.push_back(std::make_shared<Client>(io));
    run->started = BenchClock::now();
    run->lastDone = run->started;
    run->deadline = run->started + std::chrono::seconds(options.seconds);
    // The one-shot crowd has the whole time to be served; the repeating cases a grace after it.
    asio::steady_timer hardStop(io);
    hardStop.expires_at(options.atOnce ? run->deadline : run->deadline + std::chrono::milliseconds(kFinishGraceMs));
    hardStop.async_wait([run](const std::error_code& waitError) {
        if (!waitError)
            StopEverything(run);
    });
    // The hog goes first and holds its connections a moment before the others come.
    asio::steady_timer clientsStart(io);
    for (const ClientPtr& h : run->hogs)
        HogConnect(run, h);
    clientsStart.expires_after(std::chrono::milliseconds(options.hog > 0 ? 500 : 0));
    clientsStart.async_wait([run](const std::error_code&) {
        for (const ClientPtr& c : run->clients)
            BeginRequest(run, c);
    });
    asio::steady_timer watch(io);
    run->watch = &watch;
    run->hardStopTimer = &hardStop;
    WatchForTheEnd(run, options.hog > 0 ? 600 : 20);
    io.run();
    run->watch = nullptr;
    run->hardStopTimer = nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    BenchOptions options;
    if (!ParseBenchOptions(argc, argv, &options))
        return 2;
    std::error_code ec;
    const asio::ip::address_v4 address = asio::ip::make_address_v4(options.address, ec);
    if (ec) {
        fprintf(stderr, "feed-server-bench: %s is not a dotted IPv4 address\n", options.address.c_str());
        return 2;
    }
    const tcp::endpoint endpoint(address, options.port);
    RaiseDescriptorLimit();
    if (options.slowRate > 0)
        return RunSlowReader(options, endpoint);

    asio::io_context io(1);
    // After io, so that the clients' sockets and timers go before the io_context they were made on.
    BenchRun run;
    run.options = options;
    run.endpoint = endpoint;
    RunClients(io, &run);
    const double elapsed = std::chrono::duration<double>(run.lastDone - run.started).count();

    const size_t odd = PrintClientFigures(&run, elapsed);
    if (options.hog > 0)
        PrintHogFigures(run);
    if (!options.guessId.empty())
        return PrintGuessFigures(run, elapsed);
    return run.served > 0 && run.failed == 0 && odd == 0 ? 0 : 1;
}
