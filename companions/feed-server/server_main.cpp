// feed-server: serves the viewer's feed ("VNP,<id>^<key>") and the product pages its link menu hands to
// the browser, from a catalog directory, on one TCP port; one log line per request on stdout.
#include <asio.hpp>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/facts.h"
#include "common/text.h"
#include "feed_catalog.h"
#include "feed_request.h"
#include "feed_text.h"

namespace {

using asio::ip::tcp;

// A client that stops reading its reply is cut off after this long.
const int kReplyTimeoutMs = 30000;
// After the reply the sending side is shut and what the client still sends is read and dropped for a
// short while, so that unread request bytes do not turn the close into a reset that loses the reply.
const int kLingerMs = 2000;
const size_t kLingerBytesMax = 64 * 1024;

struct Options {
    std::string catalog;
    std::string address = "127.0.0.1";
    unsigned short port = FEED_PORT;
    int maxConnections = 256;
    int requestTimeoutMs = 5000;
    std::string categories;
    bool categoriesGiven = false;
    std::string currencies = "/usr/share/iso-codes/json/iso_4217.json";
    bool currenciesGiven = false;
    bool check = false;
};

enum Phase { kReading, kWriting, kLingering, kDone };

struct Connection {
    Connection(asio::io_context& io, tcp::socket s) : socket(std::move(s)), timer(io) {}
    tcp::socket socket;
    asio::steady_timer timer;
    unsigned timerGeneration = 0;
    Phase phase = kReading;
    std::string peer;
    std::string request;
    char chunk[2048];
    size_t lingered = 0;
    Reply reply;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// The server's whole state; it runs on one thread, so nothing here needs a lock.
asio::io_context* gIo = nullptr;
tcp::acceptor* gAcceptor = nullptr;
asio::steady_timer* gAcceptRetry = nullptr;
const Catalog* gCatalog = nullptr;
const CatalogNames* gNames = nullptr;
Options gOptions;
std::set<ConnectionPtr> gLive;
bool gStopping = false;

void LogLine(const char* text)
{
    fputs(text, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

void LogRequest(const std::string& peer, const char* kind, const std::string& account, const char* result,
                size_t bytes)
{
    const auto now = std::chrono::system_clock::now();
    const time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millis =
        (int)(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    char stamp[32] = "";
    const struct tm* utc = gmtime(&seconds);
    if (utc != nullptr)
        strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", utc);
    const std::string who = LogSafe(account.data(), account.size(), kAccountIdMax);
    char line[256];
    FormatText(line, sizeof line, "%s.%03dZ %s %s %s %s %lu", stamp, millis, peer.c_str(), kind, who.c_str(),
               result, (unsigned long)bytes);
    LogLine(line);
}

void Finish(const ConnectionPtr& c)
{
    if (c->phase == kDone)
        return;
    c->phase = kDone;
    std::error_code ignored;
    c->socket.close(ignored);
    c->timer.cancel();
    gLive.erase(c);
}

void OnTimeout(const ConnectionPtr& c)
{
    if (c->phase == kReading)
        LogRequest(c->peer, KindName(KindOfStart(c->request.data(), c->request.size())), "", "timeout", 0);
    else if (c->phase == kWriting)
        LogRequest(c->peer, KindName(c->reply.kind), c->reply.account, "stalled", 0);
    Finish(c);
}

// Arms the connection's one timer; a later arming or Finish makes an earlier expiry a no-op.
void ArmTimer(const ConnectionPtr& c, int ms)
{
    const unsigned generation = ++c->timerGeneration;
    c->timer.expires_after(std::chrono::milliseconds(ms));
    c->timer.async_wait([c, generation](const std::error_code& ec) {
        if (ec || generation != c->timerGeneration || c->phase == kDone)
            return;
        OnTimeout(c);
    });
}

void Linger(const ConnectionPtr& c)
{
    c->socket.async_read_some(asio::buffer(c->chunk), [c](const std::error_code& ec, size_t n) {
        c->lingered += n;
        if (ec || c->phase != kLingering || c->lingered > kLingerBytesMax) {
            Finish(c);
            return;
        }
        Linger(c);
    });
}

void SendReply(const ConnectionPtr& c)
{
    if (ReplySize(c->reply) == 0) {
        LogRequest(c->peer, KindName(c->reply.kind), c->reply.account, c->reply.result, 0);
        Finish(c);
        return;
    }
    c->phase = kWriting;
    ArmTimer(c, kReplyTimeoutMs);
    asio::async_write(c->socket, asio::buffer(ReplyData(c->reply), ReplySize(c->reply)),
                      [c](const std::error_code& ec, size_t n) {
                          if (c->phase != kWriting)
                              return;
                          LogRequest(c->peer, KindName(c->reply.kind), c->reply.account,
                                     ec ? "send-failed" : c->reply.result, n);
                          if (ec) {
                              Finish(c);
                              return;
                          }
                          c->phase = kLingering;
                          std::error_code ignored;
                          c->socket.shutdown(tcp::socket::shutdown_send, ignored);
                          ArmTimer(c, kLingerMs);
                          Linger(c);
                      });
}

void Read(const ConnectionPtr& c)
{
    c->socket.async_read_some(asio::buffer(c->chunk), [c](const std::error_code& ec, size_t n) {
        if (c->phase != kReading)
            return;
        if (ec) {
            // The client went away (or reset) before its request was whole.
            LogRequest(c->peer, KindName(KindOfStart(c->request.data(), c->request.size())), "", "closed", 0);
            Finish(c);
            return;
        }
        const size_t room = kRequestMax - c->request.size();
        c->request.append(c->chunk, n < room ? n : room);
        RequestState state = CheckRequest(c->request.data(), c->request.size());
        if (state == kRequestPartial && c->request.size() >= kRequestMax)
            state = kRequestTooLong;
        if (state == kRequestPartial) {
            Read(c);
            return;
        }
        c->reply = AnswerRequest(*gCatalog, *gNames, c->request.data(), c->request.size(), state);
        SendReply(c);
    });
}

std::string PeerText(const tcp::socket& socket)
{
    std::error_code ec;
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    if (ec)
        return "?";
    return peer.address().to_string() + ":" + std::to_string(peer.port());
}

void Accept();

void OnAccept(const std::error_code& ec, tcp::socket socket)
{
    if (gStopping)
        return;
    if (ec) {
        if (ec == asio::error::operation_aborted)
            return;
        // Out of descriptors or memory: wait a little rather than spin on the failing accept.
        gAcceptRetry->expires_after(std::chrono::milliseconds(100));
        gAcceptRetry->async_wait([](const std::error_code& waitError) {
            if (!waitError && !gStopping)
                Accept();
        });
        return;
    }
    const std::string peer = PeerText(socket);
    if ((int)gLive.size() >= gOptions.maxConnections) {
        LogRequest(peer, "other", "", "busy", 0);
        std::error_code ignored;
        socket.close(ignored);
        Accept();
        return;
    }
    ConnectionPtr c = std::make_shared<Connection>(*gIo, std::move(socket));
    c->peer = peer;
    gLive.insert(c);
    ArmTimer(c, gOptions.requestTimeoutMs);
    Read(c);
    Accept();
}

void Accept()
{
    gAcceptor->async_accept([](const std::error_code& ec, tcp::socket socket) { OnAccept(ec, std::move(socket)); });
}

void Stop(int signalNumber)
{
    char line[64];
    FormatText(line, sizeof line, "feed-server: stopping on signal %d", signalNumber);
    LogLine(line);
    gStopping = true;
    std::error_code ignored;
    gAcceptor->close(ignored);
    gAcceptRetry->cancel();
    const std::set<ConnectionPtr> live = gLive;
    for (const ConnectionPtr& c : live)
        Finish(c);
}

void Usage(FILE* out)
{
    fprintf(out,
            "usage: feed-server --catalog DIR [--address 127.0.0.1] [--port %d] [--max-connections N]\n"
            "                   [--request-timeout-ms N] [--categories FILE] [--currencies FILE] [--check]\n",
            (int)FEED_PORT);
}

// Returns 0 to go on, otherwise the exit status.
int ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            Usage(stdout);
            return -1;
        }
        if (name == "--check") {
            options->check = true;
            continue;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "feed-server: %s needs a value\n", name.c_str());
            return 2;
        }
        const char* value = argv[++i];
        long number = 0;
        if (name == "--catalog") {
            options->catalog = value;
        } else if (name == "--address") {
            options->address = value;
        } else if (name == "--categories") {
            options->categories = value;
            options->categoriesGiven = true;
        } else if (name == "--currencies") {
            options->currencies = value;
            options->currenciesGiven = true;
        } else if (name == "--port" && ParseNumber(value, 1, 65535, &number)) {
            options->port = (unsigned short)number;
        } else if (name == "--max-connections" && ParseNumber(value, 1, 100000, &number)) {
            options->maxConnections = (int)number;
        } else if (name == "--request-timeout-ms" && ParseNumber(value, 1, 3600000, &number)) {
            options->requestTimeoutMs = (int)number;
        } else {
            fprintf(stderr, "feed-server: bad option %s %s\n", name.c_str(), value);
            Usage(stderr);
            return 2;
        }
    }
    if (options->catalog.empty()) {
        fputs("feed-server: --catalog DIR is required\n", stderr);
        Usage(stderr);
        return 2;
    }
    if (!options->categoriesGiven)
        options->categories = options->catalog + "/../../category/categories.txt";
    return 0;
}

bool FileExists(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    fclose(file);
    return true;
}

// A name list given on the command line must load; the default ones are used when they are there.
bool LoadNames(const Options& options, CatalogNames* names, std::vector<CatalogError>* errors)
{
    bool ok = true;
    if (options.categoriesGiven || FileExists(options.categories))
        ok = LoadCategoryNames(options.categories, names, errors) && ok;
    if (options.currenciesGiven || FileExists(options.currencies))
        ok = LoadCurrencyCodes(options.currencies, names, errors) && ok;
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const int optionStatus = ParseOptions(argc, argv, &gOptions);
    if (optionStatus != 0)
        return optionStatus < 0 ? 0 : optionStatus;

    CatalogNames names;
    Catalog catalog;
    std::vector<CatalogError> errors;
    if (!LoadNames(gOptions, &names, &errors) || !LoadCatalog(gOptions.catalog, names, &catalog, &errors)) {
        for (const CatalogError& error : errors)
            fprintf(stderr, "%s\n", FormatCatalogError(error).c_str());
        if (errors.size() >= kCatalogErrorsMax)
            fprintf(stderr, "feed-server: more errors not shown\n");
        fputs("feed-server: the catalog was not loaded\n", stderr);
        return 1;
    }
    gCatalog = &catalog;
    gNames = &names;
    char line[512];
    FormatText(line, sizeof line, "feed-server: catalog %s: %lu accounts, %lu products; categories %s, currencies %s",
               gOptions.catalog.c_str(), (unsigned long)catalog.accounts.size(), (unsigned long)catalog.productCount,
               names.haveCategories ? "named" : "as numbers", names.haveCurrencies ? "named" : "as numbers");
    LogLine(line);
    if (gOptions.check)
        return 0;

    std::error_code ec;
    const asio::ip::address_v4 address = asio::ip::make_address_v4(gOptions.address, ec);
    if (ec) {
        fprintf(stderr, "feed-server: %s is not a dotted IPv4 address\n", gOptions.address.c_str());
        return 2;
    }
    asio::io_context io(1);
    tcp::acceptor acceptor(io);
    asio::steady_timer acceptRetry(io);
    const tcp::endpoint endpoint(address, gOptions.port);
    acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        acceptor.bind(endpoint, ec);
    if (!ec)
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        fprintf(stderr, "feed-server: cannot listen on %s:%u: %s\n", gOptions.address.c_str(),
                (unsigned)gOptions.port, ec.message().c_str());
        return 1;
    }
    gIo = &io;
    gAcceptor = &acceptor;
    gAcceptRetry = &acceptRetry;

    asio::signal_set signals(io, SIGINT, SIGTERM);
#ifdef SIGBREAK
    signals.add(SIGBREAK, ec);
#endif
    signals.async_wait([](const std::error_code& waitError, int signalNumber) {
        if (!waitError)
            Stop(signalNumber);
    });

    FormatText(line, sizeof line, "feed-server: listening on %s:%u (at most %d connections, %d ms per request)",
               gOptions.address.c_str(), (unsigned)gOptions.port, gOptions.maxConnections,
               gOptions.requestTimeoutMs);
    LogLine(line);
    Accept();
    io.run();
    LogLine("feed-server: stopped");
    return 0;
}
