// feed-server-bench: loopback load against a running feed server, in one of five cases, each printing
// what it measured: clients asking again and again for a bounded time (the default), a crowd asking
// once all at the same moment (--at-once), the same while one peer holds silent connections (--hog),
// one reader taking a feed at a fixed rate (--slow-reader), and key guessing in order (--guess).
#include <asio.hpp>

#include "common/contract.h"
#include "feed_request.h"
#include "feed_text.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

const size_t kLatencySamplesMax = 10 * 1000 * 1000;
const size_t kReplyMax = 64 * 1024 * 1024;
// Requests still running at the end are given this long to finish before they count as failed.
const int kFinishGraceMs = 20000;
// The key alphabet of the catalog, in the order the guessing case tries it.
const char kKeyAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
const size_t kGuessLengthMax = 3;

struct Options {
    std::string address = "127.0.0.1";
    unsigned short port = FEED_PORT;
    int clients = 50;
    int seconds = 5;
    std::string request = FEED_REQUEST_PREFIX "demo^demo\r\n";
    std::string source;      // source address of the clients; empty: the system's choice
    bool atOnce = false;
    int hog = 0;             // silent connections held by the hog, 0: none
    std::string hogSource = "127.0.0.1";
    long slowRate = 0;       // bytes per second of the slow reader, 0: no slow reader
    std::string guessId;     // account whose keys are guessed, empty: no guessing
};

struct Client {
    explicit Client(asio::io_context& io) : socket(io), pause(io) {}
    tcp::socket socket;
    asio::steady_timer pause;
    Clock::time_point start;
    bool busy = false;       // a request is under way
    bool again = false;      // the last request failed: the guessing case asks the same key again
    size_t received = 0;
    std::string request;     // this request's bytes (the guessing case changes them each time)
    std::string reply;       // kept only when the case looks at the reply itself
    char chunk[16384];
};

using ClientPtr = std::shared_ptr<Client>;

// Results, touched by the one thread that runs the clients.
tcp::endpoint gEndpoint;
Options gOptions;
Clock::time_point gStarted;
Clock::time_point gDeadline;
bool gHardStop = false;
std::vector<ClientPtr> gClients;
std::vector<unsigned> gLatencyMicros;
size_t gServed = 0;
size_t gFailed = 0;
std::map<size_t, size_t> gSizes;  // reply size -> how many
int gOpen = 0;
int gOpenMax = 0;
Clock::time_point gLastDone;
// The hog's silent connections.
std::vector<ClientPtr> gHogs;
size_t gHogOpened = 0;
size_t gHogCut = 0;
// Guessing: the next key to try, and the key that opened the feed.
size_t gGuessIndex = 0;
size_t gGuessesAnswered = 0;
std::string gFoundKey;
double gFoundAfter = 0.0;
asio::steady_timer* gWatch = nullptr;
asio::steady_timer* gHardStopTimer = nullptr;

double SecondsSinceStart()
{
    return std::chrono::duration<double>(Clock::now() - gStarted).count();
}

// The index-th key of the guessing order: every key of one character, then of two, then of three.
bool GuessKey(size_t index, std::string* key)
{
    const size_t base = sizeof kKeyAlphabet - 1;
    size_t span = base;
    size_t length = 1;
    while (index >= span) {
        index -= span;
        if (++length > kGuessLengthMax)
            return false;
        span *= base;
    }
    key->assign(length, ' ');
    for (size_t i = length; i-- > 0;) {
        (*key)[i] = kKeyAlphabet[index % base];
        index /= base;
    }
    return true;
}

bool OpenSocket(tcp::socket& socket, const std::string& source)
{
    std::error_code ec;
    socket.open(tcp::v4(), ec);
    if (!ec && !source.empty())
        socket.bind(tcp::endpoint(asio::ip::make_address_v4(source, ec), 0), ec);
    if (ec) {
        std::error_code ignored;
        socket.close(ignored);
        return false;
    }
    return true;
}

void Begin(const ClientPtr& c);

void Closed(const ClientPtr& c)
{
    std::error_code ignored;
    c->socket.close(ignored);
    c->busy = false;
    --gOpen;
}

// The next request of this client: at once in the repeating cases, never in the one-shot ones.
void Again(const ClientPtr& c, int pauseMs)
{
    if (gOptions.atOnce || gHardStop)
        return;
    if (pauseMs == 0) {
        Begin(c);
        return;
    }
    c->pause.expires_after(std::chrono::milliseconds(pauseMs));
    c->pause.async_wait([c](const std::error_code& ec) {
        if (!ec)
            Begin(c);
    });
}

void Failed(const ClientPtr& c)
{
    ++gFailed;
    c->again = true;
    Closed(c);
    gLastDone = Clock::now();
    // A refused or reset connection is retried after a breath, not in a tight loop.
    Again(c, 10);
}

