// The real feed-server program through real sockets on loopback, on the feed port: feed bytes, refusals,
// pages, path probes, oversized and slow requests, the connection cap and the listen queue, a peer
// holding silent connections, key guessing, slow and stalled readers, 200 clients at once, the log and
// its stuck or vanished reader, and start-up failures. Each test has its own address in
// 127.0.0.40-127.0.0.60 or 127.0.0.100-127.0.0.109; the other clients' source addresses are there too.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/contract.h"
#include "feed_guard.h"
#include "feed_request.h"
#include "server_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> SampleArgs(const char* address, const std::vector<std::string>& extra = {})
{
    std::vector<std::string> args = {"--catalog", SampleCatalogDir(), "--address", address, "--allow-short-keys"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

HttpResponse GetPage(const char* address, const std::string& target)
{
    HttpResponse response;
    const std::string bytes = Exchange(address, "GET " + target + " HTTP/1.0\r\nHost: test\r\n\r\n");
    EXPECT_TRUE(SplitHttpResponse(bytes, &response)) << target << ": " << bytes.substr(0, 80);
    return response;
}

TEST(feed_server_sockets, SendsTheWholeFeedAndThenCloses)
{
    const char* address = "127.0.0.40";
    START_SERVER(server, address);

    ReplyEnd end = kEndTimeout;
    const std::string demo = Exchange(address, "VNP,demo^demo\r\n", &end);
    EXPECT_EQ(kEndClosed, end);
    EXPECT_EQ(SampleFeed("demo"), demo);
    const ViewerFeed read = ReadFeedLikeViewer(demo);
    EXPECT_EQ("Harbor Street Home Goods", read.caption);
    EXPECT_EQ(53u, read.products.size());
    EXPECT_EQ(0, read.skippedLines);

    EXPECT_EQ(SampleFeed("kestrel-cycles"), Exchange(address, "VNP,kestrel-cycles^K3strel-22\r\n", &end));
    EXPECT_EQ(kEndClosed, end);

    // A request that trickles in, in pieces, is the same request.
    const int fd = ConnectTo(address);
    ASSERT_GE(fd, 0);
    for (const char* piece : {"V", "NP,", "demo^de", "mo\r", "\n"}) {
        ASSERT_TRUE(SendAll(fd, piece));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(SampleFeed("demo"), ReceiveAll(fd, &end));
    EXPECT_EQ(kEndClosed, end);
    CloseSocket(fd);
}

TEST(feed_server_sockets, AnswersAWrongKeyWithNoData)
{
    const char* address = "127.0.0.41";
    START_SERVER(server, address);
    for (const char* request : {"VNP,demo^wrong\r\n", "VNP,nobody^demo\r\n", "VNP,demo\r\n", "VNP,^\r\n",
                                "VNP,DEMO^demo\r\n"}) {
        ReplyEnd end = kEndTimeout;
        const std::string reply = Exchange(address, request, &end);
        EXPECT_EQ(kNoDataReply, reply) << request;
        EXPECT_EQ(kEndClosed, end) << request;
        EXPECT_TRUE(ReadFeedLikeViewer(reply).noData);
    }
}

TEST(feed_server_sockets, ServesProductPagesOverHttp)
{
    const char* address = "127.0.0.42";
    START_SERVER(server, address);

    HttpResponse page = GetPage(address, "/p/oak-dining-chair^demo^demo");
    EXPECT_EQ("HTTP/1.0 200 OK", page.statusLine);
    EXPECT_EQ(std::to_string(page.body.size()), HeaderValue(page, "Content-Length"));
    EXPECT_EQ("text/html; charset=utf-8", HeaderValue(page, "Content-Type"));
    EXPECT_NE(std::string::npos, page.body.find("<h1>Oak Dining Chair</h1>"));
    EXPECT_NE(std::string::npos, page.body.find("Home &amp; Garden &gt; Furniture &gt; Chairs"));
    EXPECT_NE(std::string::npos,
              page.body.find("<a href=\"http://harborstreet.example/furniture/oak-dining-chair\" rel=\"noreferrer\">"));
    EXPECT_NE(std::string::npos, page.body.find("<td>new</td>"));
    // The address holds the key: it must reach neither a shared cache nor another site.
    EXPECT_EQ("no-store", HeaderValue(page, "Cache-Control"));
    EXPECT_EQ("no-referrer", HeaderValue(page, "Referrer-Policy"));

    // The page of a product whose texts are not ASCII comes as UTF-8, as the catalog has it.
    page = GetPage(address, "/p/brulee-torch%5Edemo%5Edemo");
    EXPECT_EQ("HTTP/1.0 200 OK", page.statusLine);
    EXPECT_NE(std::string::npos, page.body.find("Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9" "e Torch"));

    page = GetPage(address, "/camp/summer-bag^kestrel-cycles^K3strel-22");
    EXPECT_EQ("HTTP/1.0 200 OK", page.statusLine);
    EXPECT_NE(std::string::npos, page.body.find("\xC2\xA3" "45"));

    EXPECT_EQ("HTTP/1.0 404 Not Found", GetPage(address, "/p/no-such-thing^demo^demo").statusLine);
    EXPECT_EQ("HTTP/1.0 404 Not Found", GetPage(address, "/camp/summer-bag^demo^demo").statusLine);
    EXPECT_EQ("HTTP/1.0 403 Forbidden", GetPage(address, "/p/oak-dining-chair^demo^nope").statusLine);
    EXPECT_EQ("HTTP/1.0 403 Forbidden", GetPage(address, "/camp/summer-bag^kestrel-cycles^demo").statusLine);
}

TEST(feed_server_sockets, ServesNothingOutsideTheCatalog)
{
    const char* address = "127.0.0.43";
    START_SERVER(server, address);
    const char* probes[] = {
        "/../../etc/passwd",
        "/../../etc/passwd^demo^demo",
        "/..%2F..%2F..%2Fetc%2Fpasswd^demo^demo",
        "/%2e%2e/%2e%2e/etc/passwd",
        "/accounts.txt^demo^demo",
        "/products/demo.txt^demo^demo",
        "/%2e%2e/catalog/accounts.txt^demo^demo",
        "//etc/passwd",
        "/..\\..\\etc\\passwd^demo^demo",
    };
    for (const char* probe : probes) {
        const HttpResponse page = GetPage(address, probe);
        EXPECT_EQ("HTTP/1.0 404 Not Found", page.statusLine) << probe;
        EXPECT_EQ(std::string::npos, page.body.find("root:")) << probe;
        EXPECT_EQ(std::string::npos, page.body.find("Harbor")) << probe;
    }
    EXPECT_TRUE(WaitForOutput(&server.process, " page ", sizeof probes / sizeof probes[0], 5000));
}

TEST(feed_server_sockets, CutsOffOversizedRequests)
{
    const char* address = "127.0.0.44";
    START_SERVER(server, address, {"--request-timeout-ms", "20000"});
    ReplyEnd end = kEndTimeout;

    EXPECT_EQ(kNoDataReply, Exchange(address, "VNP,demo^" + std::string(2000, 'k') + "\r\n", &end));
    EXPECT_EQ(kEndClosed, end);

    HttpResponse response;
    ASSERT_TRUE(SplitHttpResponse(Exchange(address, "GET /" + std::string(5000, 'a') + " HTTP/1.0\r\n\r\n"), &response));
    EXPECT_EQ("HTTP/1.0 414 URI Too Long", response.statusLine);
    // Just over the line limit, line end and header fields in the same write: still the address.
    ASSERT_TRUE(SplitHttpResponse(
        Exchange(address, "GET /" + std::string(1100, 'a') + " HTTP/1.0\r\nHost: x\r\n\r\n"), &response));
    EXPECT_EQ("HTTP/1.0 414 URI Too Long", response.statusLine);
    ASSERT_TRUE(SplitHttpResponse(
        Exchange(address, "GET /lamp HTTP/1.0\r\nX-Padding: " + std::string(9000, 'h') + "\r\n\r\n"), &response));
    EXPECT_EQ("HTTP/1.0 431 Request Header Fields Too Large", response.statusLine);

    // Endless bytes without a line end: the server stops reading at its limit and drops the
    // connection long before the 20 s request time is up.
    const int fd = ConnectTo(address);
    ASSERT_GE(fd, 0);
    const std::string flood(64 * 1024, 'A');
    SendAll(fd, flood);
    const std::string reply = ReceiveAll(fd, &end);
    CloseSocket(fd);
    EXPECT_EQ("", reply);
    EXPECT_NE(kEndTimeout, end);
    EXPECT_TRUE(WaitForOutput(&server.process, " other - too-long 0", 1, 5000)) << OutputOf(&server.process);

    EXPECT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n"));
}

TEST(feed_server_sockets, GivesUpOnRequestsThatTakeTooLong)
{
    const char* address = "127.0.0.45";
    START_SERVER(server, address, {"--request-timeout-ms", "300"});
    ReplyEnd end = kEndReset;

    // Half a request, then silence.
    const Clock::time_point start = Clock::now();
    EXPECT_EQ("", Exchange(address, "VNP,de", &end));
    EXPECT_EQ(kEndClosed, end);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(250));

    // A byte every 100 ms: each read is quick, the whole request is not. The limit is on the whole.
    const int fd = ConnectTo(address);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(SendAll(fd, "VNP,"));
    for (char c : std::string("demo^demo\r\n")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!SendAll(fd, std::string(1, c)))
            break;
    }
    const std::string reply = ReceiveAll(fd, &end);
    CloseSocket(fd);
    EXPECT_EQ("", reply);
    EXPECT_NE(kEndTimeout, end);

    // A connection that never says anything.
    const int idle = ConnectTo(address);
    ASSERT_GE(idle, 0);
    EXPECT_EQ("", ReceiveAll(idle, &end));
    EXPECT_EQ(kEndClosed, end);
    CloseSocket(idle);

    EXPECT_TRUE(WaitForOutput(&server.process, " feed - timeout 0", 2, 5000)) << OutputOf(&server.process);
    EXPECT_TRUE(WaitForOutput(&server.process, " other - timeout 0", 1, 5000)) << OutputOf(&server.process);
    EXPECT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n"));
}

// Whether the server has said or closed anything on the connection within the time.
bool QuietFor(int fd, int ms)
{
    pollfd poller = {fd, POLLIN, 0};
    return poll(&poller, 1, ms) == 0;
}

// At its cap the server stops taking connections: the next ones wait in the listen queue and are
// served in turn, never closed empty (which a viewer shows as "No Data").
TEST(feed_server_sockets, QueuesConnectionsAtItsCap)
{
    const char* address = "127.0.0.46";
    START_SERVER(server, address, {"--max-connections", "3", "--request-timeout-ms", "20000"});
    int idle[3];
    for (int& fd : idle) {
        fd = ConnectTo(address);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(SendAll(fd, "VNP,"));
    }
    // The fourth is connected by the system and says its request, but waits for a place.
    const int waiting = ConnectTo(address);
    ASSERT_GE(waiting, 0);
    ASSERT_TRUE(SendAll(waiting, "VNP,demo^demo\r\n"));
    EXPECT_TRUE(QuietFor(waiting, 500)) << "the connection over the cap was answered or closed at once";

    CloseSocket(idle[0]);
    ReplyEnd end = kEndTimeout;
    EXPECT_EQ(SampleFeed("demo"), ReceiveAll(waiting, &end));
    EXPECT_EQ(kEndClosed, end);
    CloseSocket(waiting);
    // The two still holding places get their feeds when they finish their lines.
    for (int i = 1; i < 3; ++i) {
        ASSERT_TRUE(SendAll(idle[i], "demo^demo\r\n"));
        EXPECT_EQ(SampleFeed("demo"), ReceiveAll(idle[i], &end));
        CloseSocket(idle[i]);
    }

    // A crowd thirty times the cap, all at once from one address: every one gets the whole feed.
    const int kCrowd = 90;
    std::atomic<int> whole{0};
    std::vector<std::thread> crowd;
    for (int i = 0; i < kCrowd; ++i)
        crowd.emplace_back([&] {
            ReplyEnd how = kEndTimeout;
            if (Exchange(address, "VNP,demo^demo\r\n", &how) == SampleFeed("demo") && how == kEndClosed)
                ++whole;
        });
    for (std::thread& t : crowd)
        t.join();
    EXPECT_EQ(kCrowd, whole.load());
    EXPECT_TRUE(WaitForOutput(&server.process, " feed demo ok ", 3 + kCrowd, 5000)) << OutputOf(&server.process);
    EXPECT_EQ(0u, CountOf(OutputOf(&server.process), " busy "));
}

// One peer holds every place it can with connections that say nothing, and opens another as soon as
// one is dropped. Beyond its share of silent connections it gets a second to speak, so the places
// turn over and clients from other addresses are served.
TEST(feed_server_sockets, ServesOthersWhileOnePeerHoldsSilentConnections)
{
    const char* address = "127.0.0.101";
    const char* hogSource = "127.0.0.102";
    const char* clientSource = "127.0.0.103";
    // The default share of silent connections per address (16) is two thirds of these places.
    START_SERVER(server, address, {"--max-connections", "24", "--request-timeout-ms", "5000"});
    std::atomic<bool> stop{false};
    std::atomic<int> opened{0};
    std::atomic<int> cut{0};
    std::thread hog([&] {
        std::vector<int> fds(32, -1);
        while (!stop) {
            for (int& fd : fds)
                if (fd < 0 && (fd = ConnectTo(address, hogSource)) >= 0)
                    ++opened;
            std::vector<pollfd> pollers;
            for (int fd : fds)
                pollers.push_back({fd, POLLIN, 0});
            poll(pollers.data(), pollers.size(), 20);
            for (size_t i = 0; i < fds.size(); ++i)
                if (pollers[i].revents != 0) {
                    CloseSocket(fds[i]);
                    fds[i] = -1;
                    ++cut;
                }
        }
        for (int fd : fds)
            CloseSocket(fd);
    });
    // The hog takes every place first.
    const Clock::time_point hogLimit = Clock::now() + std::chrono::seconds(5);
    while (opened.load() < 32 && Clock::now() < hogLimit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    const int kClients = 8;
    std::atomic<int> whole{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&] {
            ReplyEnd how = kEndTimeout;
            if (Exchange(address, "VNP,demo^demo\r\n", &how, clientSource) == SampleFeed("demo") && how == kEndClosed)
                ++whole;
        });
    for (std::thread& t : clients)
        t.join();
    stop = true;
    hog.join();
    EXPECT_GE(opened.load(), 32);
    EXPECT_EQ(kClients, whole.load()) << "hog opened " << opened.load() << ", cut " << cut.load();
    EXPECT_GT(cut.load(), 0);
    EXPECT_TRUE(WaitForOutput(&server.process, " other - timeout 0", 1, 5000));
}

// Wrong keys from one address: a few are free, then key checks from there stop for a while that
// grows, whatever the key; other addresses are not held up, and the lockout ends by itself.
TEST(feed_server_sockets, ThrottlesKeyGuessesFromOneAddress)
{
    const char* address = "127.0.0.104";
    const char* guesser = "127.0.0.105";
    const char* neighbour = "127.0.0.106";
    START_SERVER(server, address);
    int replies = 0;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(1500);
    for (int i = 0; Clock::now() < until; ++i) {
        ReplyEnd end = kEndTimeout;
        ASSERT_EQ(kNoDataReply, Exchange(address, "VNP,demo^guess" + std::to_string(i) + "\r\n", &end, guesser));
        ASSERT_EQ(kEndClosed, end);
        ++replies;
    }
    EXPECT_GT(replies, 50);
    // The right key from the guesser's address is held back like any other; a neighbour is served.
    EXPECT_EQ(kNoDataReply, Exchange(address, "VNP,demo^demo\r\n", nullptr, guesser));
    HttpResponse page;
    ASSERT_TRUE(SplitHttpResponse(
        Exchange(address, "GET /p/oak-dining-chair^demo^demo HTTP/1.0\r\n\r\n", nullptr, guesser), &page));
    EXPECT_EQ("HTTP/1.0 429 Too Many Requests", page.statusLine);
    EXPECT_GE(atoi(HeaderValue(page, "Retry-After").c_str()), 1);
    EXPECT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n", nullptr, neighbour));

    // Every guess, the guesser's right key and the neighbour's request each have their line.
    ASSERT_TRUE(WaitForOutput(&server.process, " feed demo ", (size_t)replies + 2, 5000)) << OutputOf(&server.process);
    std::string out = OutputOf(&server.process);
    // Five free guesses, the sixth locks for a second, the first after that for two: no more in 1.5 s.
    const size_t checked = CountOf(out, " feed demo wrong-key ");
    EXPECT_GE(checked, (size_t)kFreeKeyFailures + 1);
    EXPECT_LE(checked, (size_t)kFreeKeyFailures + 2);
    EXPECT_EQ(checked + CountOf(out, " feed demo throttled "), (size_t)replies + 1);
    EXPECT_NE(std::string::npos, out.find("feed-server: 127.0.0.105 locked out of key checks for 1000 ms after 6 failed checks"));

    // Once the last lockout is over, the right key works again from there.
    const size_t lockAt = out.rfind("locked out of key checks for ");
    const int lockMs = atoi(out.c_str() + lockAt + strlen("locked out of key checks for "));
    std::this_thread::sleep_for(std::chrono::milliseconds(lockMs + 200));
    EXPECT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n", nullptr, guesser));
}

// A catalog whose one account has a feed of about 1 MB, and that feed as the viewer must get it.
// A reply is bounded by its progress, not by its total time: a reader taking it slowly but steadily
// gets all of it over several idle limits; one that stops is cut with a reset, never with the normal
// end that would make a short feed look whole.
TEST(feed_server_sockets, BoundsAReplyByProgressNotByTime)
{
    const char* address = "127.0.0.107";
    std::string feed;
    ScratchCatalog big = BigCatalog(&feed);
    ASSERT_GT(feed.size(), 1000000u);
    START_SERVER(server, address, {"--reply-idle-ms", "1000"}, big.dir);

    int fd = ConnectTo(address, nullptr, 16 * 1024);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(SendAll(fd, "VNP,big^big-key-1\r\n"));
    const Clock::time_point start = Clock::now();
    std::string got;
    ReplyEnd end = kEndTimeout;
    char chunk[8192];
    for (;;) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            end = n == 0 ? kEndClosed : kEndReset;
            break;
        }
        got.append(chunk, (size_t)n);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    CloseSocket(fd);
    EXPECT_GT(Clock::now() - start, std::chrono::milliseconds(2500)) << "the reader was not slow";
    EXPECT_EQ(kEndClosed, end);
    EXPECT_TRUE(got == feed) << got.size() << " of " << feed.size() << " bytes";
    EXPECT_TRUE(WaitForOutput(&server.process, " feed big ok " + std::to_string(feed.size()) + "\n", 1, 5000));

    // This reader takes 64 KB and then nothing.
    fd = ConnectTo(address, nullptr, 16 * 1024);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(SendAll(fd, "VNP,big^big-key-1\r\n"));
    got.clear();
    while (got.size() < 64 * 1024) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        ASSERT_GT(n, 0);
        got.append(chunk, (size_t)n);
    }
    EXPECT_TRUE(WaitForOutput(&server.process, " feed big cut ", 1, 5000)) << OutputOf(&server.process);
    got += ReceiveAll(fd, &end);
    CloseSocket(fd);
    EXPECT_EQ(kEndReset, end);
    EXPECT_LT(got.size(), feed.size());
    RemoveTree(big.dir);
}

