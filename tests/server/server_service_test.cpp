// The real feed-server program as a service runs it, through real sockets on 127.0.0.130-127.0.0.137:
// the catalog reloaded on SIGHUP beside replies under way, the drain on SIGTERM and SIGINT (the listen
// queue taken first, the health check saying so, what is left cut at the end or on a second signal),
// and the PROXY header of a trusted balancer naming the client that is logged and throttled.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <string>
#include <vector>

#include "feed_guard.h"
#include "feed_request.h"
#include "server_test_support.h"

namespace {

struct RunningServer {
    ServerProcess process;
    bool started = false;
    RunningServer(const std::string& catalog, const char* address, const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {"--catalog", catalog, "--address", address};
        args.insert(args.end(), extra.begin(), extra.end());
        started = StartServer(args, &process);
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

// A reader with a small window that takes the first bytes of a reply and leaves the rest under way.
int StartSlowReply(const char* address, const std::string& request, std::string* got)
{
    const int fd = ConnectTo(address, nullptr, 4096);
    char chunk[1024];
    if (fd < 0 || !SendAll(fd, request) || recv(fd, chunk, sizeof chunk, 0) <= 0)
        return -1;
    got->assign(chunk, sizeof chunk);
    return fd;
}

std::string StatusLine(const std::string& reply)
{
    return reply.substr(0, reply.find("\r\n"));
}

TEST(feed_server_service, ReloadsTheCatalogOnSighupBesideRepliesUnderWay)
{
    const char* address = "127.0.0.130";
    std::string bigFeed;
    ScratchCatalog catalog = BigCatalog(&bigFeed);
    WriteTextFile(catalog.dir + "/accounts.txt", "big | big-key-1 | Big Shop\nshop | shop-key-1 | Old Caption\n");
    WriteTextFile(catalog.dir + "/products/shop.txt", "new | Chair | 1110 | 5 | 840 | | chair\n");
    START_SERVER(server, catalog.dir, address);
    const std::string pageRequest = "GET /chair^shop^shop-key-1 HTTP/1.0\r\n\r\n";
    ASSERT_NE(std::string::npos, Exchange(address, pageRequest).find("<h1>Chair</h1>"));
    std::string got;
    const int slow = StartSlowReply(address, "VNP,big^big-key-1\r\n", &got);
    ASSERT_GE(slow, 0);

    // Another caption, one more product, and the big account gone.
    WriteTextFile(catalog.dir + "/accounts.txt", "shop | shop-key-1 | New Caption\n");
    WriteTextFile(catalog.dir + "/products/shop.txt",
                  "sale | Table | 1110 | 7 | 978\nnew | Oak Chair | 1110 | 5 | 840 | | chair\n");
    kill(server.process.pid, SIGHUP);
    ASSERT_TRUE(WaitForOutput(&server.process, " reloaded: 1 accounts, 2 products", 1, 10000)) << OutputOf(&server.process);
    ViewerFeed feed = ReadFeedLikeViewer(Exchange(address, "VNP,shop^shop-key-1\r\n"));
    EXPECT_EQ("New Caption", feed.caption);
    ASSERT_EQ(2u, feed.products.size());
    EXPECT_EQ("Table", feed.products[0].name);
    EXPECT_TRUE(ReadFeedLikeViewer(Exchange(address, "VNP,big^big-key-1\r\n")).noData);
    // Pages too: none of the catalog before is served any more.
    EXPECT_NE(std::string::npos, Exchange(address, pageRequest).find("<h1>Oak Chair</h1>"));

    // The reply answered before the reload goes on from the catalog it was answered from, whole.
    ReplyEnd end = kEndTimeout;
    got += ReceiveAll(slow, &end);
    CloseSocket(slow);
    EXPECT_EQ(kEndClosed, end);
    EXPECT_TRUE(got == bigFeed) << got.size() << " of " << bigFeed.size() << " bytes";

    // A catalog that breaks a rule is refused as --check reports it, and the one in force stays.
    WriteTextFile(catalog.dir + "/products/shop.txt", "sale | Table | 1110 | 7 | 978\nnew | Ch^air | 1110 | 5 | 840 | | chair\n");
    kill(server.process.pid, SIGHUP);
    ASSERT_TRUE(WaitForOutput(&server.process, " not reloaded; the one in force stays", 1, 10000)) << OutputOf(&server.process);
    EXPECT_NE(std::string::npos, OutputOf(&server.process).find("feed-server: " + catalog.dir + "/products/shop.txt:2: name holds \"^\""))
        << OutputOf(&server.process);
    feed = ReadFeedLikeViewer(Exchange(address, "VNP,shop^shop-key-1\r\n"));
    EXPECT_EQ("New Caption", feed.caption);
    EXPECT_EQ(2u, feed.products.size());
    RemoveTree(catalog.dir);
}

// A stop lets the replies under way finish, answers the health check with 503 on connections it
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
        bool readerStalls;  // takes nothing more once the stop has begun
        bool secondSignal;
    } cases[] = {
        {SIGTERM, "20000", false, false},
        {SIGINT, "20000", false, false},
        {SIGTERM, "300", true, false},
        {SIGTERM, "60000", true, true},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.signalNumber == SIGTERM ? "SIGTERM" : "SIGINT") + ", drain " + c.drainMs +
                                 (c.secondSignal ? " ms, then a second signal" : " ms");
        START_SERVER(server, catalog.dir, address, {"--drain-ms", c.drainMs, "--request-timeout-ms", "20000"});
        std::string got;
        const int reader = StartSlowReply(address, "VNP,big^big-key-1\r\n", &got);
        ASSERT_GE(reader, 0) << name;
        const int checker = ConnectTo(address);
        ASSERT_GE(checker, 0) << name;
        kill(server.process.pid, c.signalNumber);
        ASSERT_TRUE(WaitForOutput(&server.process, "stopping on signal " + std::to_string(c.signalNumber), 1, 5000));
        EXPECT_EQ(-1, ConnectTo(address)) << name;
        ReplyEnd end = kEndTimeout;
        ASSERT_TRUE(SendAll(checker, "GET /health HTTP/1.0\r\n\r\n"));
        EXPECT_EQ("HTTP/1.0 503 Service Unavailable", StatusLine(ReceiveAll(checker, &end))) << name;
        CloseSocket(checker);
        if (c.secondSignal) {
            kill(server.process.pid, c.signalNumber);
            EXPECT_TRUE(WaitForOutput(&server.process, "again: cutting", 1, 5000)) << name;
        }
        if (c.readerStalls)
            EXPECT_EQ(0, WaitForExit(&server.process, 5000)) << name << server.process.out;
        got += ReceiveAll(reader, &end);
        CloseSocket(reader);
        if (!c.readerStalls)
            EXPECT_EQ(0, WaitForExit(&server.process, 10000)) << name << server.process.out;
        const std::string& out = server.process.out;
        EXPECT_NE(std::string::npos, out.find("feed-server: stopped\n")) << name;
        if (c.readerStalls) {
            EXPECT_EQ(kEndReset, end) << name;
            EXPECT_LT(got.size(), bigFeed.size()) << name;
            EXPECT_NE(std::string::npos, out.find(" feed big cut ")) << name << out;
        } else {
            EXPECT_EQ(kEndClosed, end) << name;
            EXPECT_TRUE(got == bigFeed) << name << ": " << got.size() << " of " << bigFeed.size() << " bytes";
            EXPECT_EQ(std::string::npos, out.find(" feed big cut ")) << name << out;
        }
    }
    RemoveTree(catalog.dir);
}

