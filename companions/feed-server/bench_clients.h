// feed-server-bench's clients, all on one thread: each connects, sends the request, reads the reply to
// its end and asks again (or, in the one-shot crowd, not); one BenchRun holds them and what they measured.
#pragma once

#include <asio.hpp>

#include <stddef.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_options.h"

using BenchClock = std::chrono::steady_clock;

struct Client {
    explicit Client(asio::io_context& io) : socket(io), pause(io) {}
    asio::ip::tcp::socket socket;
    asio::steady_timer pause;
    BenchClock::time_point start;
    bool busy = false;       // a request is under way
    bool again = false;      // the last request failed: the guessing case asks the same key again
    size_t received = 0;
    std::string request;     // this request's bytes (the guessing case changes them each time)
    std::string reply;       // kept only when the case looks at the reply itself
    char chunk[16384];
};

using ClientPtr = std::shared_ptr<Client>;

// One run: the clients and the silent connections of the hog, and the results, touched only by the
// thread that runs them.
struct BenchRun {
    BenchOptions options;
    asio::ip::tcp::endpoint endpoint;
    BenchClock::time_point started;
    BenchClock::time_point deadline;
    BenchClock::time_point lastDone;
    bool hardStop = false;
    std::vector<ClientPtr> clients;
    std::vector<unsigned> latencyMicros;
    size_t served = 0;
    size_t failed = 0;
    std::map<size_t, size_t> sizes;  // reply size -> how many
    int open = 0;
    int openMax = 0;
    // The hog's silent connections.
    std::vector<ClientPtr> hogs;
    size_t hogOpened = 0;
    size_t hogCut = 0;
    // Guessing: the next key to try, and the key that opened the feed.
    size_t guessIndex = 0;
    size_t guessesAnswered = 0;
    std::string foundKey;
    double foundAfter = 0.0;
    asio::steady_timer* watch = nullptr;
    asio::steady_timer* hardStopTimer = nullptr;
};

double SecondsSinceStart(const BenchRun& run);

// Opens a socket, bound to the source address when one is given; false when that fails.
bool OpenSocket(asio::ip::tcp::socket& socket, const std::string& source);

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