void Completed(const ClientPtr& c)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - c->start).count();
    Closed(c);
    gLastDone = Clock::now();
    // A connection closed without a byte is what a viewer shows as "No Data": a failure.
    if (c->received == 0) {
        ++gFailed;
        c->again = true;
        Again(c, 10);
        return;
    }
    ++gServed;
    ++gSizes[c->received];
    if (gLatencyMicros.size() < kLatencySamplesMax)
        gLatencyMicros.push_back((unsigned)micros);
    if (!gOptions.guessId.empty()) {
        ++gGuessesAnswered;
        if (c->reply != kNoDataReply && gFoundKey.empty()) {
            const std::string& r = c->request;
            gFoundKey = r.substr(r.find('^') + 1, r.size() - r.find('^') - 3);
            gFoundAfter = SecondsSinceStart();
        }
        if (!gFoundKey.empty())
            return;
    }
    Again(c, 0);
}

void ReadReply(const ClientPtr& c)
{
    c->socket.async_read_some(asio::buffer(c->chunk), [c](const std::error_code& ec, size_t n) {
        if (!c->busy)
            return;
        c->received += n;
        if (!gOptions.guessId.empty() && c->reply.size() < 4096)
            c->reply.append(c->chunk, n);
        if (ec == asio::error::eof) {
            Completed(c);
        } else if (ec || c->received > kReplyMax) {
            Failed(c);
        } else {
            ReadReply(c);
        }
    });
}

void Begin(const ClientPtr& c)
{
    if (gHardStop || (!gOptions.atOnce && Clock::now() >= gDeadline))
        return;
    if (!gOptions.guessId.empty() && !c->again) {
        std::string key;
        if (!gFoundKey.empty() || !GuessKey(gGuessIndex++, &key))
            return;
        c->request = FEED_REQUEST_PREFIX + gOptions.guessId + "^" + key + "\r\n";
    }
    c->again = false;
    c->start = Clock::now();
    c->received = 0;
    c->reply.clear();
    if (!OpenSocket(c->socket, gOptions.source)) {
        ++gFailed;
        c->again = true;
        Again(c, 10);
        return;
    }
    c->busy = true;
    ++gOpen;
    gOpenMax = std::max(gOpenMax, gOpen);
    c->socket.async_connect(gEndpoint, [c](const std::error_code& connectError) {
        if (!c->busy)
            return;
        if (connectError) {
            Failed(c);
            return;
        }
        asio::async_write(c->socket, asio::buffer(c->request), [c](const std::error_code& writeError, size_t) {
            if (!c->busy)
                return;
            if (writeError) {
                Failed(c);
                return;
            }
            ReadReply(c);
        });
    });
}

// One silent connection of the hog: connect, say nothing, and open another as soon as it is cut.
void HogConnect(const ClientPtr& h)
{
    if (gHardStop || Clock::now() >= gDeadline)
        return;
    if (!OpenSocket(h->socket, gOptions.hogSource)) {
        h->pause.expires_after(std::chrono::milliseconds(10));
        h->pause.async_wait([h](const std::error_code& ec) {
            if (!ec)
                HogConnect(h);
        });
        return;
    }
    ++gHogOpened;
    h->socket.async_connect(gEndpoint, [h](const std::error_code& connectError) {
        if (connectError) {
            std::error_code ignored;
            h->socket.close(ignored);
            HogConnect(h);
            return;
        }
        h->socket.async_read_some(asio::buffer(h->chunk), [h](const std::error_code& ec, size_t) {
            if (ec == asio::error::operation_aborted && gHardStop)
                return;
            ++gHogCut;
            std::error_code ignored;
            h->socket.close(ignored);
            HogConnect(h);
        });
    });
}

void StopEverything()
{
    gHardStop = true;
    std::error_code ignored;
    for (const ClientPtr& c : gClients) {
        c->pause.cancel();
        if (c->busy) {
            ++gFailed;
            Closed(c);
        }
    }
    for (const ClientPtr& h : gHogs)
        h->socket.close(ignored);
}

bool GuessesExhausted()
{
    std::string key;
    return !gOptions.guessId.empty() && !GuessKey(gGuessIndex, &key);
}

// Whether every client is done: the one-shot crowd when each has its answer, the repeating cases at
// the deadline (or when the guessing found the key or ran out of keys) with no request under way.
bool AllDone()
{
    const bool pastDeadline = Clock::now() >= gDeadline;
    for (const ClientPtr& c : gClients)
        if (c->busy || (!gOptions.guessId.empty() && c->again && !pastDeadline))
            return false;
    if (!gHogs.empty() && !pastDeadline)
        return false;
    return gOptions.atOnce || pastDeadline || !gFoundKey.empty() || GuessesExhausted();
}