// The log writer: reads a pipe until the server says it listens, so that the test can then stop.
bool ReadUntilListening(int fd, std::string* text)
{
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(20);
    char chunk[512];
    while (text->find("feed-server: listening on") == std::string::npos) {
        pollfd poller = {fd, POLLIN, 0};
        if (Clock::now() > limit || poll(&poller, 1, 100) < 0)
            return false;
        if (poller.revents == 0)
            continue;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        text->append(chunk, (size_t)n);
    }
    return true;
}

// Reads what a pipe holds now and what comes within the time.
std::string Drain(int fd, int ms)
{
    std::string text;
    char chunk[4096];
    const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < limit) {
        pollfd poller = {fd, POLLIN, 0};
        if (poll(&poller, 1, 50) <= 0)
            continue;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        text.append(chunk, (size_t)n);
    }
    return text;
}

// A server whose stdout the test holds; killed if a test ends before stopping it.
struct PipedServer {
    ServerProcess process;
    ~PipedServer()
    {
        if (process.pid > 0)
            StopServer(&process, SIGKILL);
    }
};

// Sends the requests from four clients at once; false at the first that does not get the whole feed.
bool ServeMany(const char* address, int requests)
{
    std::atomic<int> next{0};
    std::atomic<bool> ok{true};
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i)
        clients.emplace_back([&] {
            while (ok && next++ < requests) {
                ReplyEnd end = kEndTimeout;
                if (Exchange(address, "VNP,demo^demo\r\n", &end) != SampleFeed("demo") || end != kEndClosed)
                    ok = false;
            }
        });
    for (std::thread& t : clients)
        t.join();
    return ok;
}