// Clients the system has already connected wait in the listen queue while the server is at its cap;
// a stop takes and serves them before it closes the queue, which would reset them.
TEST(feed_server_service, ServesTheListenQueueBeforeItStops)
{
    const char* address = "127.0.0.132";
    START_SERVER(server, SampleCatalogDir(), address, {"--max-connections", "1", "--drain-ms", "3000"});
    const int holder = ConnectTo(address);
    ASSERT_GE(holder, 0);
    ASSERT_TRUE(SendAll(holder, "VNP,dem"));
    ASSERT_TRUE(WaitForOutput(&server.process, "listening on", 1, 1000));
    std::vector<int> queued;
    for (int i = 0; i < 5; ++i) {
        queued.push_back(ConnectTo(address));
        ASSERT_GE(queued.back(), 0);
        ASSERT_TRUE(SendAll(queued.back(), "VNP,demo^demo\r\n"));
    }
    kill(server.process.pid, SIGTERM);
    for (int fd : queued) {
        ReplyEnd end = kEndTimeout;
        EXPECT_EQ(SampleFeed("demo"), ReceiveAll(fd, &end));
        EXPECT_EQ(kEndClosed, end);
        CloseSocket(fd);
    }
    // The holder's request never came whole: it goes when the drain ends.
    EXPECT_EQ(0, WaitForExit(&server.process, 10000)) << server.process.out;
    CloseSocket(holder);
    EXPECT_EQ(5u, CountOf(server.process.out, " feed demo ok "));
}

