// The real feed-server program through real sockets on loopback, on the feed port: feed bytes, refusals,
// pages, path probes, oversized and slow requests, the connection cap, 200 clients at once, the log,
// signals and start-up failures. Each test has its own address in 127.0.0.40-127.0.0.60.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/facts.h"
#include "feed_catalog.h"
#include "feed_request.h"
#include "server_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

// The sample catalog's feeds as the server must send them, read in-process from the same files.
struct SampleFeeds {
    Catalog catalog;
    CatalogNames names;
};

const SampleFeeds& Sample()
{
    static SampleFeeds* sample = [] {
        SampleFeeds* s = new SampleFeeds;
        std::vector<CatalogError> errors;
        LoadCategoryNames(CategoriesFile(), &s->names, &errors);
        LoadCurrencyCodes("/usr/share/iso-codes/json/iso_4217.json", &s->names, &errors);
        LoadCatalog(SampleCatalogDir(), s->names, &s->catalog, &errors);
        return s;
    }();
    return *sample;
}

const std::string& FeedOf(const char* id)
{
    const CatalogAccount* account = FindAccount(Sample().catalog, id);
    static const std::string none;
    return account != nullptr ? account->feed : none;
}

std::vector<std::string> SampleArgs(const char* address, const std::vector<std::string>& extra = {})
{
    std::vector<std::string> args = {"--catalog", SampleCatalogDir(), "--categories", CategoriesFile(),
                                     "--address", address};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

struct RunningServer {
    ServerProcess process;
    bool started = false;
    RunningServer(const char* address, const std::vector<std::string>& extra = {})
    {
        started = StartServer(SampleArgs(address, extra), &process);
    }
    ~RunningServer()
    {
        if (process.pid > 0)
            StopServer(&process, SIGKILL);
    }
};

#define START_SERVER(name, ...)                                                               \
    RunningServer name(__VA_ARGS__);                                                          \
    ASSERT_TRUE(name.started) << "server did not start:\n" << name.process.out << name.process.err

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
    ASSERT_FALSE(FeedOf("demo").empty());

    ReplyEnd end = kEndTimeout;
    const std::string demo = Exchange(address, "VNP,demo^demo\r\n", &end);
    EXPECT_EQ(kEndClosed, end);
    EXPECT_EQ(FeedOf("demo"), demo);
    const ViewerFeed read = ReadFeedLikeViewer(demo);
    EXPECT_EQ("Harbor Street Home Goods", read.caption);
    EXPECT_EQ(FindAccount(Sample().catalog, "demo")->products.size(), read.products.size());
    EXPECT_EQ(0, read.skippedLines);

    EXPECT_EQ(FeedOf("kestrel-cycles"), Exchange(address, "VNP,kestrel-cycles^K3strel-22\r\n", &end));
    EXPECT_EQ(kEndClosed, end);

    // A request that trickles in, in pieces, is the same request.
    const int fd = ConnectTo(address);
    ASSERT_GE(fd, 0);
    for (const char* piece : {"V", "NP,", "demo^de", "mo\r", "\n"}) {
        ASSERT_TRUE(SendAll(fd, piece));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(FeedOf("demo"), ReceiveAll(fd, &end));
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
    EXPECT_NE(std::string::npos, page.body.find("<a href=\"http://harborstreet.example/furniture/oak-dining-chair\">"));
    EXPECT_NE(std::string::npos, page.body.find("<td>new</td>"));

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

    EXPECT_EQ(FeedOf("demo"), Exchange(address, "VNP,demo^demo\r\n"));
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
    EXPECT_EQ(FeedOf("demo"), Exchange(address, "VNP,demo^demo\r\n"));
}

TEST(feed_server_sockets, HoldsNoMoreConnectionsThanItsCap)
{
    const char* address = "127.0.0.46";
    START_SERVER(server, address, {"--max-connections", "3", "--request-timeout-ms", "20000"});
    int idle[3];
    for (int& fd : idle) {
        fd = ConnectTo(address);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(SendAll(fd, "VNP,"));
    }
    // The server takes connections in order, so the fourth finds all three places taken.
    ReplyEnd end = kEndTimeout;
    EXPECT_EQ("", Exchange(address, "VNP,demo^demo\r\n", &end));
    EXPECT_NE(kEndTimeout, end);
    EXPECT_TRUE(WaitForOutput(&server.process, " other - busy 0", 1, 5000));

    CloseSocket(idle[0]);
    EXPECT_TRUE(WaitForOutput(&server.process, " feed - closed 0", 1, 5000)) << OutputOf(&server.process);
    EXPECT_EQ(FeedOf("demo"), Exchange(address, "VNP,demo^demo\r\n"));
    // The two still waiting get their feeds when they finish their lines.
    for (int i = 1; i < 3; ++i) {
        ASSERT_TRUE(SendAll(idle[i], "demo^demo\r\n"));
        EXPECT_EQ(FeedOf("demo"), ReceiveAll(idle[i], &end));
        CloseSocket(idle[i]);
    }
}

TEST(feed_server_sockets, Serves200ClientsAtOnceEachTheWholeFeed)
{
    const char* address = "127.0.0.47";
    const int kClients = 200;
    // Exactly as many places as clients: one too few and some client would be turned away.
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
            if (SendAll(fd, "VNP,demo^demo\r\n") && ReceiveAll(fd, &end) == FeedOf("demo") && end == kEndClosed)
                ++whole;
            CloseSocket(fd);
        });
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(0, failedConnects.load());
    EXPECT_EQ(kClients, whole.load());
    const std::string okLine = " feed demo ok " + std::to_string(FeedOf("demo").size()) + "\n";
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