// The log never holds up or ends the server: a reader that stops reading costs log lines (counted and
// reported once it reads again), never requests, and SIGTERM still stops the server; a reader that
// went away costs nothing at all.
TEST(feed_server_sockets, ServesWhateverBecomesOfTheLogsReader)
{
    const char* address = "127.0.0.108";
    for (int round = 0; round < 2; ++round) {
        int out[2];
        ASSERT_EQ(0, pipe(out));
        ASSERT_GT(fcntl(out[1], F_SETPIPE_SZ, 4096), 0);
        PipedServer server;
        ASSERT_TRUE(SpawnServerWithStdout(SampleArgs(address), out[1], &server.process));
        close(out[1]);
        std::string log;
        ASSERT_TRUE(ReadUntilListening(out[0], &log)) << log << server.process.err;
        if (round == 0) {
            // Enough to block a writer on the full pipe; then stopped while the reader is still stuck.
            ASSERT_TRUE(ServeMany(address, 300));
            const Clock::time_point start = Clock::now();
            EXPECT_EQ(0, StopServer(&server.process, SIGTERM)) << server.process.err;
            EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));
        } else {
            // Some 120 KB of log, twice what the server queues: lines are dropped, requests are not.
            const int kRequests = 1600;
            ASSERT_TRUE(ServeMany(address, kRequests));
            // The reader comes back: it learns once how many lines it missed, and the log goes on.
            log = Drain(out[0], 500);
            EXPECT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n"));
            log += Drain(out[0], 500);
            EXPECT_EQ(1u, CountOf(log, " log lines dropped while the output was not read\n")) << log.substr(0, 400);
            const size_t notice = log.find("feed-server: ");
            ASSERT_NE(std::string::npos, notice);
            const unsigned long dropped = strtoul(log.c_str() + notice + strlen("feed-server: "), nullptr, 10);
            EXPECT_GT(dropped, 0u);
            EXPECT_EQ((size_t)kRequests + 1, CountOf(log, " feed demo ok ") + dropped);
            // The request after the notice is logged after it.
            EXPECT_LT(notice, log.rfind(" feed demo ok "));
            EXPECT_EQ(0, StopServer(&server.process, SIGTERM)) << server.process.err;
        }
        close(out[0]);
    }

    // The reader goes away: the server neither dies of it nor stops serving.
    int out[2];
    ASSERT_EQ(0, pipe(out));
    PipedServer server;
    ASSERT_TRUE(SpawnServerWithStdout(SampleArgs(address), out[1], &server.process));
    close(out[1]);
    std::string log;
    ASSERT_TRUE(ReadUntilListening(out[0], &log)) << log << server.process.err;
    close(out[0]);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n")) << "request " << i;
    EXPECT_EQ(0, StopServer(&server.process, SIGTERM)) << server.process.err;
}