// Looks every few milliseconds whether the run is over; nothing else ends the loop while the hog and
// the hard-stop timer still wait.
void WatchForTheEnd(int ms)
{
    gWatch->expires_after(std::chrono::milliseconds(ms));
    gWatch->async_wait([](const std::error_code& ec) {
        if (ec)
            return;
        if (AllDone()) {
            StopEverything();
            gHardStopTimer->cancel();
            return;
        }
        WatchForTheEnd(20);
    });
}

double Percentile(const std::vector<unsigned>& sorted, double p)
{
    if (sorted.empty())
        return 0.0;
    size_t index = (size_t)(p / 100.0 * (double)(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)] / 1000.0;
}

// ---- The slow reader -------------------------------------------------------------------------------

// Reads a feed at a fixed rate with blocking reads paced by a clock, after one fast read of the same
// feed that tells what the whole reply is. Prints how much arrived, how it ended and whether it is whole.
int RunSlowReader()
{
    asio::io_context io(1);
    std::error_code ec;
    tcp::socket fast(io);
    std::string whole;
    fast.connect(gEndpoint, ec);
    if (!ec)
        asio::write(fast, asio::buffer(gOptions.request), ec);
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
    slow.connect(gEndpoint, ec);
    if (!ec)
        asio::write(slow, asio::buffer(gOptions.request), ec);
    if (ec) {
        fprintf(stderr, "feed-server-bench: cannot ask for the feed: %s\n", ec.message().c_str());
        return 1;
    }
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::seconds(gOptions.seconds);
    const size_t step = (size_t)std::max(1L, gOptions.slowRate / 20);  // twenty reads a second
    std::string got;
    const char* ending = "the time limit";
    while (Clock::now() < deadline) {
        // Never ahead of the rate: wait until the bytes so far are due.
        const auto due = start + std::chrono::microseconds((long long)((double)got.size() * 1e6 / (double)gOptions.slowRate));
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
    printf("feed-server-bench: slow reader at %ld bytes/s against %s:%u, request \"%s\"\n", gOptions.slowRate,
           gOptions.address.c_str(), (unsigned)gOptions.port, LogSafe(gOptions.request.data(), gOptions.request.size() - 2, 200).c_str());
    printf("slow reader received %zu of %zu bytes (%.1f MB of %.1f MB) in %.1f s, ended by %s, %s, %s\n", got.size(),
           whole.size(), got.size() / 1e6, whole.size() / 1e6, elapsed, ending,
           !got.empty() && got.back() == '\n' ? "last line whole" : "cut mid-line",
           complete ? "the whole feed" : "NOT the whole feed");
    return complete ? 0 : 1;
}

void Usage()
{
    fprintf(stderr,
            "usage: feed-server-bench [--address 127.0.0.1] [--port %d] [--clients 1..2000] [--seconds 1..300]\n"
            "                         [--feed ID^KEY | --page PATH^ID^KEY] [--source A]\n"
            "                         [--at-once] [--hog N [--hog-source A]] [--slow-reader BYTES_PER_S] [--guess ID]\n",
            (int)FEED_PORT);
}

bool ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--at-once") {
            options->atOnce = true;
            continue;
        }
        if (i + 1 >= argc) {
            Usage();
            return false;
        }
        const char* value = argv[++i];
        long number = 0;
        std::error_code ec;
        if (name == "--address") {
            options->address = value;
        } else if (name == "--source" && (asio::ip::make_address_v4(value, ec), !ec)) {
            options->source = value;
        } else if (name == "--hog-source" && (asio::ip::make_address_v4(value, ec), !ec)) {
            options->hogSource = value;
        } else if (name == "--port" && ParseNumber(value, 1, 65535, &number)) {
            options->port = (unsigned short)number;
        } else if (name == "--clients" && ParseNumber(value, 1, 2000, &number)) {
            options->clients = (int)number;
        } else if (name == "--seconds" && ParseNumber(value, 1, 300, &number)) {
            options->seconds = (int)number;
        } else if (name == "--hog" && ParseNumber(value, 1, 2000, &number)) {
            options->hog = (int)number;
        } else if (name == "--slow-reader" && ParseNumber(value, 1, 1000L * 1000 * 1000, &number)) {
            options->slowRate = number;
        } else if (name == "--guess" && *value != '\0') {
            options->guessId = value;
        } else if (name == "--feed") {
            options->request = std::string(FEED_REQUEST_PREFIX) + value + "\r\n";
        } else if (name == "--page") {
            options->request = std::string("GET /") + value + " HTTP/1.0\r\n\r\n";
        } else {
            Usage();
            return false;
        }
    }
    return true;
}

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

