// Request classification and replies without sockets: where each kind of request ends (read by read
// too), the feed for the right key only, product pages, their escaping and their referrer policy, every
// refusal, key checks held back during a lockout, and random input.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <random>
#include <string>

#include "feed_catalog.h"
#include "feed_request.h"
#include "server_test_support.h"

namespace {

// The Date header's own example: Tue, 15 Nov 1994 08:12:31 GMT.
const time_t kNow = 784887151;

struct RequestFixture : ::testing::Test {
    Catalog catalog;

    void SetUp() override
    {
        ScratchCatalog scratch = MakeCatalog(
            "demo | demo | Tom & Jerry's <Home> Store\nother | s3cret | Other \"Quoted\" Shop\n",
            {{"demo",
              "sale | <b>\"Oak\" & Ash</b> Chair | 1110 | 1,234.50 | 840 | shop.example/oak?a=1&b=\"2\" | p/oak-chair\n"
              "new | Plain Lamp | 1410 | 12 | 978 | | lamp\n"
              "listed | No Page Rug | 1420 | 5 | 840 | shop.example/rug\n"},
             {"other", "sold-out | Hidden Vase | 1430 | 9 | 826 | other.example/vase | vase\n"}});
        std::vector<CatalogError> errors;
        CatalogRules rules;
        rules.allowShortKeys = true;
        ASSERT_TRUE(LoadCatalog(scratch.dir, &catalog, &errors, rules))
            << (errors.empty() ? "" : FormatCatalogError(errors[0]));
        RemoveTree(scratch.dir);
    }

    Reply Answer(const std::string& request, int lockedSeconds = 0, bool draining = false)
    {
        const RequestState state = CheckRequest(request.data(), request.size());
        EXPECT_NE(kRequestPartial, state) << request;
        AnswerContext context;
        context.lockedSeconds = lockedSeconds;
        context.now = kNow;
        context.draining = draining;
        return AnswerRequest(catalog, request.data(), request.size(), state, context);
    }

    std::string Bytes(const Reply& reply) { return std::string(ReplyData(reply), ReplySize(reply)); }