// Pages name categories and currencies from the built-in tables, for a catalog anywhere.
TEST(feed_server_sockets, NamesCategoriesAndCurrenciesForACatalogAnywhere)
{
    const char* address = "127.0.0.109";
    ScratchCatalog shop = MakeCatalog("shop | shop-key-1 | Shop\n", {{"shop", "new | Chair | 1110 | 5 | 978 | | chair\n"
                                                                                  "new | Rug | 1420 | 7 | 392 | | rug\n"}});
    START_SERVER(server, address, {}, shop.dir);
    HttpResponse page = GetPage(address, "/chair^shop^shop-key-1");
    EXPECT_EQ("HTTP/1.0 200 OK", page.statusLine);
    EXPECT_NE(std::string::npos, page.body.find("<td>Home &amp; Garden &gt; Furniture &gt; Chairs</td>")) << page.body;
    EXPECT_NE(std::string::npos, page.body.find("<td>5 EUR</td>")) << page.body;
    page = GetPage(address, "/rug^shop^shop-key-1");
    EXPECT_NE(std::string::npos, page.body.find("<td>Home &amp; Garden &gt; Home Decor &gt; Rugs</td>")) << page.body;
    EXPECT_NE(std::string::npos, page.body.find("<td>7 JPY</td>")) << page.body;
    RemoveTree(shop.dir);
}

