// feed-server-bench: N concurrent clients ask a running feed server for a feed (or a page) again and
// again for a bounded time, then print requests per second and latency percentiles.
#include <asio.hpp>

#include "common/facts.h"
#include "feed_text.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

const size_t kLatencySamplesMax = 10 * 1000 * 1000;
const size_t kReplyMax = 1024 * 1024;

struct Options {
    std::string address = "127.0.0.1";
    unsigned short port = FEED_PORT;
    int clients = 50;
    int seconds = 5;
    std::string request = "VNP,demo^demo\r\n";
};

struct Client {
    explicit Client(asio::io_context& io) : socket(io), pause(io) {}
    tcp::socket socket;
    asio::steady_timer pause;
    Clock::time_point start;
    size_t received = 0;
    char chunk[8192];
};

using ClientPtr = std::shared_ptr<Client>;

// Results, touched by the one thread that runs the clients.
tcp::endpoint gEndpoint;
Options gOptions;
Clock::time_point gDeadline;
std::vector<unsigned> gLatencyMicros;
size_t gDone = 0;
size_t gFailed = 0;
size_t gOddSize = 0;
size_t gExpectedSize = 0;
int gOpen = 0;
int gOpenMax = 0;

void Begin(const ClientPtr& c);

void Closed(const ClientPtr& c)
{
    std::error_code ignored;
    c->socket.close(ignored);
    --gOpen;
}

void Failed(const ClientPtr& c)
{
    ++gFailed;
    Closed(c);
    // A refused or reset connection is retried after a breath, not in a tight loop.
    c->pause.expires_after(std::chrono::milliseconds(10));
    c->pause.async_wait([c](const std::error_code&) { Begin(c); });
}

void Completed(const ClientPtr& c)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - c->start).count();
    Closed(c);
    ++gDone;
    if (gLatencyMicros.size() < kLatencySamplesMax)
        gLatencyMicros.push_back((unsigned)micros);
    if (gExpectedSize == 0)
        gExpectedSize = c->received;
    else if (c->received != gExpectedSize)
        ++gOddSize;
    Begin(c);
}

void ReadReply(const ClientPtr& c)
{
    c->socket.async_read_some(asio::buffer(c->chunk), [c](const std::error_code& ec, size_t n) {
        c->received += n;
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
    if (Clock::now() >= gDeadline)
        return;
    c->start = Clock::now();
    c->received = 0;
    std::error_code ec;
    c->socket.open(tcp::v4(), ec);
    if (ec) {
        ++gFailed;
        c->pause.expires_after(std::chrono::milliseconds(10));
        c->pause.async_wait([c](const std::error_code&) { Begin(c); });
        return;
    }
    ++gOpen;
    gOpenMax = std::max(gOpenMax, gOpen);
    c->socket.async_connect(gEndpoint, [c](const std::error_code& connectError) {
        if (connectError) {
            Failed(c);
            return;
        }
        asio::async_write(c->socket, asio::buffer(gOptions.request), [c](const std::error_code& writeError, size_t) {
            if (writeError) {
                Failed(c);
                return;
            }
            ReadReply(c);
        });
    });
}

double Percentile(const std::vector<unsigned>& sorted, double p)
{
    if (sorted.empty())
        return 0.0;
    size_t index = (size_t)(p / 100.0 * (double)(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)] / 1000.0;
}

void Usage()
{
    fprintf(stderr,
            "usage: feed-server-bench [--address 127.0.0.1] [--port %d] [--clients 1..2000] [--seconds 1..120]\n"
            "                         [--feed ID^KEY | --page PATH^ID^KEY]\n",
            (int)FEED_PORT);
}

bool ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            Usage();
            return false;
        }
        const char* value = argv[++i];
        long number = 0;
        if (name == "--address") {
            options->address = value;
        } else if (name == "--port" && ParseNumber(value, 1, 65535, &number)) {
            options->port = (unsigned short)number;
        } else if (name == "--clients" && ParseNumber(value, 1, 2000, &number)) {
            options->clients = (int)number;
        } else if (name == "--seconds" && ParseNumber(value, 1, 120, &number)) {
            options->seconds = (int)number;
        } else if (name == "--feed") {
            options->request = std::string("VNP,") + value + "\r\n";
        } else if (name == "--page") {
            options->request = std::string("GET /") + value + " HTTP/1.0\r\n\r\n";
        } else {
            Usage();
            return false;
        }
    }
    return true;
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
    asio::io_context io(1);
    gEndpoint = tcp::endpoint(address, gOptions.port);
    std::vector<ClientPtr> clients;
    for (int i = 0; i < gOptions.clients; ++i)
        clients.push_back(std::make_shared<Client>(io));
    const Clock::time_point started = Clock::now();
    gDeadline = started + std::chrono::seconds(gOptions.seconds);
    for (const ClientPtr& c : clients)
        Begin(c);
    io.run();
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();

    std::string shown = gOptions.request;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    std::sort(gLatencyMicros.begin(), gLatencyMicros.end());
    printf("feed-server-bench: %d clients for %.1f s against %s:%u, request \"%s\"\n", gOptions.clients, elapsed,
           gOptions.address.c_str(), (unsigned)gOptions.port, shown.c_str());
    printf("requests   %zu completed (%.0f/s), %zu failed, %zu of another size than the first (%zu bytes)\n",
           gDone, gDone / elapsed, gFailed, gOddSize, gExpectedSize);
    printf("throughput %.1f MB/s of replies\n", (double)gDone * (double)gExpectedSize / elapsed / 1e6);
    printf("latency ms p50 %.2f  p90 %.2f  p99 %.2f  max %.2f\n", Percentile(gLatencyMicros, 50),
           Percentile(gLatencyMicros, 90), Percentile(gLatencyMicros, 99), Percentile(gLatencyMicros, 100));
    printf("connections open at once: at most %d\n", gOpenMax);
    return gDone > 0 && gFailed == 0 && gOddSize == 0 ? 0 : 1;
}