// The version 2 header HAProxy sends: signature, PROXY or LOCAL, family, length, addresses.
std::string ProxyV2(bool local, bool ipv6, const std::string& addresses)
{
    std::string header("\r\n\r\n\0\r\nQUIT\n", 12);
    header += (char)(local ? 0x20 : 0x21);
    header += (char)(ipv6 ? 0x21 : 0x11);
    header += (char)0;
    header += (char)addresses.size();
    return header + addresses;
}

std::string Ipv6Client()
{
    // 2001:db8::1 port 443 to ::1 port 1360.
    std::string block(36, '\0');
    block[0] = 0x20, block[1] = 0x01, block[2] = 0x0D, block[3] = (char)0xB8, block[15] = 1, block[31] = 1;
    block[32] = 0x01, block[33] = (char)0xBB, block[34] = 0x05, block[35] = 0x50;
    return block;
}

std::string ProxyV1(const std::string& client)
{
    return "PROXY TCP4 " + client + " 127.0.0.133 40000 1360\r\n";
}

// Whether a line of the log names this peer (the client's address, and its port when given) and then
// holds the given text.
bool Logged(const std::string& out, const std::string& peer, const std::string& ending)
{
    for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = out.substr(start, end - start);
        const size_t at = line.find(" " + peer);
        if (at != std::string::npos && line.find(ending, at + peer.size()) != std::string::npos)
            return true;
    }
    return false;
}

TEST(feed_server_service, TakesTheClientFromATrustedBalancersProxyHeader)
{
    const char* address = "127.0.0.133";
    const char* balancer = "127.0.0.134";
    const char* stranger = "127.0.0.135";
    START_SERVER(server, SampleCatalogDir(), address, {"--trusted-proxy", balancer});
    struct Case {
        const char* source;
        std::string bytes;
        std::string reply;   // what the reply starts with; "" for none at all
        const char* peer;    // as the log names it
        const char* logged;  // what its log line holds after the peer
    } cases[] = {
        {balancer, ProxyV1("198.51.100.7") + "VNP,demo^demo\r\n", SampleFeed("demo"), "198.51.100.7:40000",
         " feed demo ok 5960"},
        {balancer, ProxyV2(false, true, Ipv6Client()) + "GET /p/oak-dining-chair^demo^demo HTTP/1.0\r\n\r\n",
         "HTTP/1.0 200 OK", "[2001:db8::1]:443", " page demo ok"},
        // A health check: the balancer speaks for itself.
        {balancer, ProxyV2(true, false, "") + "GET /health HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", "127.0.0.134:",
         " health - ok"},
        {balancer, "VNP,demo^demo\r\n", "", "127.0.0.134:", " other - bad-proxy 0"},
        {stranger, ProxyV1("198.51.100.8") + "VNP,demo^demo\r\n", "", "127.0.0.135:", " other - unknown 0"},
    };
    for (const Case& c : cases) {
        const std::string reply = Exchange(address, c.bytes, nullptr, c.source);
        EXPECT_EQ(c.reply, reply.substr(0, std::max(c.reply.size(), (size_t)1))) << c.peer << c.logged;
        EXPECT_TRUE(WaitForOutput(&server.process, c.logged, 1, 5000));
        EXPECT_TRUE(Logged(OutputOf(&server.process), c.peer, c.logged)) << c.peer << c.logged << OutputOf(&server.process);
    }

    // A header that comes in pieces, as slowly as it likes within the request time.
    const int fd = ConnectTo(address, balancer);
    ASSERT_GE(fd, 0);
    const std::string bytes = ProxyV1("198.51.100.9") + "VNP,demo^demo\r\n";
    for (size_t at = 0; at < bytes.size(); at += 7)
        ASSERT_TRUE(SendAll(fd, bytes.substr(at, 7)));
    ReplyEnd end = kEndTimeout;
    EXPECT_EQ(SampleFeed("demo"), ReceiveAll(fd, &end));
    CloseSocket(fd);

    // Key checks are throttled by the client the header names: a guesser behind the balancer is
    // locked out, another client behind the same balancer is not.
    for (int i = 0; i <= kFreeKeyFailures; ++i)
        Exchange(address, ProxyV1("198.51.100.66") + "VNP,demo^guess" + std::to_string(i) + "\r\n", nullptr, balancer);
    EXPECT_TRUE(WaitForOutput(&server.process, "feed-server: 198.51.100.66 locked out of key checks", 1, 5000))
        << OutputOf(&server.process);
    EXPECT_EQ(kNoDataReply, Exchange(address, ProxyV1("198.51.100.66") + "VNP,demo^demo\r\n", nullptr, balancer));
    EXPECT_EQ(SampleFeed("demo"), Exchange(address, ProxyV1("198.51.100.67") + "VNP,demo^demo\r\n", nullptr, balancer));
}

} // namespace