TEST(feed_server_sockets, Serves200ClientsAtOnceEachTheWholeFeed)
{
    const char* address = "127.0.0.47";
    const int kClients = 200;
    // As many places as clients: all of them held open at once.
    START_SERVER(server, address, {"--max-connections", std::to_string(kClients), "--request-timeout-ms", "30000"});

    std::atomic<int> connected{0};
    std::atomic<int> whole{0};
    std::atomic<int> failedConnects{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&] {
            const int fd = ConnectTo(address);
            if (fd < 0) {
                ++failedConnects;
                ++connected;
                return;
            }
            ++connected;
            // Everyone connects first, then all ask at once.
            const Clock::time_point limit = Clock::now() + std::chrono::seconds(20);
            while (connected.load() < kClients && Clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ReplyEnd end = kEndTimeout;
            if (SendAll(fd, "VNP,demo^demo\r\n") && ReceiveAll(fd, &end) == SampleFeed("demo") && end == kEndClosed)
                ++whole;
            CloseSocket(fd);
        });
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(0, failedConnects.load());
    EXPECT_EQ(kClients, whole.load());
    const std::string okLine = " feed demo ok " + std::to_string(SampleFeed("demo").size()) + "\n";
    EXPECT_TRUE(WaitForOutput(&server.process, okLine, kClients, 5000));
    EXPECT_EQ(0u, CountOf(OutputOf(&server.process), " busy "));
}

