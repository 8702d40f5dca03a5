// The real feed-server program as a service runs it, through real sockets on 127.0.0.130-127.0.0.135:
// the catalog reloaded on SIGHUP beside a reply under way, the drain on SIGTERM and SIGINT (the listen
// queue served first, the health check saying so, what is left cut at the end or on a second signal),
// and PROXY headers taken from a trusted balancer only.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "server_test_support.h"

namespace {

// A reader with a small window that takes the first bytes of the big feed and leaves the rest under way.
int StartSlowReply(const char* address, std::string* got)
{
    const int fd = ConnectTo(address, nullptr, 4096);
    char chunk[1024];
    const ssize_t n = fd < 0 || !SendAll(fd, "VNP,big^big-key-1\r\n") ? -1 : recv(fd, chunk, sizeof chunk, 0);
    got->assign(chunk, n > 0 ? (size_t)n : 0);
    return n > 0 ? fd : -1;
}

TEST(feed_server_service, ReloadsTheCatalogOnSighupBesideAReplyUnderWay)
{
    const char* address = "127.0.0.130";
    std::string bigFeed;
    ScratchCatalog catalog = BigCatalog(&bigFeed);
    WriteTextFile(catalog.dir + "/accounts.txt", "big | big-key-1 | Big Shop\nshop | shop-key-1 | Old Caption\n");
    WriteTextFile(catalog.dir + "/products/shop.txt", "new | Chair | 1110 | 5 | 840 | | chair\n");
    START_SERVER(server, address, {}, catalog.dir);
    const std::string page = "GET /chair^shop^shop-key-1 HTTP/1.0\r\n\r\n";
    ASSERT_NE(std::string::npos, Exchange(address, page).find("<h1>Chair</h1>"));
    std::string got;
    const int slow = StartSlowReply(address, &got);
    ASSERT_GE(slow, 0);

    // Another caption, another name, one more product, and the big account gone.
    WriteTextFile(catalog.dir + "/accounts.txt", "shop | shop-key-1 | New Caption\n");
    WriteTextFile(catalog.dir + "/products/shop.txt", "sale | Table | 1110 | 7 | 978\nnew | Oak Chair | 1110 | 5 | 840 | | chair\n");
    kill(server.process.pid, SIGHUP);
    ASSERT_TRUE(WaitForOutput(&server.process, " reloaded: 1 accounts, 2 products", 1, 10000)) << OutputOf(&server.process);
    ViewerFeed feed = ReadFeedLikeViewer(Exchange(address, "VNP,shop^shop-key-1\r\n"));
    EXPECT_EQ("New Caption", feed.caption);
    EXPECT_EQ(2u, feed.products.size());
    EXPECT_TRUE(ReadFeedLikeViewer(Exchange(address, "VNP,big^big-key-1\r\n")).noData);
    EXPECT_NE(std::string::npos, Exchange(address, page).find("<h1>Oak Chair</h1>"));
    // The reply answered before goes on from the catalog it was answered from, whole.
    ReplyEnd end = kEndTimeout;
    got += ReceiveAll(slow, &end);
    CloseSocket(slow);
    EXPECT_EQ(kEndClosed, end);
    EXPECT_TRUE(got == bigFeed) << got.size() << " of " << bigFeed.size() << " bytes";

    // A catalog that breaks a rule is refused as --check reports it, and the one in force stays.
    WriteTextFile(catalog.dir + "/products/shop.txt", "sale | Table | 1110 | 7 | 978\nnew | Ch^air | 1110 | 5 | 840\n");
    kill(server.process.pid, SIGHUP);
    ASSERT_TRUE(WaitForOutput(&server.process, " not reloaded; the one in force stays", 1, 10000));
    EXPECT_EQ(1u, CountOf(OutputOf(&server.process), "feed-server: " + catalog.dir + "/products/shop.txt:2: name holds \"^\""));
    EXPECT_EQ(2u, ReadFeedLikeViewer(Exchange(address, "VNP,shop^shop-key-1\r\n")).products.size());
    RemoveTree(catalog.dir);
}

// A stop lets the replies under way finish, answers the health check with 503 on a connection it
// already has, refuses new ones at once, and exits 0; a reply that outlasts the drain, or meets a
// second signal, is cut with a reset and logged so.
TEST(feed_server_service, DrainsOnSigtermAndSigint)
{
    const char* address = "127.0.0.131";
    std::string bigFeed;
    ScratchCatalog catalog = BigCatalog(&bigFeed);
    struct Case {
        int signalNumber;
        const char* drainMs;
        bool cut;  // the reader takes nothing more once the stop has begun, and its reply is cut
        bool secondSignal;
    } cases[] = {{SIGTERM, "20000", false, false}, {SIGINT, "20000", false, false},
                 {SIGTERM, "300", true, false},    {SIGINT, "60000", true, true}};
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.signalNumber) + ", drain " + c.drainMs;
        START_SERVER(server, address, {"--drain-ms", c.drainMs}, catalog.dir);
        std::string got;
        const int reader = StartSlowReply(address, &got);
        const int checker = ConnectTo(address);
        ASSERT_TRUE(reader >= 0 && checker >= 0) << name;
        kill(server.process.pid, c.signalNumber);
        ASSERT_TRUE(WaitForOutput(&server.process, "stopping on signal " + std::to_string(c.signalNumber), 1, 5000));
        EXPECT_EQ(-1, ConnectTo(address)) << name;
        ReplyEnd end = kEndTimeout;
        ASSERT_TRUE(SendAll(checker, "GET /health HTTP/1.0\r\n\r\n"));
        EXPECT_EQ(0u, ReceiveAll(checker, &end).find("HTTP/1.0 503 Service Unavailable\r\n")) << name;
        CloseSocket(checker);
        if (c.secondSignal)
            kill(server.process.pid, c.signalNumber);
        if (c.cut)
            EXPECT_EQ(0, WaitForExit(&server.process, 5000)) << name << server.process.out;
        got += ReceiveAll(reader, &end);
        CloseSocket(reader);
        if (!c.cut)
            EXPECT_EQ(0, WaitForExit(&server.process, 10000)) << name << server.process.out;
        EXPECT_EQ(c.cut ? kEndReset : kEndClosed, end) << name;
        EXPECT_EQ(!c.cut, got == bigFeed) << name << ": " << got.size() << " of " << bigFeed.size() << " bytes";
        EXPECT_EQ(c.cut ? 1u : 0u, CountOf(server.process.out, " feed big cut ")) << name;
        EXPECT_EQ(c.secondSignal ? 1u : 0u, CountOf(server.process.out, "again: cutting")) << name;
        EXPECT_EQ(1u, CountOf(server.process.out, "feed-server: stopped\n")) << name;
    }
    RemoveTree(catalog.dir);
}

