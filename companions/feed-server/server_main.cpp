// feed-server: serves the viewer's feed ("VNP,<id>^<key>") and the product pages its link menu hands to
// the browser, from a catalog directory, on one TCP port; one log line per request on stdout.
#include <asio.hpp>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/contract.h"
#include "common/text.h"
#include "feed_catalog.h"
#include "feed_guard.h"
#include "feed_names.h"
#include "feed_request.h"
#include "feed_text.h"
#include "server_log.h"

namespace {

using asio::ip::tcp;

// After the reply the sending side is shut and what the client still sends is read and dropped for a
// short while, so that unread request bytes do not turn the close into a reset that loses the reply.
const int kLingerMs = 2000;
const size_t kLingerBytesMax = 64 * 1024;
// A connection beyond its address's share of silent ones has this long to send its whole request.
const int kShortRequestMs = 1000;
// A modest send buffer: the kernel reports room (the reply's progress) every few tens of kilobytes
// even to a slow reader, where a buffer grown to megabytes would stay full for longer than the idle
// limit while the reader takes its bytes steadily.
const int kSendBufferBytes = 64 * 1024;
// What is still queued for the log when the server stops gets this long to reach a stuck output.
const int kLogFlushMs = 2000;

struct Options {
    std::string catalog;
    std::string address = "127.0.0.1";
    unsigned short port = FEED_PORT;
    int maxConnections = 256;
    int maxSilentPerAddress = 16;
    int requestTimeoutMs = 5000;
    int replyIdleMs = 15000;
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
    unsigned address = 0;       // the peer's IPv4 address as a number
    bool countedSilent = false; // counted in gSilentByAddress while its request is not whole
    std::string request;
    RequestScan scan;
    char chunk[2048];
    size_t lingered = 0;
    size_t sent = 0;            // reply bytes the kernel has taken
    Reply reply;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// The server's whole state; it runs on one thread (the log writer has its own, in server_log.cpp),
// so nothing here needs a lock.
asio::io_context* gIo = nullptr;
tcp::acceptor* gAcceptor = nullptr;
asio::steady_timer* gAcceptRetry = nullptr;
const Catalog* gCatalog = nullptr;
Options gOptions;
std::set<ConnectionPtr> gLive;
std::map<unsigned, int> gSilentByAddress;  // connections per address still waiting for their request
KeyGuard gKeyGuard;
bool gAccepting = false;
bool gStopping = false;

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
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

void Accept();

// Takes the next connection from the listen queue when there is room; at the cap the rest wait there.
void AcceptIfRoom()
{
    if (!gAccepting && !gStopping && (int)gLive.size() < gOptions.maxConnections)
        Accept();
}

void NoLongerSilent(const ConnectionPtr& c)
{
    if (!c->countedSilent)
        return;
    c->countedSilent = false;
    const auto found = gSilentByAddress.find(c->address);
    if (found != gSilentByAddress.end() && --found->second <= 0)
        gSilentByAddress.erase(found);
}

void Finish(const ConnectionPtr& c)
{
    if (c->phase == kDone)
        return;
    c->phase = kDone;
    NoLongerSilent(c);
    std::error_code ignored;
    c->socket.close(ignored);
    c->timer.cancel();
    gLive.erase(c);
    AcceptIfRoom();
}

// Ends a reply that is not whole with a reset, so that the client cannot take what it got for all of
// it: a normal close after the last byte sent would look exactly like the end of a short feed.
void CutReply(const ConnectionPtr& c)
{
    LogRequest(c->peer, KindName(c->reply.kind), c->reply.account, "cut", c->sent);
    std::error_code ignored;
    c->socket.set_option(asio::socket_base::linger(true, 0), ignored);
    Finish(c);
}

void OnTimeout(const ConnectionPtr& c)
{
    if (c->phase == kReading)
        LogRequest(c->peer, KindName(KindOfStart(c->request.data(), c->request.size())), "", "timeout", 0);
    if (c->phase == kWriting)
        CutReply(c);
    else
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

// Writes the reply piece by piece as the kernel takes it; each piece taken is progress and restarts
// the idle limit, so a slow but steady reader gets the whole reply however long it takes.
void WriteMore(const ConnectionPtr& c)
{
    const size_t size = ReplySize(c->reply);
    c->socket.async_write_some(
        asio::buffer(ReplyData(c->reply) + c->sent, size - c->sent), [c, size](const std::error_code& ec, size_t n) {
            if (c->phase != kWriting)
                return;
            c->sent += n;
            if (ec) {
                LogRequest(c->peer, KindName(c->reply.kind), c->reply.account, "send-failed", c->sent);
                Finish(c);
                return;
            }
            if (c->sent < size) {
                ArmTimer(c, gOptions.replyIdleMs);
                WriteMore(c);
                return;
            }
            LogRequest(c->peer, KindName(c->reply.kind), c->reply.account, c->reply.result, c->sent);
            c->phase = kLingering;
            std::error_code ignored;
            c->socket.shutdown(tcp::socket::shutdown_send, ignored);
            ArmTimer(c, kLingerMs);
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
    ArmTimer(c, gOptions.replyIdleMs);
    WriteMore(c);
}

// Answers a whole request, with key checks held back while the address is locked out, and counts a
// failed check against the address.
void Answer(const ConnectionPtr& c, RequestState state)
{
    NoLongerSilent(c);
    const long long now = NowMs();
    const long long lockedMs = KeyLockRemaining(gKeyGuard, c->address, now);
    c->reply = AnswerRequest(*gCatalog, c->request.data(), c->request.size(), state, (int)((lockedMs + 999) / 1000));
    if (c->reply.keyCheckFailed) {
        int failures = 0;
        const long long lockMs = RecordKeyFailure(&gKeyGuard, c->address, now, &failures);
        if (lockMs > 0) {
            char line[160];
            FormatText(line, sizeof line, "feed-server: %s locked out of key checks for %lld ms after %d failed checks",
                       c->peer.substr(0, c->peer.find(':')).c_str(), lockMs, failures);
            LogLine(line);
        }
    }
    SendReply(c);
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
        RequestState state = ScanRequest(&c->scan, c->request.data(), c->request.size());
        if (state == kRequestPartial && c->request.size() >= kRequestMax)
            state = kRequestTooLong;
        if (state == kRequestPartial) {
            Read(c);
            return;
        }
        Answer(c, state);
    });
}

void Admit(tcp::socket socket)
{
    std::error_code ec;
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    ConnectionPtr c = std::make_shared<Connection>(*gIo, std::move(socket));
    if (ec) {
        c->peer = "?";
    } else {
        c->peer = peer.address().to_string() + ":" + std::to_string(peer.port());
        c->address = peer.address().is_v4() ? peer.address().to_v4().to_uint() : 0;
    }
    std::error_code ignored;
    c->socket.set_option(asio::socket_base::send_buffer_size(kSendBufferBytes), ignored);
    gLive.insert(c);
    // One address may keep only so many connections silent for the whole request time; beyond them
    // a connection must say its request at once. A crowd behind one address sends at once and is
    // never touched; a peer holding silent connections loses the extra ones within a second.
    int& silent = gSilentByAddress[c->address];
    const bool beyondShare = silent >= gOptions.maxSilentPerAddress;
    ++silent;
    c->countedSilent = true;
    ArmTimer(c, beyondShare && kShortRequestMs < gOptions.requestTimeoutMs ? kShortRequestMs : gOptions.requestTimeoutMs);
    Read(c);
}

void OnAccept(const std::error_code& ec, tcp::socket socket)
{
    gAccepting = false;
    if (gStopping)
        return;
    if (ec) {
        if (ec == asio::error::operation_aborted)
            return;
        // Out of descriptors or memory: wait a little rather than spin on the failing accept.
        gAcceptRetry->expires_after(std::chrono::milliseconds(100));
        gAcceptRetry->async_wait([](const std::error_code& waitError) {
            if (!waitError)
                AcceptIfRoom();
        });
        return;
    }
    Admit(std::move(socket));
    AcceptIfRoom();
}

void Accept()
{
    gAccepting = true;
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
    for (const ConnectionPtr& c : live) {
        if (c->phase == kWriting)
            CutReply(c);
        else
            Finish(c);
    }
}

void Usage(FILE* out)
{
    fprintf(out,
            "usage: feed-server --catalog DIR [--address 127.0.0.1] [--port %d] [--max-connections N]\n"
            "                   [--max-silent-per-address N] [--request-timeout-ms N] [--reply-idle-ms N] [--check]\n",
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
        if (name == "--categories" || name == "--currencies") {
            fprintf(stderr, "feed-server: %s is no longer taken: category and currency names are built in\n",
                    name.c_str());
            return 2;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "feed-server: %s needs a value\n", TerminalSafe(name).c_str());
            return 2;
        }
        const char* value = argv[++i];
        long number = 0;
        if (name == "--catalog") {
            options->catalog = value;
        } else if (name == "--address") {
            options->address = value;
        } else if (name == "--port" && ParseNumber(value, 1, 65535, &number)) {
            options->port = (unsigned short)number;
        } else if (name == "--max-connections" && ParseNumber(value, 1, 100000, &number)) {
            options->maxConnections = (int)number;
        } else if (name == "--max-silent-per-address" && ParseNumber(value, 1, 100000, &number)) {
            options->maxSilentPerAddress = (int)number;
        } else if (name == "--request-timeout-ms" && ParseNumber(value, 1, 3600000, &number)) {
            options->requestTimeoutMs = (int)number;
        } else if (name == "--reply-idle-ms" && ParseNumber(value, 1, 3600000, &number)) {
            options->replyIdleMs = (int)number;
        } else {
            fprintf(stderr, "feed-server: bad option %s %s\n", TerminalSafe(name).c_str(), TerminalSafe(value).c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (options->catalog.empty()) {
        fputs("feed-server: --catalog DIR is required\n", stderr);
        Usage(stderr);
        return 2;
    }
    return 0;
}

// The currency codes the catalog uses, in order: on Windows too they show the built-in table at work.
std::string CurrenciesUsed(const Catalog& catalog, size_t* categories)
{
    std::set<std::string> codes;
    std::set<int> categoryIds;
    for (const CatalogAccount& account : catalog.accounts)
        for (const CatalogProduct& product : account.products) {
            const char* code = CurrencyCode(product.currencyId);
            codes.insert(code != nullptr ? code : std::to_string(product.currencyId));
            categoryIds.insert(product.categoryId);
        }
    *categories = categoryIds.size();
    std::string text;
    size_t shown = 0;
    for (const std::string& code : codes) {
        if (++shown > 24) {
            text += " ...";
            break;
        }
        text += (text.empty() ? "" : " ") + code;
    }
    return text.empty() ? "none" : text;
}

// Ends the process once the log is written; an output that never takes it must not keep the process.
int Exit(int status)
{
    if (!LogFinish(kLogFlushMs)) {
        fflush(stderr);
        _exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef SIGPIPE
    // A log reader that went away must not take the server with it; writes then fail instead.
    signal(SIGPIPE, SIG_IGN);
#endif
    const int optionStatus = ParseOptions(argc, argv, &gOptions);
    if (optionStatus != 0)
        return optionStatus < 0 ? 0 : optionStatus;
    LogStart();

    Catalog catalog;
    std::vector<CatalogError> errors;
    const bool loaded = LoadCatalog(gOptions.catalog, &catalog, &errors);
    for (const CatalogError& warning : catalog.warnings)
        fprintf(stderr, "%s\n", FormatCatalogError(warning).c_str());
    if (!loaded) {
        for (const CatalogError& error : errors)
            fprintf(stderr, "%s\n", FormatCatalogError(error).c_str());
        if (errors.size() >= kCatalogErrorsMax)
            fprintf(stderr, "feed-server: more errors not shown\n");
        fputs("feed-server: the catalog was not loaded\n", stderr);
        return Exit(1);
    }
    gCatalog = &catalog;
    size_t categories = 0;
    const std::string currencies = CurrenciesUsed(catalog, &categories);
    char line[512];
    FormatText(line, sizeof line, "feed-server: catalog %s: %lu accounts, %lu products in %lu categories; currencies %s",
               TerminalSafe(gOptions.catalog).c_str(), (unsigned long)catalog.accounts.size(),
               (unsigned long)catalog.productCount, (unsigned long)categories, currencies.c_str());
    LogLine(line);
    if (gOptions.check)
        return Exit(0);

    std::error_code ec;
    const asio::ip::address_v4 address = asio::ip::make_address_v4(gOptions.address, ec);
    if (ec) {
        fprintf(stderr, "feed-server: %s is not a dotted IPv4 address\n", TerminalSafe(gOptions.address).c_str());
        return Exit(2);
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
    // The longest queue the system allows (4096 on Linux, its own maximum on Windows): at the cap,
    // a crowd waits there to be taken in turn.
    if (!ec)
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        fprintf(stderr, "feed-server: cannot listen on %s:%u: %s\n", gOptions.address.c_str(),
                (unsigned)gOptions.port, ec.message().c_str());
        return Exit(1);
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

    FormatText(line, sizeof line,
               "feed-server: listening on %s:%u (at most %d connections, %d silent per address; %d ms per request, "
               "replies cut after %d ms without progress)",
               gOptions.address.c_str(), (unsigned)gOptions.port, gOptions.maxConnections,
               gOptions.maxSilentPerAddress, gOptions.requestTimeoutMs, gOptions.replyIdleMs);
    LogLine(line);
    Accept();
    io.run();
    LogLine("feed-server: stopped");
    return Exit(0);
}