TEST(feed_server_sockets, LogsOneLinePerRequest)
{
    const char* address = "127.0.0.48";
    START_SERVER(server, address);
    const std::string feed = Exchange(address, "VNP,demo^demo\r\n");
    const std::string noData = Exchange(address, "VNP,demo^bad\r\n");
    const std::string page = Exchange(address, "GET /p/linen-sofa^demo^demo HTTP/1.0\r\n\r\n");
    const std::string missing = Exchange(address, "GET /nothing^demo^demo HTTP/1.0\r\n\r\n");
    Exchange(address, "\x1b[31mEVIL^x\r\n");
    Exchange(address, "VNP,\x1b[2Jwipe\\ me^x\r\n");
    ASSERT_TRUE(WaitForOutput(&server.process, "\n", 2 + 6, 5000));

    const std::string out = OutputOf(&server.process);
    std::vector<std::string> lines;
    for (size_t at = 0; at < out.size();) {
        const size_t lf = out.find('\n', at);
        lines.push_back(out.substr(at, lf - at));
        at = lf + 1;
    }
    ASSERT_EQ(8u, lines.size()) << out;
    const std::regex shape(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z 127\.0\.0\.\d+:\d+ (feed|page|other) \S+ \S+ \d+)");
    for (size_t i = 2; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], shape)) << lines[i];
    auto tail = [&](size_t i) { return lines[i].substr(lines[i].find(' ', lines[i].find(' ') + 1) + 1); };
    EXPECT_EQ("feed demo ok " + std::to_string(feed.size()), tail(2));
    EXPECT_EQ("feed demo wrong-key " + std::to_string(noData.size()), tail(3));
    EXPECT_EQ("page demo ok " + std::to_string(page.size()), tail(4));
    EXPECT_EQ("page demo not-found " + std::to_string(missing.size()), tail(5));
    EXPECT_EQ("other - unknown 0", tail(6));
    // Request bytes never reach the log raw: no escape sequence can play with the operator's terminal.
    EXPECT_EQ("feed \\x1B[2Jwipe\\x5C\\x20me unknown-account 30", tail(7));
    EXPECT_EQ(std::string::npos, out.find('\x1b'));
}

TEST(feed_server_sockets, KeepsServingAfterHostileClients)
{
    const char* address = "127.0.0.50";
    START_SERVER(server, address, {"--request-timeout-ms", "2000"});
    // Gone at once; gone with a reset halfway through a request; gone before reading the reply.
    CloseSocket(ConnectTo(address));
    const int reset = ConnectTo(address);
    ASSERT_GE(reset, 0);
    SendAll(reset, "GET /p/linen");
    struct linger hardClose = {1, 0};
    setsockopt(reset, SOL_SOCKET, SO_LINGER, &hardClose, sizeof hardClose);
    CloseSocket(reset);
    const int rude = ConnectTo(address);
    ASSERT_GE(rude, 0);
    SendAll(rude, "VNP,demo^demo\r\n");
    shutdown(rude, SHUT_RD);
    CloseSocket(rude);

    // Bounded random blobs, some starting like a real request; the client half-closes after each, so
    // that an unfinished one ends at once instead of at the request time limit.
    unsigned seed = 7919;
    for (int i = 0; i < 60; ++i) {
        std::string blob = i % 3 == 0 ? "VNP," : i % 3 == 1 ? "GET /" : "";
        const int length = (int)(rand_r(&seed) % 400);
        for (int k = 0; k < length; ++k)
            blob += (char)(rand_r(&seed) % 256);
        if (i % 2 == 0)
            blob += "\r\n\r\n";
        const int fd = ConnectTo(address);
        ASSERT_GE(fd, 0);
        SendAll(fd, blob);
        shutdown(fd, SHUT_WR);
        ReplyEnd end = kEndTimeout;
        ReceiveAll(fd, &end);
        CloseSocket(fd);
        EXPECT_NE(kEndTimeout, end) << i;
    }
    // From another address: the blobs' guessed keys may have locked this one out of key checks.
    EXPECT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n", nullptr, "127.0.0.103"));
    EXPECT_EQ(0, StopServer(&server.process, SIGTERM)) << server.process.err;
}