    HttpResponse Page(const std::string& request, int lockedSeconds = 0)
    {
        HttpResponse response;
        const Reply reply = Answer(request, lockedSeconds);
        EXPECT_TRUE(reply.kind == kKindPage || reply.kind == kKindHealth) << request;
        EXPECT_TRUE(SplitHttpResponse(Bytes(reply), &response)) << request;
        return response;
    }
};

using feed_server_requests = RequestFixture;

TEST(feed_server_request_ends, EachKindEndsWhereItsClientStopsSending)
{
    struct Case {
        std::string bytes;
        RequestState state;
    } cases[] = {
        {"VNP,demo^demo\r\n", kRequestComplete},
        {"VNP,demo^demo", kRequestPartial},
        {"VNP,demo^demo\r", kRequestPartial},
        {"", kRequestPartial},
        {"GET /x^a^b HTTP/1.0\r\n", kRequestPartial},
        {"GET /x^a^b HTTP/1.0\r\nHost: a\r\n", kRequestPartial},
        {"GET /x^a^b HTTP/1.0\r\nHost: a\r\n\r\n", kRequestComplete},
        {"GET /x^a^b HTTP/1.0\r\n\r\n", kRequestComplete},
        {"GET /x^a^b HTTP/1.1\nHost: a\n\n", kRequestComplete},
        {"GET /x^a^b\r\n", kRequestComplete},
        {"HELLO\n", kRequestComplete},
        {std::string(kRequestLineMax - 1, 'V'), kRequestPartial},
        {std::string(kRequestLineMax, 'V'), kRequestTooLong},
        {"VNP," + std::string(kRequestLineMax, 'a') + "\r\n", kRequestTooLong},
        {"GET /x HTTP/1.0\r\n" + std::string(kRequestMax, 'h'), kRequestTooLong},
        {"GET /x HTTP/1.0\r\n" + std::string(kRequestMax - 100, 'h'), kRequestPartial},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.state, CheckRequest(c.bytes.data(), c.bytes.size())) << c.bytes.substr(0, 40);
}

// Read by read, the scan finds the same end as a look at the whole, wherever the reads split the
// bytes, and it never looks again at more than the two bytes before the new ones.
TEST(feed_server_request_ends, ResumesWhereItStoppedWhereverTheReadsSplit)
{
    const std::string requests[] = {
        "VNP,demo^demo\r\n",
        "GET /x^a^b HTTP/1.0\r\nHost: a\r\nAccept: */*\r\n\r\n",
        "GET /x^a^b HTTP/1.1\nHost: a\n\n",
        "GET /x^a^b HTTP/1.0\r\n\r\n",
        "GET /x^a^b HTTP/1.0\n\r\n",
        "GET /x^a^b\r\n",
        "GET /x^a^b HTTP/1.0\r\n" + std::string(kRequestMax, 'h'),
        "GET /x^a^b HTTP/1.0\r\nA: \r\rb\n\r\r\nC: d\r\n\r\n",
        "GET /" + std::string(kRequestLineMax + 10, 'a') + "\n",
        std::string(kRequestLineMax + 10, 'V'),
    };
    for (const std::string& bytes : requests) {
        const RequestState whole = CheckRequest(bytes.data(), bytes.size());
        for (size_t piece : {(size_t)1, (size_t)2, (size_t)3, (size_t)7, (size_t)64}) {
            RequestScan scan;
            RequestState state = kRequestPartial;
            size_t size = 0;
            while (state == kRequestPartial && size < bytes.size()) {
                size = std::min(bytes.size(), size + piece);
                state = ScanRequest(&scan, bytes.data(), size);
                EXPECT_EQ(CheckRequest(bytes.data(), size), state) << bytes.substr(0, 40) << " at " << size;
                if (state == kRequestPartial && scan.lineEnd > 0)
                    EXPECT_GE(scan.searchFrom + 2, size) << bytes.substr(0, 40) << " at " << size;
            }
            EXPECT_EQ(whole, state) << bytes.substr(0, 40) << " in pieces of " << piece;
        }
    }
}

TEST_F(feed_server_requests, GivesTheFeedForTheRightKeyOnly)
{
    Reply reply = Answer("VNP,demo^demo\r\n");
    EXPECT_EQ(kKindFeed, reply.kind);
    EXPECT_STREQ("ok", reply.result);
    EXPECT_EQ("demo", reply.account);
    EXPECT_EQ(FindAccount(catalog, "demo")->feed, Bytes(reply));
    EXPECT_EQ(FindAccount(catalog, "other")->feed, Bytes(Answer("VNP,other^s3cret\r\n")));
    EXPECT_EQ(FindAccount(catalog, "demo")->feed, Bytes(Answer("VNP,demo^demo\n")));

    struct Case {
        const char* request;
        const char* result;
        const char* account;
    } refusals[] = {
        {"VNP,demo^nope\r\n", "wrong-key", "demo"},
        {"VNP,demo^demo \r\n", "wrong-key", "demo"},
        {"VNP,demo^dem\r\n", "wrong-key", "demo"},
        {"VNP,demo^demoo\r\n", "wrong-key", "demo"},
        {"VNP,demo^\r\n", "wrong-key", "demo"},
        {"VNP,other^demo\r\n", "wrong-key", "other"},
        {"VNP,Demo^demo\r\n", "unknown-account", "Demo"},
        {"VNP,nobody^demo\r\n", "unknown-account", "nobody"},
        {"VNP,^\r\n", "unknown-account", ""},
        {"VNP,demo\r\n", "malformed", "demo"},
    };
    for (const auto& c : refusals) {
        reply = Answer(c.request);
        EXPECT_EQ(kKindFeed, reply.kind) << c.request;
        EXPECT_STREQ(c.result, reply.result) << c.request;
        EXPECT_EQ(c.account, reply.account) << c.request;
        EXPECT_EQ(kNoDataReply, Bytes(reply)) << c.request;
        EXPECT_TRUE(ReadFeedLikeViewer(Bytes(reply)).noData) << c.request;
    }

    const std::string huge = "VNP,demo^" + std::string(kRequestLineMax, 'k');
    reply = AnswerRequest(catalog, huge.data(), huge.size(), CheckRequest(huge.data(), huge.size()));
    EXPECT_STREQ("too-long", reply.result);
    EXPECT_EQ(kNoDataReply, Bytes(reply));
}

TEST_F(feed_server_requests, ServesAProductPageWithEveryCatalogTextEscaped)
{
    const HttpResponse page = Page("GET /p/oak-chair^demo^demo HTTP/1.1\r\nHost: 127.0.0.1:1360\r\n\r\n");
    EXPECT_EQ("HTTP/1.0 200 OK", page.statusLine);
    EXPECT_EQ("text/html; charset=utf-8", HeaderValue(page, "Content-Type"));
    EXPECT_EQ(std::to_string(page.body.size()), HeaderValue(page, "Content-Length"));
    EXPECT_EQ("close", HeaderValue(page, "Connection"));
    const std::string& body = page.body;
    EXPECT_NE(std::string::npos, body.find("<h1>&lt;b&gt;&quot;Oak&quot; &amp; Ash&lt;/b&gt; Chair</h1>")) << body;
    EXPECT_NE(std::string::npos, body.find("Home &amp; Garden &gt; Furniture &gt; Chairs")) << body;
    EXPECT_NE(std::string::npos, body.find("1,234.50 USD")) << body;
    EXPECT_NE(std::string::npos, body.find("<td>sale</td>")) << body;
    EXPECT_NE(std::string::npos,
              body.find("<a href=\"http://shop.example/oak?a=1&amp;b=&quot;2&quot;\" rel=\"noreferrer\">"
                        "shop.example/oak?a=1&amp;b=&quot;2&quot;</a>"))
        << body;
    EXPECT_NE(std::string::npos, body.find("Tom &amp; Jerry's &lt;Home&gt; Store")) << body;
    // No catalog text reaches the page unescaped.
    EXPECT_EQ(std::string::npos, body.find("<b>"));
    EXPECT_EQ(std::string::npos, body.find("<Home>"));
    EXPECT_EQ(std::string::npos, body.find("\"Oak\""));
}

// The names come from the tables the viewer's libraries are built from, with nothing to load first.
TEST_F(feed_server_requests, NamesCategoryAndCurrencyAsTheViewerDoes)
{
    const HttpResponse page = Page("GET /lamp^demo^demo HTTP/1.0\r\n\r\n");
    EXPECT_EQ("HTTP/1.0 200 OK", page.statusLine);
    EXPECT_NE(std::string::npos, page.body.find("<td>Home &amp; Garden &gt; Home Decor &gt; Lighting</td>")) << page.body;
    EXPECT_NE(std::string::npos, page.body.find("<td>12 EUR</td>")) << page.body;
    EXPECT_NE(std::string::npos, page.body.find("<td>new</td>")) << page.body;
    EXPECT_NE(std::string::npos, page.body.find("<th>Web address</th><td>none</td>")) << page.body;
}

// The page's address holds the account key: no page may hand it on as a Referer.
TEST_F(feed_server_requests, KeepsThePageAddressOutOfReferers)
{
    const char* requests[] = {
        "GET /p/oak-chair^demo^demo HTTP/1.0\r\n\r\n",   "GET /p/oak-chair^demo^nope HTTP/1.0\r\n\r\n",
        "GET /nothing^demo^demo HTTP/1.0\r\n\r\n",       "GET /p%zz HTTP/1.0\r\n\r\n",
        "POST /p/oak-chair^demo^demo HTTP/1.0\r\n\r\n",
    };
    for (const char* request : requests)
        EXPECT_EQ("no-referrer", HeaderValue(Page(request), "Referrer-Policy")) << request;
    EXPECT_EQ("no-referrer", HeaderValue(Page("GET /p/oak-chair^demo^demo HTTP/1.0\r\n\r\n", 5), "Referrer-Policy"));
    const HttpResponse page = Page("GET /p/oak-chair^demo^demo HTTP/1.0\r\n\r\n");
    EXPECT_NE(std::string::npos, page.body.find("<meta name=\"referrer\" content=\"no-referrer\">"));
    // Every outbound link says so as well, for browsers that keep their own policy.
    size_t links = 0;
    for (size_t at = page.body.find("<a "); at != std::string::npos; at = page.body.find("<a ", at + 1)) {
        ++links;
        const std::string tag = page.body.substr(at, page.body.find('>', at) - at);
        EXPECT_NE(std::string::npos, tag.find(" rel=\"noreferrer\"")) << tag;
    }
    EXPECT_EQ(1u, links);
}

// While the client's address is locked out, no key is checked: the right key gets no more than a
// wrong one, so guesses made then tell nothing. Other refusals are as usual.
TEST_F(feed_server_requests, HoldsBackKeyChecksWhileLockedOut)
{
    Reply reply = Answer("VNP,demo^demo\r\n", 3);
    EXPECT_STREQ("throttled", reply.result);
    EXPECT_EQ(kNoDataReply, Bytes(reply));
    EXPECT_FALSE(reply.keyCheckFailed);
    EXPECT_EQ(Bytes(reply), Bytes(Answer("VNP,demo^wrong\r\n", 3)));
    EXPECT_EQ(Bytes(reply), Bytes(Answer("VNP,nobody^x\r\n", 3)));
    EXPECT_STREQ("malformed", Answer("VNP,demo\r\n", 3).result);

    const HttpResponse page = Page("GET /p/oak-chair^demo^demo HTTP/1.0\r\n\r\n", 3);
    EXPECT_EQ("HTTP/1.0 429 Too Many Requests", page.statusLine);
    EXPECT_EQ("3", HeaderValue(page, "Retry-After"));
    EXPECT_EQ(std::string::npos, page.body.find("Oak"));
    EXPECT_STREQ("throttled", Answer("GET /p/oak-chair^demo^demo HTTP/1.0\r\n\r\n", 3).result);
    EXPECT_EQ("HTTP/1.0 404 Not Found", Page("GET /favicon.ico HTTP/1.0\r\n\r\n", 3).statusLine);
    EXPECT_EQ("HTTP/1.0 405 Method Not Allowed", Page("POST /x HTTP/1.0\r\n\r\n", 3).statusLine);

    // Unlocked, only a check that was made and failed counts as a guess.
    struct Case {
        const char* request;
        bool failed;
    } cases[] = {
        {"VNP,demo^wrong\r\n", true},
        {"VNP,nobody^demo\r\n", true},
        {"VNP,demo^demo\r\n", false},
        {"VNP,demo\r\n", false},
        {"GET /p/oak-chair^demo^wrong HTTP/1.0\r\n\r\n", true},
        {"GET /p/oak-chair^nobody^demo HTTP/1.0\r\n\r\n", true},
        {"GET /no-such^demo^demo HTTP/1.0\r\n\r\n", false},
        {"GET /favicon.ico HTTP/1.0\r\n\r\n", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.failed, Answer(c.request).keyCheckFailed) << c.request;
}

TEST_F(feed_server_requests, DecodesEscapedCaretsAndIgnoresTheQuery)
{
    const HttpResponse plain = Page("GET /vase^other^s3cret HTTP/1.0\r\n\r\n");
    ASSERT_EQ("HTTP/1.0 200 OK", plain.statusLine);
    EXPECT_EQ(plain.body, Page("GET /vase%5Eother%5es3cret HTTP/1.0\r\n\r\n").body);
    EXPECT_EQ(plain.body, Page("GET /%76ase^other^s3cret?from=menu HTTP/1.0\r\n\r\n").body);
    EXPECT_NE(std::string::npos, plain.body.find("<td>sold out</td>"));
    EXPECT_NE(std::string::npos, plain.body.find("9 GBP"));
}

TEST_F(feed_server_requests, RefusesPagesWithoutTheKeyOrTheProduct)
{
    struct Case {
        const char* request;
        const char* status;
        const char* result;
    } cases[] = {
        {"GET /p/oak-chair^demo^wrong HTTP/1.0\r\n\r\n", "HTTP/1.0 403 Forbidden", "wrong-key"},
        {"GET /p/oak-chair^nobody^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 403 Forbidden", "unknown-account"},
        {"GET /vase^demo^wrong HTTP/1.0\r\n\r\n", "HTTP/1.0 403 Forbidden", "wrong-key"},
        {"GET /vase^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found", "not-found"},
        {"GET /no-such^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found", "not-found"},
        {"GET /^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found", "not-found"},
        {"GET /p/oak-chair/^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found", "not-found"},
        {"GET /p/oak-chair^demo^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found", "not-found"},
        {"GET / HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found", "not-found"},
        {"GET /favicon.ico HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.0 404 Not Found", "not-found"},
        {"GET /p/oak-chair%00^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"GET /p/oak-chair%zz^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"GET /p/oak-chair^demo^demo% HTTP/1.0\r\n\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"GET /p/oak-chair^demo^demo HTTP/1.10\r\n\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"GET /p/oak-chair^demo^demo HTTP/1\r\n\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"GET /p/oak-chair^demo^demo HTTP/1.0 extra\r\n\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"GET p/oak-chair^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"GET /p/oak-chair^demo^demo\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"GET  HTTP/1.0\r\n\r\n", "HTTP/1.0 400 Bad Request", "malformed"},
        {"POST /p/oak-chair^demo^demo HTTP/1.1\r\n\r\n", "HTTP/1.0 405 Method Not Allowed", "method"},
        {"DELETE /p/oak-chair^demo^demo HTTP/1.0\r\n\r\n", "HTTP/1.0 405 Method Not Allowed", "method"},
    };
    for (const Case& c : cases) {
        const Reply reply = Answer(c.request);
        EXPECT_STREQ(c.result, reply.result) << c.request;
        HttpResponse response;
        ASSERT_TRUE(SplitHttpResponse(Bytes(reply), &response)) << c.request;
        EXPECT_EQ(c.status, response.statusLine) << c.request;
        EXPECT_EQ(std::to_string(response.body.size()), HeaderValue(response, "Content-Length")) << c.request;
        EXPECT_EQ(std::string::npos, response.body.find("Oak")) << c.request;
    }
    // Nothing tells an unknown account from a known one with a wrong key.
    EXPECT_EQ(Bytes(Answer("GET /p/oak-chair^demo^wrong HTTP/1.0\r\n\r\n")),
              Bytes(Answer("GET /p/oak-chair^nobody^wrong HTTP/1.0\r\n\r\n")));
    EXPECT_EQ("GET, HEAD", HeaderValue(Page("POST /x HTTP/1.0\r\n\r\n"), "Allow"));

    const std::string longTarget = "GET /" + std::string(kRequestLineMax, 'a');
    Reply reply = AnswerRequest(catalog, longTarget.data(), longTarget.size(), kRequestTooLong);
    EXPECT_EQ(414, reply.httpStatus);
    const std::string longHeaders = "GET /lamp^demo^demo HTTP/1.0\r\n" + std::string(kRequestMax, 'h');
    reply = AnswerRequest(catalog, longHeaders.data(), longHeaders.size(), kRequestTooLong);
    EXPECT_EQ(431, reply.httpStatus);
}

// What HTTP clients expect of any answer: HEAD gets GET's header and no body, whatever the status;
// every answer carries the date; another version than 1.x gets 505; the health check follows the
// server's state and needs no key, even from an address locked out of key checks.
TEST_F(feed_server_requests, AnswersAsHttpClientsExpect)
{
    for (const char* path : {"/p/oak-chair^demo^demo", "/p/oak-chair^demo^nope", "/nothing^demo^demo", "/p%zz", "/health"}) {
        const std::string get = Bytes(Answer(std::string("GET ") + path + " HTTP/1.1\r\nHost: a\r\n\r\n"));
        const std::string head = Bytes(Answer(std::string("HEAD ") + path + " HTTP/1.1\r\nHost: a\r\n\r\n"));
        EXPECT_EQ(get.substr(0, get.find("\r\n\r\n") + 4), head) << path;
        EXPECT_LT(head.size(), get.size()) << path;
        EXPECT_NE(std::string::npos, head.find("\r\nDate: Tue, 15 Nov 1994 08:12:31 GMT\r\n")) << path;
    }
    for (const char* request : {"GET /p/oak-chair^demo^demo HTTP/2.0\r\n\r\n", "GET /health HTTP/3\r\n\r\n",
                                "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n", "HEAD /lamp^demo^demo HTTP/2.0\r\n\r\n"})
        EXPECT_EQ("HTTP/1.0 505 HTTP Version Not Supported", Page(request).statusLine) << request;

    // The health check: no key, whatever the lockout; 503 while the server drains, which pages ignore.
    const std::string health = Bytes(Answer("GET /health HTTP/1.0\r\n\r\n", 30));
    EXPECT_EQ(0u, health.find("HTTP/1.0 200 OK\r\n"));
    EXPECT_EQ("\r\n\r\nok\n", health.substr(health.size() - 7));
    EXPECT_EQ(0u, Bytes(Answer("GET /health?from=balancer HTTP/1.0\r\n\r\n", 0, true)).find("HTTP/1.0 503 "));
    EXPECT_EQ("HTTP/1.0 200 OK", Page("GET /lamp^demo^demo HTTP/1.0\r\n\r\n").statusLine);
    EXPECT_STREQ("ok", Answer("GET /lamp^demo^demo HTTP/1.0\r\n\r\n", 0, true).result);
    EXPECT_EQ("HTTP/1.0 404 Not Found", Page("GET /health^demo^demo HTTP/1.0\r\n\r\n").statusLine);
}

// An address over the line limit is 414 however it arrives: in one piece with its line end and
// header fields after the limit, or in pieces. Header fields over theirs after a line that fits are 431.
TEST_F(feed_server_requests, AnswersAnOverlongAddressWith414HoweverItArrives)
{
    const std::string request = "GET /" + std::string(1100, 'a') + " HTTP/1.0\r\nHost: x\r\n\r\n";
    for (size_t piece : {request.size(), (size_t)2048, (size_t)1000, (size_t)7, (size_t)1}) {
        RequestScan scan;
        RequestState state = kRequestPartial;
        size_t size = 0;
        while (state == kRequestPartial && size < request.size()) {
            size = std::min(request.size(), size + piece);
            state = ScanRequest(&scan, request.data(), size);
        }
        ASSERT_EQ(kRequestTooLong, state) << piece;
        const Reply reply = AnswerRequest(catalog, request.data(), size, state);
        EXPECT_EQ(414, reply.httpStatus) << piece;
        EXPECT_STREQ("too-long", reply.result);
    }
    const std::string fields = "GET /lamp^demo^demo HTTP/1.0\r\nX: " + std::string(kRequestMax, 'h') + "\r\n\r\n";
    EXPECT_EQ(431, AnswerRequest(catalog, fields.data(), kRequestMax, CheckRequest(fields.data(), kRequestMax)).httpStatus);
}

TEST_F(feed_server_requests, NeverReadsFilesWhateverThePathSays)
{
    const char* probes[] = {
        "GET /../../etc/passwd HTTP/1.0\r\n\r\n",
        "GET /../../etc/passwd^demo^demo HTTP/1.0\r\n\r\n",
        "GET /..%2F..%2Fetc%2Fpasswd^demo^demo HTTP/1.0\r\n\r\n",
        "GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.0\r\n\r\n",
        "GET /%2e%2e/accounts.txt^demo^demo HTTP/1.0\r\n\r\n",
        "GET /products/demo.txt^demo^demo HTTP/1.0\r\n\r\n",
        "GET /accounts.txt HTTP/1.0\r\n\r\n",
        "GET //etc/passwd HTTP/1.0\r\n\r\n",
        "GET /C:%5Cwindows%5Cwin.ini HTTP/1.0\r\n\r\n",
        "GET /..\\..\\boot.ini^demo^demo HTTP/1.0\r\n\r\n",
    };
    for (const char* probe : probes) {
        const HttpResponse response = Page(probe);
        EXPECT_EQ("HTTP/1.0 404 Not Found", response.statusLine) << probe;
        EXPECT_EQ(std::string::npos, response.body.find("root:")) << probe;
        EXPECT_EQ(std::string::npos, response.body.find("demo")) << probe;
    }
}

TEST_F(feed_server_requests, OtherBytesGetNoReplyAtAll)
{
    const char* requests[] = {"HELLO\r\n", "vnp,demo^demo\r\n", "get /lamp^demo^demo HTTP/1.0\r\n", "\r\n",
                              "\x16\x03\x01\x02\x01\x01\xfc\x03\x03\n"};
    for (const char* request : requests) {
        const Reply reply = Answer(request);
        EXPECT_EQ(kKindOther, reply.kind) << request;
        EXPECT_STREQ("unknown", reply.result) << request;
        EXPECT_EQ(0u, ReplySize(reply)) << request;
    }
}

// Random and mutated requests, a bounded number with a fixed seed: every reply must still be one
// of the well-formed kinds (the sanitizers of the native build catch any bad memory access).
TEST_F(feed_server_requests, SurvivesRandomInput)
{
    std::mt19937 random(7919);
    const std::string seeds[] = {"VNP,demo^demo\r\n", "GET /p/oak-chair^demo^demo HTTP/1.0\r\nHost: a\r\n\r\n",
                                 "GET /%5E%5e%^demo HTTP/1.1\n\n", "POST / HTTP/1.1\r\n\r\n"};
    size_t feeds = 0;
    size_t pages = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string request;
        if (round % 2 == 0) {
            request = seeds[random() % 4];
            const int edits = 1 + (int)(random() % 6);
            for (int e = 0; e < edits && !request.empty(); ++e) {
                const size_t at = random() % request.size();
                switch (random() % 3) {
                case 0: request[at] = (char)(random() % 256); break;
                case 1: request.erase(at, 1 + random() % 3); break;
                default: request.insert(at, 1, "^%/.\r\n \0"[random() % 8]); break;
                }
            }
        } else {
            request.resize(random() % 300);
            for (char& c : request)
                c = (char)(random() % 256);
        }
        const RequestState state = CheckRequest(request.data(), request.size());
        if (state == kRequestPartial)
            continue;
        const Reply reply = AnswerRequest(catalog, request.data(), request.size(), state);
        const std::string bytes = Bytes(reply);
        if (reply.kind == kKindFeed) {
            ++feeds;
            if (strcmp(reply.result, "ok") == 0)
                EXPECT_TRUE(bytes == catalog.accounts[0].feed || bytes == catalog.accounts[1].feed);
            else
                EXPECT_EQ(kNoDataReply, bytes);
        } else if (reply.kind == kKindPage) {
            ++pages;
            HttpResponse response;
            ASSERT_TRUE(SplitHttpResponse(bytes, &response)) << request;
            EXPECT_EQ(0u, response.statusLine.find("HTTP/1.0 ")) << request;
            EXPECT_EQ(std::to_string(response.body.size()), HeaderValue(response, "Content-Length"));
        } else {
            EXPECT_EQ(0u, bytes.size());
        }
    }
    // The mutations must have reached both request kinds, or the loop tested little.
    EXPECT_GT(feeds, 500u);
    EXPECT_GT(pages, 500u);
}

} // namespace
