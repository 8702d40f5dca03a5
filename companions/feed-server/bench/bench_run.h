// What the bench's cases share: a client, the run that holds the clients and what they measured, and
// the socket every client opens. The cases include this, never each other.
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
    std::string source;      // the address it connects from; empty: the system's choice
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

// Seconds since the run started.
double SecondsSinceStart(const BenchRun& run);

// Opens a socket, bound to the source address when one is given; false when that fails.
bool OpenSocket(asio::ip::tcp::socket& socket, const std::string& source);