TEST(feed_server_start, RefusesABadCatalogNamingFileAndLine)
{
    ScratchCatalog scratch = MakeCatalog("shop | shop-key-1 | Shop\n",
                                         {{"shop", "new | Fine | 1110 | 1 | 840\nnew | Up^Down | 1110 | 1 | 840\n"
                                                   "new | Fine too | 1110 | 1 | 840 | | x\nnew | Chair | 1110 | 1 | 840 | | x\n"}});
    std::string out;
    std::string err;
    EXPECT_EQ(1, RunServer({"--catalog", scratch.dir, "--address", "127.0.0.51"}, &out, &err));
    EXPECT_NE(std::string::npos,
              err.find(scratch.dir + "/products/shop.txt:2: name holds \"^\", which the feed uses between fields\n"))
        << err;
    EXPECT_NE(std::string::npos, err.find(scratch.dir + "/products/shop.txt:4: server path \"x\" is already used on line 3\n"))
        << err;
    EXPECT_NE(std::string::npos, err.find("feed-server: the catalog was not loaded"));
    EXPECT_EQ(std::string::npos, out.find("listening"));
    EXPECT_EQ(-1, ConnectTo("127.0.0.51"));

    RemoveTree(scratch.dir);

    // The names are built in: the options that named their files are gone, and say so.
    EXPECT_EQ(2, RunServer({"--catalog", SampleCatalogDir(), "--categories", CategoriesFile(), "--check"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("--categories is no longer taken")) << err;

    // The demo key is short: refused by default, taken with a warning when asked.
    EXPECT_EQ(1, RunServer({"--catalog", SampleCatalogDir(), "--check"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("/accounts.txt:4: key is 4 characters, fewer than 8")) << err;
    EXPECT_EQ(0, RunServer({"--catalog", SampleCatalogDir(), "--allow-short-keys", "--check"}, &out, &err)) << err;
    EXPECT_NE(std::string::npos,
              out.find(": 2 accounts, 108 products in 72 categories; currencies AUD CAD CHF EUR GBP JPY SEK USD"))
        << out;
    // The sample's first key is short on purpose (it is typed by hand in the demo); --check says so.
    EXPECT_NE(std::string::npos, err.find("/accounts.txt:4: warning: the key of \"demo\" is 4 characters; keys shorter "
                                          "than 8 are quick to guess"))
        << err;
    EXPECT_EQ(std::string::npos, err.find("kestrel-cycles")) << err;
}

bool HasControlByte(const std::string& text)
{
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\n') || c == 0x7F)
            return true;
    return false;
}

// Start-up never hangs on a catalog file that is not a file, and nothing from a catalog reaches the
// terminal raw.
TEST(feed_server_start, ReportsUnsafeCatalogsSafelyAndAtOnce)
{
    ScratchCatalog fifo = MakeCatalog("shop | shop-key-1 | Shop\n", {});
    ASSERT_EQ(0, mkfifo((fifo.dir + "/products/shop.txt").c_str(), 0644));
    std::string out;
    std::string err;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(1, RunServer({"--catalog", fifo.dir, "--check"}, &out, &err));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_NE(std::string::npos, err.find(fifo.dir + "/products/shop.txt: is not a regular file")) << err;
    EXPECT_EQ(1, RunServer({"--catalog", fifo.dir, "--address", "127.0.0.100"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("is not a regular file")) << err;
    RemoveTree(fifo.dir);

    ScratchCatalog hostile = MakeCatalog("shop\x1B[2J\x1B]0;owned\x07 | shop-key-1 | Shop\n"
                                         "ok | \x1B[31mkey | Shop\n",
                                         {});
    EXPECT_EQ(1, RunServer({"--catalog", hostile.dir, "--check"}, &out, &err));
    EXPECT_FALSE(HasControlByte(err)) << err;
    EXPECT_NE(std::string::npos, err.find("accounts.txt:1: id \"shop\\x1B[2J\\x1B]0;owned\\x07\" must be")) << err;
    EXPECT_NE(std::string::npos, err.find("accounts.txt:2: key must be")) << err;
    EXPECT_EQ(std::string::npos, err.find("31mkey")) << err;
    RemoveTree(hostile.dir);
}

TEST(feed_server_start, RefusesBadOptionsAndATakenAddress)
{
    std::string out;
    std::string err;
    EXPECT_EQ(2, RunServer({}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("--catalog DIR is required"));
    EXPECT_EQ(2, RunServer({"--catalog", SampleCatalogDir(), "--port", "70000"}, &out, &err));
    EXPECT_EQ(2, RunServer({"--catalog", SampleCatalogDir(), "--max-connections", "0"}, &out, &err));
    EXPECT_EQ(2, RunServer(SampleArgs("localhost"), &out, &err));
    EXPECT_NE(std::string::npos, err.find("localhost is not a dotted IPv4 address"));

    const char* address = "127.0.0.52";
    START_SERVER(first, address);
    EXPECT_EQ(1, RunServer(SampleArgs(address), &out, &err));
    EXPECT_NE(std::string::npos, err.find("cannot listen on 127.0.0.52:" + std::to_string(FEED_PORT))) << err;
    EXPECT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n"));
}

// The key on stdin becomes a verifier; a catalog of verifiers serves the right key only, with the
// secret given; nothing the program says quotes a key.
TEST(feed_server_start, ServesACatalogOfKeyVerifiers)
{
    const std::string dir = MakeScratchDir();
    const std::string secret = dir + "/key-secret";
    ASSERT_TRUE(WriteTextFile(secret, "a secret of more than sixteen bytes\n"));
    ASSERT_TRUE(WriteTextFile(dir + "/key", "hashed-key\n"));
    const std::string hash = ServerProgram() + " --hash-key --key-secret " + secret + " <" + dir + "/key";
    std::string verifier(200, '\0');
    FILE* pipe = popen(hash.c_str(), "r");
    ASSERT_TRUE(pipe != nullptr);
    verifier.resize(fread(&verifier[0], 1, verifier.size(), pipe));
    EXPECT_EQ(0, pclose(pipe));
    ASSERT_EQ(0u, verifier.find("hmac-sha256:")) << verifier;
    verifier.pop_back();  // the line end
    // A key typed on the command line is refused and not repeated.
    std::string out;
    std::string err;
    EXPECT_EQ(2, RunServer({"--hash-key", "--key-secret", secret, "typed-key-1"}, &out, &err));
    EXPECT_EQ(std::string::npos, err.find("typed-key-1")) << err;

    ScratchCatalog scratch = MakeCatalog("shop | " + verifier + " | Shop\nplain | plain-key1 | Plain\n",
                                         {{"shop", "new | Chair | 1110 | 1 | 840\n"}, {"plain", ""}});
    EXPECT_EQ(0, RunServer({"--catalog", scratch.dir, "--key-secret", secret, "--check"}, &out, &err)) << err;
    EXPECT_NE(std::string::npos, out.find("feed-server: 1 of 2 accounts still hold a plain key")) << out;
    EXPECT_EQ(1, RunServer({"--catalog", scratch.dir, "--key-secret", secret, "--require-hashed-keys", "--check"},
                           &out, &err));
    EXPECT_EQ(std::string::npos, err.find("plain-key1")) << err;
    EXPECT_EQ(1, RunServer({"--catalog", scratch.dir, "--key-secret", dir + "/key", "--check"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("/key must hold 16 to 4096 bytes")) << err;

    const char* address = "127.0.0.53";
    START_SERVER(server, address, {"--key-secret", secret}, scratch.dir);
    EXPECT_EQ("Shop\n:2^Chair^1110^1^840^^^^^^#\n", Exchange(address, "VNP,shop^hashed-key\r\n"));
    EXPECT_EQ(kNoDataReply, Exchange(address, "VNP,shop^hashed-kez\r\n"));
    EXPECT_EQ(kNoDataReply, Exchange(address, "VNP,shop^" + verifier + "\r\n"));
    RemoveTree(scratch.dir);
    RemoveTree(dir);
}

// A guesser spread over many addresses, each within its free failures, is held back by the account's
// budget; other accounts are not, and the right key gets through once the hold is over.
TEST(feed_server_sockets, HoldsBackAnAccountGuessedFromManyAddresses)
{
    const char* address = "127.0.0.54";
    START_SERVER(server, address);
    for (int i = 0; i <= 20; ++i) {
        const std::string source = "127.0.0." + std::to_string(61 + i);
        EXPECT_EQ(kNoDataReply, Exchange(address, "VNP,demo^guess" + std::to_string(i) + "\r\n", nullptr,
                                         source.c_str()));
    }
    // Held back: even the right key, from an address that never failed, tells nothing now.
    EXPECT_EQ(kNoDataReply, Exchange(address, "VNP,demo^demo\r\n", nullptr, "127.0.0.90"));
    HttpResponse page;
    ASSERT_TRUE(SplitHttpResponse(Exchange(address, "GET /p/linen-sofa^demo^demo HTTP/1.0\r\n\r\n", nullptr,
                                           "127.0.0.91"), &page));
    EXPECT_EQ("HTTP/1.0 429 Too Many Requests", page.statusLine);
    EXPECT_EQ("1", HeaderValue(page, "Retry-After"));
    EXPECT_EQ(SampleFeed("kestrel-cycles"), Exchange(address, "VNP,kestrel-cycles^K3strel-22\r\n", nullptr, "127.0.0.90"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(SampleFeed("demo"), Exchange(address, "VNP,demo^demo\r\n", nullptr, "127.0.0.92"));
    ASSERT_TRUE(WaitForOutput(&server.process, " feed demo ok ", 1, 5000));
    const std::string out = OutputOf(&server.process);
    EXPECT_EQ(1u, CountOf(out, "feed-server: account demo: more than 20 failed key checks within 10 minutes")) << out;
    EXPECT_EQ(2u, CountOf(out, " demo throttled ")) << out;
}

// Slow readers: one address takes at most --max-replies-per-address long replies at once (one more is
// refused as busy while other addresses are served), and a reply that averages less than
// --min-send-rate after its first seconds is cut with a reset, well before the idle limit.
TEST(feed_server_sockets, LimitsLongRepliesPerAddressAndTheirSlowestRate)
{
    const char* address = "127.0.0.55";
    std::string feed;
    ScratchCatalog big = BigCatalog(&feed);
    START_SERVER(server, address, {"--max-replies-per-address", "2", "--min-send-rate", "100000"}, big.dir);
    const Clock::time_point start = Clock::now();
    int held[2];
    char first[16];
    for (int& fd : held) {
        fd = ConnectTo(address, "127.0.0.93", 16 * 1024);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(SendAll(fd, "VNP,big^big-key-1\r\n"));
        ASSERT_EQ((ssize_t)sizeof first, recv(fd, first, sizeof first, MSG_WAITALL));
    }
    EXPECT_EQ(kNoDataReply, Exchange(address, "VNP,big^big-key-1\r\n", nullptr, "127.0.0.93"));
    EXPECT_TRUE(Exchange(address, "VNP,big^big-key-1\r\n", nullptr, "127.0.0.94") == feed);
    ASSERT_TRUE(WaitForOutput(&server.process, " feed big cut ", 2, 12000)) << OutputOf(&server.process);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(12)) << "cut by the idle limit, not the rate";
    for (int fd : held) {
        ReplyEnd end = kEndTimeout;
        EXPECT_LT(ReceiveAll(fd, &end).size(), feed.size());
        EXPECT_EQ(kEndReset, end);
        CloseSocket(fd);
    }
    EXPECT_EQ(1u, CountOf(OutputOf(&server.process), " feed big busy "));
    EXPECT_TRUE(Exchange(address, "VNP,big^big-key-1\r\n", nullptr, "127.0.0.93") == feed);
    RemoveTree(big.dir);
}

} // namespace