// Clients the system has already connected wait in the listen queue while the server is at its cap;
// a stop takes and serves them before it closes the queue, which would reset them.
TEST(feed_server_service, ServesTheListenQueueBeforeItStops)
{
    const char* address = "127.0.0.132";
    START_SERVER(server, address, {"--max-connections", "1", "--drain-ms", "2000"});
    const int holder = ConnectTo(address);
    ASSERT_TRUE(holder >= 0 && SendAll(holder, "VNP,dem"));
    std::vector<int> queued;
    for (int i = 0; i < 5; ++i) {
        queued.push_back(ConnectTo(address));
        ASSERT_TRUE(queued.back() >= 0 && SendAll(queued.back(), "VNP,demo^demo\r\n"));
    }
    kill(server.process.pid, SIGTERM);
    for (int fd : queued) {
        ReplyEnd end = kEndTimeout;
        EXPECT_EQ(SampleFeed("demo"), ReceiveAll(fd, &end));
        CloseSocket(fd);
    }
    // The holder's request never came whole: it goes when the drain ends.
    EXPECT_EQ(0, WaitForExit(&server.process, 10000)) << server.process.out;
    CloseSocket(holder);
}

std::string ProxyV1(const std::string& client)
{
    return "PROXY TCP4 " + client + " 127.0.0.133 40000 1360\r\n";
}

// A trusted balancer's header names the client the server logs; a connection from it without one is
// closed, and a header from anyone else is no request at all. (Through the real HAProxy, and with
// the throttle, in fleet_test.py.)
TEST(feed_server_service, TakesPeerAddressesFromTrustedBalancersOnly)
{
    const char* address = "127.0.0.133";
    START_SERVER(server, address, {"--trusted-proxy", "127.0.0.134"});
    struct Case {
        const char* source;
        std::string bytes;
        bool served;
        const char* logged;
    } cases[] = {
        {"127.0.0.134", ProxyV1("198.51.100.7") + "VNP,demo^demo\r\n", true, " 198.51.100.7:40000 feed demo ok 5960\n"},
        {"127.0.0.134", "VNP,demo^demo\r\n", false, " other - bad-proxy 0\n"},
        {"127.0.0.135", ProxyV1("198.51.100.8") + "VNP,demo^demo\r\n", false, " other - unknown 0\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.served ? SampleFeed("demo") : "", Exchange(address, c.bytes, nullptr, c.source)) << c.logged;
        EXPECT_TRUE(WaitForOutput(&server.process, c.logged, 1, 5000)) << c.logged << OutputOf(&server.process);
    }
    EXPECT_EQ(std::string::npos, OutputOf(&server.process).find("198.51.100.8"));
}

} // namespace