TEST(feed_server_sockets, StopsCleanlyOnSignals)
{
    const char* address = "127.0.0.49";
    for (int signalNumber : {SIGTERM, SIGINT}) {
        ServerProcess process;
        ASSERT_TRUE(StartServer(SampleArgs(address), &process)) << process.err;
        const int idle = ConnectTo(address);
        ASSERT_GE(idle, 0);
        ASSERT_TRUE(SendAll(idle, "VNP,dem"));
        EXPECT_EQ(FeedOf("demo"), Exchange(address, "VNP,demo^demo\r\n"));
        EXPECT_EQ(0, StopServer(&process, signalNumber)) << process.out << process.err;
        EXPECT_NE(std::string::npos, process.out.find("feed-server: stopping on signal " + std::to_string(signalNumber)));
        EXPECT_NE(std::string::npos, process.out.find("feed-server: stopped\n"));
        ReplyEnd end = kEndTimeout;
        EXPECT_EQ("", ReceiveAll(idle, &end));
        EXPECT_NE(kEndTimeout, end);
        CloseSocket(idle);
    }
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
    unsigned seed = 1360;
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
    EXPECT_EQ(FeedOf("demo"), Exchange(address, "VNP,demo^demo\r\n"));
    EXPECT_EQ(0, StopServer(&server.process, SIGTERM)) << server.process.err;
}

TEST(feed_server_start, RefusesABadCatalogNamingFileAndLine)
{
    ScratchCatalog scratch = MakeCatalog("shop | key | Shop\n",
                                         {{"shop", "new | Fine | 1110 | 1 | 840\nnew | Up^Down | 1110 | 1 | 840\n"
                                                   "new | Fine too | 1110 | 1 | 840 | | x\nnew | Chair | 1110 | 1 | 840 | | x\n"}});
    std::string out;
    std::string err;
    EXPECT_EQ(1, RunServer({"--catalog", scratch.dir, "--categories", CategoriesFile(), "--address", "127.0.0.51"},
                           &out, &err));
    EXPECT_NE(std::string::npos,
              err.find(scratch.dir + "/products/shop.txt:2: name holds \"^\", which the feed uses between fields\n"))
        << err;
    EXPECT_NE(std::string::npos, err.find(scratch.dir + "/products/shop.txt:4: server path \"x\" is already used on line 3\n"))
        << err;
    EXPECT_NE(std::string::npos, err.find("feed-server: the catalog was not loaded"));
    EXPECT_EQ(std::string::npos, out.find("listening"));
    EXPECT_EQ(-1, ConnectTo("127.0.0.51"));

    // A name list given on the command line must be there.
    EXPECT_EQ(1, RunServer({"--catalog", SampleCatalogDir(), "--categories", scratch.dir + "/none.txt", "--check"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find(scratch.dir + "/none.txt: cannot be opened: ")) << err;
    RemoveTree(scratch.dir);

    EXPECT_EQ(0, RunServer({"--catalog", SampleCatalogDir(), "--check"}, &out, &err)) << err;
    EXPECT_NE(std::string::npos, out.find(": 2 accounts, " + std::to_string(Sample().catalog.productCount) +
                                          " products; categories named"))
        << out;
}

TEST(feed_server_start, RefusesBadOptionsAndATakenAddress)
{
    std::string out;
    std::string err;
    EXPECT_EQ(2, RunServer({}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("--catalog DIR is required"));
    EXPECT_EQ(2, RunServer({"--catalog", SampleCatalogDir(), "--port", "70000"}, &out, &err));
    EXPECT_EQ(2, RunServer({"--catalog", SampleCatalogDir(), "--max-connections", "0"}, &out, &err));
    EXPECT_EQ(2, RunServer({"--catalog", SampleCatalogDir(), "--address", "localhost"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("localhost is not a dotted IPv4 address"));

    const char* address = "127.0.0.52";
    START_SERVER(first, address);
    EXPECT_EQ(1, RunServer(SampleArgs(address), &out, &err));
    EXPECT_NE(std::string::npos, err.find("cannot listen on 127.0.0.52:" + std::to_string(FEED_PORT))) << err;
    EXPECT_EQ(FeedOf("demo"), Exchange(address, "VNP,demo^demo\r\n"));
}

} // namespace