// The reply size most replies had, and how many had another.
size_t OddSizes(size_t* usual)
{
    size_t most = 0;
    *usual = 0;
    for (const auto& size : gSizes)
        if (size.second > most) {
            most = size.second;
            *usual = size.first;
        }
    return gServed - most;
}

} // namespace

int main(int argc, char** argv)
{
    if (!ParseOptions(argc, argv, &gOptions))
        return 2;
    std::error_code ec;
    const asio::ip::address_v4 address = asio::ip::make_address_v4(gOptions.address, ec);
    if (ec) {
        fprintf(stderr, "feed-server-bench: %s is not a dotted IPv4 address\n", gOptions.address.c_str());
        return 2;
    }
    gEndpoint = tcp::endpoint(address, gOptions.port);
    RaiseDescriptorLimit();
    if (gOptions.slowRate > 0)
        return RunSlowReader();

    asio::io_context io(1);
    for (int i = 0; i < gOptions.clients; ++i) {
        gClients.push_back(std::make_shared<Client>(io));
        gClients.back()->request = gOptions.request;
    }
    for (int i = 0; i < gOptions.hog; ++i)
        gHogs.push_back(std::make_shared<Client>(io));
    gStarted = Clock::now();
    gLastDone = gStarted;
    gDeadline = gStarted + std::chrono::seconds(gOptions.seconds);
    // The one-shot crowd has the whole time to be served; the repeating cases a grace after it.
    asio::steady_timer hardStop(io);
    hardStop.expires_at(gOptions.atOnce ? gDeadline : gDeadline + std::chrono::milliseconds(kFinishGraceMs));
    hardStop.async_wait([](const std::error_code& waitError) {
        if (!waitError)
            StopEverything();
    });
    // The hog goes first and holds its connections a moment before the others come.
    asio::steady_timer clientsStart(io);
    for (const ClientPtr& h : gHogs)
        HogConnect(h);
    clientsStart.expires_after(std::chrono::milliseconds(gOptions.hog > 0 ? 500 : 0));
    clientsStart.async_wait([](const std::error_code&) {
        for (const ClientPtr& c : gClients)
            Begin(c);
    });
    asio::steady_timer watch(io);
    gWatch = &watch;
    gHardStopTimer = &hardStop;
    WatchForTheEnd(gOptions.hog > 0 ? 600 : 20);
    io.run();
    // The clients' sockets and timers were made on io: they must go before it does, not at exit.
    gClients.clear();
    gHogs.clear();
    const double elapsed = std::chrono::duration<double>(gLastDone - gStarted).count();

    std::string shown = gOptions.request;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    std::sort(gLatencyMicros.begin(), gLatencyMicros.end());
    const size_t attempts = gServed + gFailed;
    printf("feed-server-bench: %d clients%s%s for %.1f s against %s:%u, request \"%s\"\n", gOptions.clients,
           gOptions.atOnce ? " at once" : "", gOptions.source.empty() ? "" : (" from " + gOptions.source).c_str(),
           elapsed, gOptions.address.c_str(), (unsigned)gOptions.port,
           gOptions.guessId.empty() ? LogSafe(shown.data(), shown.size(), 200).c_str() : (FEED_REQUEST_PREFIX + gOptions.guessId + "^<guess>").c_str());
    size_t usual = 0;
    const size_t odd = OddSizes(&usual);
    printf("served %zu of %zu (%.1f %%), failed %zu, p50 %.2f ms, p99 %.2f ms, %.0f requests/s\n", gServed, attempts,
           attempts > 0 ? 100.0 * (double)gServed / (double)attempts : 0.0, gFailed, Percentile(gLatencyMicros, 50),
           Percentile(gLatencyMicros, 99), elapsed > 0 ? (double)gServed / elapsed : 0.0);
    printf("replies    %zu of %zu bytes, %zu of another size; latency max %.2f ms; at most %d connections open\n",
           gServed - odd, usual, odd, Percentile(gLatencyMicros, 100), gOpenMax);
    if (gOptions.hog > 0)
        printf("hog        %d silent connections from %s: %zu opened, %zu cut by the server\n", gOptions.hog,
               gOptions.hogSource.c_str(), gHogOpened, gHogCut);
    if (!gOptions.guessId.empty()) {
        if (!gFoundKey.empty())
            printf("guessing   key \"%s\" found after %zu guesses in %.1f s (%.0f guesses/s)\n", gFoundKey.c_str(),
                   gGuessesAnswered, gFoundAfter, gGuessesAnswered / gFoundAfter);
        else
            printf("guessing   key not found: %zu guesses answered in %.1f s (%.0f/s), none opened the feed\n",
                   gGuessesAnswered, elapsed, elapsed > 0 ? gGuessesAnswered / elapsed : 0.0);
        return gFoundKey.empty() ? 0 : 1;
    }
    return gServed > 0 && gFailed == 0 && odd == 0 ? 0 : 1;
}
